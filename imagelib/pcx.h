// TPCX: ZSoft PCX files, run-length decoded into a packed DIB. Five layouts
// are read: 1 bit in one plane, 16 colours in four 1-bit planes, 4 bits in
// one plane, 256 colours in one plane and true colour in three 8-bit planes.
#pragma once

#include "imagelib/bitmap_base.h"

class TPCX : public TBitmap_Base {
 public:
  // Reads the 128-byte header. The option "trunc" stops a run at the end of
  // each plane line; by default a run may carry on into the next line.
  int ReadHeader(int file, const char* options) override;
  // Black and white for 1 bit, the header's palette for 16 colours, the
  // palette at the end of the file for 256 colours.
  int ReadPalette(int file, RGBQUAD* colourTable) override;
  int ReadBits(int file, BYTE* bits) override;
  // There is no PCX writer: writes nothing and returns 0.
  int WriteDIB(int file, HGLOBAL dib) override;

  // What the run-length decoder carries from one plane line to the next.
  struct TRunState {
    int Count = 0;  // bytes of a run still to be written
    BYTE Value = 0;
    // The file has ended: every further byte reads as 255.
    bool AtEnd = false;
  };
  // Decodes length bytes into dest, starting with the pending run.
  static void DecodeLine(int file, AHEAD& reader, BYTE* dest, DWORD length, TRunState& run);
  // ORs the eight pixels of one plane byte into four bytes of a 4-bit row:
  // the high nibble of mask for a set even pixel, the low nibble for an odd.
  static void MergePlaneByte(BYTE planeByte, BYTE planeMask, BYTE* dest);

  int Truncate = 0;
  BYTE Version = 0;
  BYTE Planes = 0;
  WORD BytesPerLine = 0;

 private:
  struct TLineSource;
  void NextPlaneLine(TLineSource& source, BYTE* dest);
  void DecodePackedRow(TLineSource& source, BYTE* row, DWORD stride);
  void DecodeFourPlaneRow(TLineSource& source, BYTE* row, DWORD stride);
  void DecodeThreePlaneRow(TLineSource& source, BYTE* row);
};
