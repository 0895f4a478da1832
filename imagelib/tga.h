// TTGA: Truevision Targa files, uncompressed and run-length encoded.
// Colour-mapped (24-bit map entries) and grey images become 8-bit DIBs with a
// colour table; true colour of 16, 24 or 32 bits becomes a 24-bit DIB.
#pragma once

#include "imagelib/bitmap_base.h"

class TTGA : public TBitmap_Base {
 public:
  // Reads the 18-byte header and checks the image type, pixel depth and
  // map entry size; refuses files too short for the pixels they claim.
  int ReadHeader(int file, const char* options) override;
  // The colour map (entries MapFirst.. of a 256-entry table, black
  // elsewhere) for colour-mapped images, a linear grey ramp for grey ones.
  int ReadPalette(int file, RGBQUAD* colourTable) override;
  int ReadBits(int file, BYTE* bits) override;
  // There is no Targa writer: writes nothing and returns 0.
  int WriteDIB(int file, HGLOBAL dib) override;

  BYTE ImageType = 0;
  BYTE IdLength = 0;
  DWORD MapFirst = 0;
  DWORD MapLength = 0;
  BYTE MapEntrySize = 0;
  BYTE MapType = 0;
  BYTE Descriptor = 0;
  BYTE PixelDepth = 0;

 private:
  struct TRowWalk;
  std::int64_t PixelDataOffset() const;
  bool FileHoldsPixels(int file) const;
  int ReadRawRows(int file, TRowWalk& walk);
  int ReadRunLengthRows(int file, TRowWalk& walk);
};
