// The one conversion of a packed DIB into a QImage: every window that shows a
// DIB draws what this function makes of it.
#include <QImage>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#include "platform/gdi/gdi.h"

namespace {
// A bit-field channel: where it sits in the pixel and how to widen it to 8 bits.
struct Channel {
  DWORD mask = 0;
  int shift = 0;
  int bits = 0;

  explicit Channel(DWORD m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    bits = std::popcount(m >> shift);
    // Wider channels keep their top 8 bits.
    if (bits > 8) {
      shift += bits - 8;
      bits = 8;
    }
  }
  BYTE Of(DWORD pixel) const {
    if (!bits) return 0;
    DWORD v = (pixel & mask) >> shift;
    v &= (DWORD(1) << bits) - 1;
    return BYTE(bits == 8 ? v : v << (8 - bits));
  }
};

struct Masks {
  Channel red, green, blue;
};

bool ReadMasks(const TDib& dib, Masks& masks) {
  const BITMAPINFOHEADER& h = *dib.GetInfoHeader();
  if (h.biCompression == BI_RGB) {
    // Without masks 16-bit pixels are 5-5-5, 32-bit ones blue, green, red, unused.
    masks = h.biBitCount == 16 ? Masks{Channel(0x7C00), Channel(0x03E0), Channel(0x001F)}
                               : Masks{Channel(0xFF0000), Channel(0xFF00), Channel(0xFF)};
    return true;
  }
  if (h.biCompression != BI_BITFIELDS) return false;
  // The masks follow the header; the block must hold them.
  if (GlobalSize(dib.GetHandle()) < sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD)) return false;
  const auto* m = reinterpret_cast<const DWORD*>(dib.GetInfoHeader() + 1);
  masks = {Channel(m[0]), Channel(m[1]), Channel(m[2])};
  return true;
}

// All 256 possible indices: the colour table where the block holds it, black beyond.
std::array<QRgb, 256> ColourTable(const TDib& dib) {
  std::array<QRgb, 256> table;
  table.fill(qRgb(0, 0, 0));
  std::array<PALETTEENTRY, 256> entries;
  UINT n = TPalette(dib).GetPaletteEntries(0, 256, entries.data());
  for (UINT i = 0; i < n; ++i) table[i] = qRgb(entries[i].peRed, entries[i].peGreen, entries[i].peBlue);
  return table;
}

void IndexedRow(const BYTE* row, int width, int bitCount, const std::array<QRgb, 256>& table,
                QRgb* out) {
  const int perByte = 8 / bitCount;
  const unsigned valueMask = (1u << bitCount) - 1;
  for (int x = 0; x < width; ++x) {
    int shift = 8 - bitCount * (x % perByte + 1);
    out[x] = table[(row[x / perByte] >> shift) & valueMask];
  }
}

void MaskedRow(const BYTE* row, int width, int bitCount, const Masks& m, QRgb* out) {
  const int bytes = bitCount / 8;
  for (int x = 0; x < width; ++x) {
    const BYTE* p = row + x * bytes;
    DWORD v = p[0] | DWORD(p[1]) << 8;
    if (bytes == 4) v |= DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
    out[x] = qRgb(m.red.Of(v), m.green.Of(v), m.blue.Of(v));
  }
}

void TrueColourRow(const BYTE* row, int width, QRgb* out) {
  for (int x = 0; x < width; ++x) out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
}

bool SupportedLayout(const BITMAPINFOHEADER& h) {
  if (h.biWidth <= 0 || h.biHeight <= 0) return false;
  switch (h.biBitCount) {
    case 1:
    case 4:
    case 8:
    case 24: return h.biCompression == BI_RGB;
    case 16:
    case 32: return h.biCompression == BI_RGB || h.biCompression == BI_BITFIELDS;
    default: return false;
  }
}
}  // namespace

QImage DibToQImage(const TDib& dib) {
  if (!dib.IsOK() || !SupportedLayout(*dib.GetInfoHeader())) return {};
  const BITMAPINFOHEADER& h = *dib.GetInfoHeader();
  Masks masks;
  if ((h.biBitCount == 16 || h.biBitCount == 32) && !ReadMasks(dib, masks)) return {};
  const std::array<QRgb, 256> table = ColourTable(dib);

  QImage image(h.biWidth, h.biHeight, QImage::Format_RGB32);
  if (image.isNull()) return {};
  image.fill(Qt::black);
  const std::uint64_t stride = (std::uint64_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  // Rows are stored bottom-up; draw only those the block really holds.
  const std::uint64_t rows = std::min<std::uint64_t>(h.biHeight, dib.BitsSize() / stride);
  for (std::uint64_t r = 0; r < rows; ++r) {
    const BYTE* row = dib.GetBits() + r * stride;
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(h.biHeight - 1 - r)));
    if (h.biBitCount <= 8) IndexedRow(row, h.biWidth, h.biBitCount, table, out);
    else if (h.biBitCount == 24) TrueColourRow(row, h.biWidth, out);
    else MaskedRow(row, h.biWidth, h.biBitCount, masks, out);
  }
  return image;
}
