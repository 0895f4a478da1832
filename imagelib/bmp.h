// _TDIB: Windows and OS/2 bitmap files (BMP, DIB, OS/2 bitmap arrays),
// uncompressed, bit fields, RLE8 and RLE4; and the BMP writer.
#pragma once

#include "imagelib/bitmap_base.h"

class _TDIB : public TBitmap_Base {
 public:
  _TDIB();
  // An empty packed DIB of the given geometry (colour table of 2/16/256
  // entries for 1/4/8 bits). When memory cannot be had, the object has no
  // block: Handle, Header, Palette and Bits stay null.
  _TDIB(LONG width, LONG height, WORD bitCount);

  int ReadHeader(int file, const char* options) override;
  int ReadPalette(int file, RGBQUAD* colourTable) override;
  int ReadBits(int file, BYTE* bits) override;
  // Writes a 14-byte BMP file header, its bfOffBits pointing at the rows in
  // the block, and the whole block behind it. 10 for a null handle or a block
  // shorter than an info header, 9 when a write falls short.
  int WriteDIB(int file, HGLOBAL dib) override;

  LONG BitmapOffset = 0;
  DWORD IsWin3Header = 0;
  LONG Compression = 0;
  LONG ClrUsedInFile = 0;
  DWORD OffBits = 0;
  DWORD SwapMonoColors = 0;
  DWORD InvertBits = 0;
  std::int16_t FormatVersion = 0;

  // The info-header fields that matter, whatever the header's length.
  struct HeaderFields;

 private:
  int LocateBitmap(int file, long index);
  int TakeHeader(const HeaderFields& fields);
  int CheckPixelDataPresent(int file) const;
  int ReadPixels(int file, BYTE* bits);
  void FlipRows(BYTE* bits) const;

  // The file stores its rows top row first (negative height).
  bool TopDown = false;
};
