#include "imagelib/row_conversions.h"

#include <algorithm>

// Each loop below reads the whole source pixel into locals before it stores
// anything, which is what makes the in-place use described in the header
// safe. Plain byte pointers may alias, so the compiler keeps that order.

namespace {

void StoreBgr(BYTE* to, BYTE blue, BYTE green, BYTE red) {
  to[0] = blue;
  to[1] = green;
  to[2] = red;
}

COLORREF ColourOfBgr(const BYTE* pixel) { return RGB(pixel[2], pixel[1], pixel[0]); }

// Stores the palette entry of index as blue, green, red; black beyond the
// palette.
void StorePaletteEntry(BYTE* to, const TPalette& palette, UINT index) {
  PALETTEENTRY entry{0, 0, 0, 0};
  palette.GetPaletteEntries(index, 1, &entry);
  StoreBgr(to, entry.peBlue, entry.peGreen, entry.peRed);
}

// Packs a 4-bit value as pixel i of a row; the first pixel of each byte
// starts it afresh so that no earlier content survives.
void StoreNibble(BYTE* to, DWORD i, BYTE value) {
  if (i % 2 == 0)
    to[i / 2] = BYTE(value << 4);
  else
    to[i / 2] = BYTE(to[i / 2] | value);
}

BYTE LoadNibble(const BYTE* from, DWORD i) {
  BYTE packed = from[i / 2];
  return i % 2 == 0 ? BYTE(packed >> 4) : BYTE(packed & 0x0F);
}

BYTE NearestIndex4(const BYTE* pixel, const TPalette& palette) {
  return BYTE(std::min<UINT>(palette.GetNearestPaletteIndex(ColourOfBgr(pixel)), 15));
}

}  // namespace

void Rgb24ToRgb32(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i, from += 3, to += 4) {
    BYTE blue = from[0], green = from[1], red = from[2];
    StoreBgr(to, blue, green, red);
  }
}

void Rgb32ToRgb24(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i, from += 4, to += 3) {
    BYTE blue = from[0], green = from[1], red = from[2];
    StoreBgr(to, blue, green, red);
  }
}

void Rgb24ToRgb555(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i, from += 3, to += 2) {
    WORD value = WORD((from[2] >> 3) << 10 | (from[1] >> 3) << 5 | (from[0] >> 3));
    to[0] = BYTE(value);
    to[1] = BYTE(value >> 8);
  }
}

void Rgb555ToRgb24(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i, from += 2, to += 3) {
    unsigned value = unsigned(from[0]) | unsigned(from[1]) << 8;
    StoreBgr(to, BYTE((value & 31) << 3), BYTE(((value >> 5) & 31) << 3),
             BYTE(((value >> 10) & 31) << 3));
  }
}

void Rgb24ToIndex8(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette) {
  for (DWORD i = 0; i < count; ++i, from += 3)
    to[i] = BYTE(palette.GetNearestPaletteIndex(ColourOfBgr(from)));
}

void Index8ToRgb24(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette) {
  for (DWORD i = 0; i < count; ++i, to += 3) StorePaletteEntry(to, palette, from[i]);
}

void Index8ToIndex4(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i) StoreNibble(to, i, std::min<BYTE>(from[i], 15));
}

void Rgb24ToIndex4(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette) {
  for (DWORD i = 0; i < count; ++i, from += 3) StoreNibble(to, i, NearestIndex4(from, palette));
}

void Index4ToRgb24(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette) {
  for (DWORD i = 0; i < count; ++i, to += 3) StorePaletteEntry(to, palette, LoadNibble(from, i));
}

void Rgb24ToMono(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i, from += 3) {
    unsigned luma = 77u * from[2] + 151u * from[1] + 28u * from[0];
    BYTE bit = BYTE((luma >= 32768 ? 0x80 : 0) >> (i % 8));
    to[i / 8] = i % 8 == 0 ? bit : BYTE(to[i / 8] | bit);
  }
}

void MonoToRgb24(const BYTE* from, BYTE* to, DWORD count) {
  for (DWORD i = 0; i < count; ++i, to += 3) {
    BYTE level = (from[i / 8] & (0x80 >> (i % 8))) ? 255 : 0;
    StoreBgr(to, level, level, level);
  }
}
