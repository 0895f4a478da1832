// TPCD: Kodak Photo CD Image Pac files, read at one of the three uncompressed
// resolutions at the start of the pac into a 24-bit packed DIB. The pac holds
// luminance per pixel and two chrominance values per 2 x 2 pixels (PhotoYCC);
// the chrominance is interpolated to full resolution and every pixel turned
// into RGB. Portrait pictures are turned a quarter turn.
#pragma once

#include "imagelib/bitmap_base.h"

// Resolutions that can be read: Base/16 (192 x 128), Base/4 (384 x 256) and
// Base (768 x 512).
enum : int { kPcdBase16 = 0, kPcdBase4 = 1, kPcdBase = 2 };

class TPCD : public TBitmap_Base {
 public:
  // Checks the signature, reads the orientation and sets the geometry of the
  // chosen resolution; options are not used.
  int ReadHeader(int file, const char* options) override;
  // Never called: the DIB has 24 bits.
  int ReadPalette(int file, RGBQUAD* colourTable) override;
  int ReadBits(int file, BYTE* bits) override;
  // There is no Photo CD writer: writes nothing and returns 0.
  int WriteDIB(int file, HGLOBAL dib) override;

  // Reads all row pairs of the image of the given resolution. A seek or read
  // that fails ends it with a short-read code; the rows stored so far stay.
  int ReadPcdRows(int file, BYTE* bits, int resolution);

  // Only bits 0-1 count: 0 is landscape, anything else portrait.
  BYTE Orientation = 0;
  int Resolution = kPcdBase;
  int StoredWidth = 0;
  int StoredRows = 0;

 private:
  void StorePair(BYTE* bits, DWORD stride, int storedRow) const;
};

// The one work buffer that every row pair of a Photo CD image passes through,
// so that reading an image allocates nothing. One image at a time.
class TChromaMan {
 public:
  static constexpr int kRowBytes = 770;
  static constexpr int kChromaBytes = 386;
  static constexpr int kBufferBytes = 6 * kRowBytes + 4 * kChromaBytes;

  // Luminance of the upper and lower row of the current pair.
  BYTE* Y0() { return Buffer; }
  BYTE* Y1() { return Buffer + kRowBytes; }
  // Chrominance at full width, upper row (U0, V0) and lower row (U1, V1).
  BYTE* U0() { return Buffer + 2 * kRowBytes; }
  BYTE* V0() { return Buffer + 3 * kRowBytes; }
  BYTE* U1() { return Buffer + 4 * kRowBytes; }
  BYTE* V1() { return Buffer + 5 * kRowBytes; }
  // Chrominance as stored (half width) of the current pair and of the next.
  BYTE* C1() { return Buffer + 6 * kRowBytes; }
  BYTE* C2() { return C1() + kChromaBytes; }
  BYTE* C1n() { return C1() + 2 * kChromaBytes; }
  BYTE* C2n() { return C1() + 3 * kChromaBytes; }

  // Fills U0, V0, U1, V1 for rows of storedWidth pixels from C1, C2, C1n and
  // C2n; the lower row lies halfway between this pair's chrominance and the
  // next pair's.
  void Interpolate(int storedWidth);
  // Converts pixel x of the upper (lower = false) or lower row to blue,
  // green, red at bgr.
  void PixelToBgr(int x, bool lower, BYTE* bgr);

 private:
  BYTE Buffer[kBufferBytes] = {};
};

extern TChromaMan ChromaMan;
