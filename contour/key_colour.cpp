#include "contour/key_colour.h"

#include "imagelib/bitmap_base.h"

namespace {
COLORREF TableColour(const TDib& image, UINT index) {
  PALETTEENTRY entry;
  if (TPalette(image).GetPaletteEntries(index, 1, &entry) != 1) return RGB(0, 0, 0);
  return RGB(entry.peRed, entry.peGreen, entry.peBlue);
}

UINT IndexAt(const BYTE* p, LONG x, WORD bitCount) {
  if (bitCount == 8) return *p;
  int perByte = 8 / bitCount;
  int shift = 8 - bitCount * (x % perByte + 1);
  return (*p >> shift) & ((1u << bitCount) - 1);
}
}  // namespace

COLORREF PixelColour(const TDib& image, LONG x, LONG y) {
  const BYTE* p = PixelAddress(image, x, y);
  if (!p) return RGB(0, 0, 0);
  switch (image.BitsPerPixel()) {
    case 1:
    case 4:
    case 8: return TableColour(image, IndexAt(p, x, image.BitsPerPixel()));
    case 16: {
      unsigned v = p[0] | p[1] << 8;
      return RGB(BYTE(((v >> 10) & 31) << 3), BYTE(((v >> 5) & 31) << 3), BYTE((v & 31) << 3));
    }
    default: return RGB(p[2], p[1], p[0]);
  }
}

COLORREF KeyColourForClick(const TDib& image, LONG x, LONG y, COLORREF shown) {
  const BYTE* p = PixelAddress(image, x, y);
  if (!p) return shown;
  // A 16-bit pixel has two bytes: decode it rather than read a third.
  if (image.NumColors() == 0) return PixelColour(image, x, y);
  if (image.NumColors() == 256 && image.BitsPerPixel() == 8) return TableColour(image, *p);
  return TableColour(image, TPalette(image).GetNearestPaletteIndex(shown));
}
