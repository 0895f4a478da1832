#include "contour/contour_file.h"

#include <bit>
#include <cstring>

#include "imagelib/bitmap_base.h"
#include "platform/core/atomic_file.h"
#include "platform/core/lowio.h"
#include "util/file_helpers.h"

namespace {
constexpr char kMagic[6] = {'Q', 'U', 'O', 'R', 'I', 'N'};
constexpr std::size_t kHeaderSize = 14;

// Mask value per colour-table index: looking the table up once beats a
// palette query per pixel and gives the same answer. Indices beyond the
// table count as object.
void BuildIndexLookup(const TDib& image, COLORREF key, BYTE lookup[256]) {
  PALETTEENTRY entries[256];
  UINT count = TPalette(image).GetPaletteEntries(0, 256, entries);
  for (UINT i = 0; i < 256; ++i)
    lookup[i] = i >= count || RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue) != key;
}

void MaskRow24(const BYTE* pixel, LONG width, COLORREF key, BYTE* out) {
  const BYTE r = GetRValue(key), g = GetGValue(key), b = GetBValue(key);
  for (LONG x = 0; x < width; ++x, pixel += 3)
    out[x] = !(pixel[0] == b && pixel[1] == g && pixel[2] == r);
}

void MaskRow8(const BYTE* pixel, LONG width, const BYTE lookup[256], BYTE* out) {
  for (LONG x = 0; x < width; ++x) out[x] = lookup[pixel[x]];
}

void PutLE(BYTE* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = BYTE(value >> (8 * i));
}

std::int32_t GetLE32(const BYTE* at) {
  return std::int32_t(std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 |
                      std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24);
}
}  // namespace

void BuildContourMask(const TDib& image, COLORREF key, BYTE* mask) {
  const LONG width = image.Width();
  const LONG height = image.Height();
  const WORD bitCount = image.BitsPerPixel();
  BYTE lookup[256];
  if (bitCount == 8) BuildIndexLookup(image, key, lookup);
  for (LONG y = 0; y < height; ++y) {
    BYTE* out = mask + std::size_t(y) * std::size_t(width);
    const BYTE* row = PixelAddress(image, 0, y);
    // A header that claims more than the block holds: treat the missing
    // pixels as background rather than read past the block.
    if (!row || !PixelAddress(image, width - 1, y)) {
      std::memset(out, 0, std::size_t(width));
      continue;
    }
    if (bitCount == 24) MaskRow24(row, width, key, out);
    else MaskRow8(row, width, lookup, out);
  }
}

bool WriteContourFile(const char* path, LONG width, LONG height, const POINT* points, int n) {
  if (!path || n < 0) return false;
  TAtomicFile file(path);
  if (!file.IsOpen()) return false;
  BYTE header[kHeaderSize];
  std::memcpy(header, kMagic, sizeof kMagic);
  PutLE(header + 6, std::uint32_t(width), 2);
  PutLE(header + 8, std::uint32_t(height), 2);
  PutLE(header + 10, std::uint32_t(n), 4);
  file.Write(header, sizeof header);
  // POINT is exactly the record: x then y, 32-bit each, little-endian.
  static_assert(sizeof(POINT) == 8 && std::endian::native == std::endian::little);
  file.Write(points, std::size_t(n) * sizeof(POINT));
  return file.Commit();
}

std::string FixContourFileName(const std::string& path) {
  constexpr const char* kExtension = ".QuorinDaten";
  if (path.empty() || ContainsNoCase(path, kExtension)) return path;
  std::string fixed;
  ReplaceExtension(path, fixed, kExtension);
  return fixed;
}

ContourReadResult ReadContourFile(const char* path, ContourFile& out) {
  TFileHandle file(_open(path, _O_RDONLY));
  if (!file.IsOpen()) return ContourReadResult::CannotOpen;
  BYTE header[kHeaderSize];
  long got = _read(file.Get(), header, sizeof header);
  if (got < long(sizeof kMagic) || std::memcmp(header, kMagic, sizeof kMagic) != 0)
    return ContourReadResult::NoMagic;
  if (got < long(sizeof header)) return ContourReadResult::Truncated;
  std::int32_t count = GetLE32(header + 10);
  std::int64_t length = _filelength(file.Get());
  if (count < 0 || length < std::int64_t(kHeaderSize) + std::int64_t(count) * 8)
    return ContourReadResult::Truncated;
  out.width = WORD(header[6] | header[7] << 8);
  out.height = WORD(header[8] | header[9] << 8);
  out.points.resize(std::size_t(count));
  if (count && _read(file.Get(), out.points.data(), std::size_t(count) * 8) != long(count) * 8)
    return ContourReadResult::Truncated;
  return ContourReadResult::Ok;
}
