#include "imagelib/pcd.h"

#include <cstdio>
#include <cstring>

#include "platform/core/lowio.h"

namespace {
constexpr std::int64_t kSignatureOffset = 2048;
constexpr char kSignature[] = "PCD_IPI";
constexpr std::size_t kSignatureBytes = sizeof kSignature - 1;
constexpr std::int64_t kOrientationOffset = 194635;

struct TResolutionLayout {
  int ShortSide;
  int LongSide;
  std::int64_t ImageStart;
};
// The three uncompressed images at the start of an Image Pac.
constexpr TResolutionLayout kLayouts[] = {
    {128, 192, 8192},    // Base/16
    {256, 384, 47104},   // Base/4
    {512, 768, 196608},  // Base
};

bool IsKnownResolution(int resolution) {
  return resolution >= kPcdBase16 && resolution <= kPcdBase;
}

bool ReadAt(int file, std::int64_t offset, BYTE* dest, std::size_t count) {
  return _lseek(file, offset, SEEK_SET) == offset && _read(file, dest, count) == long(count);
}

bool ReadOn(int file, BYTE* dest, std::size_t count) {
  return _read(file, dest, count) == long(count);
}
}  // namespace

int TPCD::ReadHeader(int file, const char*) {
  char signature[kSignatureBytes];
  if (!ReadAt(file, kSignatureOffset, reinterpret_cast<BYTE*>(signature), sizeof signature))
    return kErrShortRead;
  if (std::memcmp(signature, kSignature, kSignatureBytes) != 0) return kErrSignature;
  if (!ReadAt(file, kOrientationOffset, &Orientation, 1)) return kErrShortRead;
  if (!IsKnownResolution(Resolution)) return kErrBitCount;

  const TResolutionLayout& layout = kLayouts[Resolution];
  StoredWidth = layout.LongSide;
  StoredRows = layout.ShortSide;
  bool landscape = (Orientation & 3) == 0;
  Width = DWORD(landscape ? layout.LongSide : layout.ShortSide);
  Height = landscape ? layout.ShortSide : layout.LongSide;
  BitCount = 24;
  Colors = 0;
  ComputeSizes();
  return kOk;
}

int TPCD::ReadPalette(int, RGBQUAD*) { return kOk; }

int TPCD::ReadBits(int file, BYTE* bits) {
  if (!IsKnownResolution(Resolution)) return kErrBitCount;
  return ReadPcdRows(file, bits, Resolution);
}

int TPCD::WriteDIB(int, HGLOBAL) { return kOk; }

int TPCD::ReadPcdRows(int file, BYTE* bits, int resolution) {
  const std::int64_t start = kLayouts[resolution].ImageStart;
  const std::int64_t pairBytes = 3 * std::int64_t(StoredWidth);
  const std::size_t width = std::size_t(StoredWidth), half = width / 2;
  const DWORD stride = RowStride(Width, 24);
  for (int r = 0; r < StoredRows; r += 2) {
    std::int64_t pair = start + (r / 2) * pairBytes;
    if (!ReadAt(file, pair, ChromaMan.Y0(), width) || !ReadOn(file, ChromaMan.Y1(), width) ||
        !ReadOn(file, ChromaMan.C1(), half) || !ReadOn(file, ChromaMan.C2(), half))
      return kErrShortRead;
    // The last pair has no next one; its lower row takes its own chrominance.
    std::int64_t nextPair = r < StoredRows - 2 ? pair + pairBytes : pair;
    if (!ReadAt(file, nextPair + 2 * std::int64_t(width), ChromaMan.C1n(), half) ||
        !ReadOn(file, ChromaMan.C2n(), half))
      return kErrShortRead;
    ChromaMan.Interpolate(StoredWidth);
    StorePair(bits, stride, r);
  }
  return kOk;
}

void TPCD::StorePair(BYTE* bits, DWORD stride, int storedRow) const {
  // Landscape: stored row r is picture row r from the top. Portrait: stored
  // row r becomes column r with its first pixel at the bottom, which is the
  // landscape picture turned a quarter turn anticlockwise.
  bool landscape = (Orientation & 3) == 0;
  for (int lower = 0; lower < 2; ++lower) {
    int r = storedRow + lower;
    BYTE* pixel =
        landscape ? bits + std::size_t(Height - 1 - r) * stride : bits + 3 * std::size_t(r);
    std::size_t step = landscape ? 3 : stride;
    for (int x = 0; x < StoredWidth; ++x, pixel += step) ChromaMan.PixelToBgr(x, lower != 0, pixel);
  }
}
