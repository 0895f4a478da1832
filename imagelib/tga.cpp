#include "imagelib/tga.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "imagelib/byte_cursor.h"
#include "imagelib/row_conversions.h"
#include "platform/core/lowio.h"

namespace {
// Unsupported variants.
constexpr int kErrPixelDepth = 12;
constexpr int kErrImageType = 13;
constexpr int kErrMapEntrySize = kErrLayout;
constexpr BYTE kInterleave = 0xC0;  // descriptor bits 6-7: interleaved rows

constexpr std::size_t kHeaderBytes = 18;
constexpr BYTE kTopLeftOrigin = 0x20;  // descriptor bit 5
constexpr int kTableEntries = 256;
constexpr std::uint64_t kMaxPacketPixels = 128;

enum ImageTypes : BYTE {
  kColourMapped = 1,
  kTrueColour = 2,
  kGrey = 3,
  kRunLengthOffset = 8,  // types 9, 10 and 11 are 1, 2 and 3 run-length encoded
};

bool IsRunLength(BYTE type) { return type > kRunLengthOffset; }
BYTE BaseType(BYTE type) { return IsRunLength(type) ? BYTE(type - kRunLengthOffset) : type; }

// The header check: 0 when the combination is read, else its code.
int CheckVariant(BYTE type, BYTE depth, BYTE mapEntrySize) {
  switch (BaseType(type)) {
    case kColourMapped:
      if (depth != 8) return kErrPixelDepth;
      return mapEntrySize == 24 ? kOk : kErrMapEntrySize;
    case kTrueColour:
      return depth == 16 || depth == 24 || depth == 32 ? kOk : kErrPixelDepth;
    case kGrey:
      return depth == 8 ? kOk : kErrPixelDepth;
    default:
      return kErrImageType;
  }
}

}  // namespace

// Where the next file row goes: the DIB rows bottom up, or top down when the
// file starts with the top row.
struct TTGA::TRowWalk {
  BYTE* Row;
  std::ptrdiff_t Step;

  void Next() { Row += Step; }
};

int TTGA::ReadHeader(int file, const char* /*options*/) {
  BYTE header[kHeaderBytes];
  if (!SeekTo(file, 0) || !ReadExactly(file, header, sizeof header)) return kErrShortRead;
  ByteCursor cursor(header, sizeof header);
  IdLength = cursor.u8();
  MapType = cursor.u8();
  ImageType = cursor.u8();
  MapFirst = cursor.u16le();
  MapLength = cursor.u16le();
  MapEntrySize = cursor.u8();
  cursor.skip(4);  // x and y origin of the picture on a screen
  WORD width = cursor.u16le();
  WORD height = cursor.u16le();
  PixelDepth = cursor.u8();
  Descriptor = cursor.u8();

  int variant = CheckVariant(ImageType, PixelDepth, MapEntrySize);
  if (variant != kOk) return variant;
  // Interleaved rows would come out in the wrong order: refuse them.
  if (Descriptor & kInterleave) return kErrLayout;
  if (width == 0 || height == 0) return kErrZeroSize;
  Width = width;
  Height = height;
  BitCount = PixelDepth == 8 ? 8 : 24;
  Colors = ColorsForBitCount(WORD(BitCount));
  ComputeSizes();
  return FileHoldsPixels(file) ? kOk : kErrShortRead;
}

// Offset of the pixel data: behind the image ID and, when the header says a
// map is present, the colour map (15-bit entries take two bytes).
std::int64_t TTGA::PixelDataOffset() const {
  std::int64_t offset = std::int64_t(kHeaderBytes) + IdLength;
  if (MapType != 0) {
    unsigned entryBits = MapEntrySize == 15 ? 16 : MapEntrySize;
    offset += std::int64_t(entryBits) * MapLength / 8;
  }
  return offset;
}

// Refuses, before the DIB is allocated, a header that claims more pixels than
// the rest of the file could encode: uncompressed, every pixel has its bytes;
// run-length, at best one value per 128 pixels behind each packet byte.
bool TTGA::FileHoldsPixels(int file) const {
  std::int64_t length = _filelength(file);
  std::uint64_t pixels = std::uint64_t(Width) * std::uint64_t(Height);
  std::uint64_t valueBytes = PixelDepth / 8u;
  std::uint64_t needed = IsRunLength(ImageType)
                             ? (pixels + kMaxPacketPixels - 1) / kMaxPacketPixels * (1 + valueBytes)
                             : pixels * valueBytes;
  std::int64_t available = length - PixelDataOffset();
  return available >= 0 && std::uint64_t(available) >= needed;
}

int TTGA::ReadPalette(int file, RGBQUAD* colourTable) {
  if (BaseType(ImageType) == kGrey) {
    for (int i = 0; i < kTableEntries; ++i) colourTable[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    return kOk;
  }
  std::memset(colourTable, 0, kTableEntries * sizeof(RGBQUAD));
  if (!SeekTo(file, std::int64_t(kHeaderBytes) + IdLength)) return kErrShortRead;
  // Entries whose index reaches 256 have no place in the DIB's table: they
  // are read (the map must be whole) but not stored.
  BYTE chunk[kTableEntries * 3];
  for (DWORD done = 0; done < MapLength;) {
    DWORD count = MapLength - done < DWORD(kTableEntries) ? MapLength - done : kTableEntries;
    if (!ReadExactly(file, chunk, count * 3)) return kErrShortRead;
    for (DWORD k = 0; k < count; ++k) {
      DWORD index = MapFirst + done + k;
      if (index < DWORD(kTableEntries))
        colourTable[index] = RGBQUAD{chunk[3 * k], chunk[3 * k + 1], chunk[3 * k + 2], 0};
    }
    done += count;
  }
  return kOk;
}

int TTGA::ReadBits(int file, BYTE* bits) {
  if (!SeekTo(file, PixelDataOffset())) return kErrShortRead;
  std::ptrdiff_t stride = std::ptrdiff_t(RowStride(Width, BitCount));
  TRowWalk walk{bits, stride};
  if (Descriptor & kTopLeftOrigin) walk = {bits + (Height - 1) * stride, -stride};
  return IsRunLength(ImageType) ? ReadRunLengthRows(file, walk) : ReadRawRows(file, walk);
}

int TTGA::ReadRawRows(int file, TRowWalk& walk) {
  std::size_t valueBytes = PixelDepth / 8u;
  std::size_t rowBytes = std::size_t(Width) * valueBytes;
  std::unique_ptr<BYTE[]> work;
  if (PixelDepth == 32) {
    work.reset(new (std::nothrow) BYTE[rowBytes]);
    if (!work) return kErrMemory;
  }
  for (LONG y = 0; y < Height; ++y, walk.Next()) {
    // 16-bit values land in the upper part of the row and are widened in
    // place; 32-bit values go through the work row, the DIB row being
    // narrower than they are.
    BYTE* target = PixelDepth == 16 ? walk.Row + Width : PixelDepth == 32 ? work.get() : walk.Row;
    if (!ReadExactly(file, target, rowBytes)) return kErrShortRead;
    if (PixelDepth == 16) Rgb555ToRgb24(target, walk.Row, Width);
    if (PixelDepth == 32) Rgb32ToRgb24(target, walk.Row, Width);
  }
  return kOk;
}

namespace {
// Stores one value of K bytes n times, K bytes apart.
template <std::size_t K>
void Repeat(BYTE* at, const BYTE* value, DWORD n) {
  for (DWORD i = 0; i < n; ++i, at += K) std::memcpy(at, value, K);
}

// Lays run-length decoded pixel values into the rows: one value of 1 to 4
// bytes per pixel, stored as the DIB wants it (16-bit values in the upper
// part of the row until the row is widened, 32-bit values without their
// fourth byte).
class TPixelSink {
 public:
  TPixelSink(BYTE* row, std::ptrdiff_t step, DWORD width, LONG height, BYTE depth)
      : Row(row), Step(step), Width(width), RowsLeft(height), Depth(depth),
        Base(depth == 16 ? width : 0), Kept(depth == 8 ? 1 : depth == 16 ? 2 : 3) {}

  bool Full() const { return RowsLeft == 0; }

  // Stores value count times, stopping after the last pixel of the picture.
  void Put(const BYTE* value, DWORD count) {
    while (count > 0 && RowsLeft > 0) {
      DWORD n = count < Width - Column ? count : Width - Column;
      BYTE* at = Row + Base + std::size_t(Column) * Kept;
      switch (Kept) {
        case 1: std::memset(at, value[0], n); break;
        case 2: Repeat<2>(at, value, n); break;
        default: Repeat<3>(at, value, n); break;
      }
      count -= n;
      Column += n;
      if (Column == Width) EndRow();
    }
  }

 private:
  void EndRow() {
    if (Depth == 16) Rgb555ToRgb24(Row + Width, Row, Width);
    Row += Step;
    Column = 0;
    --RowsLeft;
  }

  BYTE* Row;
  std::ptrdiff_t Step;
  DWORD Width;
  LONG RowsLeft;
  BYTE Depth;
  DWORD Column = 0;
  std::size_t Base;  // where the row's values start
  std::size_t Kept;  // bytes kept of each value, also their spacing
};

// One pixel value from the reader; false when the file ends inside it.
bool NextValue(int file, TBitmap_Base::AHEAD& reader, BYTE* value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    int byte = reader.NextByte(file);
    if (byte < 0) return false;
    value[i] = BYTE(byte);
  }
  return true;
}
}  // namespace

// Packets run on across row ends; a packet that goes past the last pixel
// stops there. A file that ends anywhere before the last pixel gives 7.
int TTGA::ReadRunLengthRows(int file, TRowWalk& walk) {
  AHEAD reader;
  TPixelSink sink(walk.Row, walk.Step, Width, Height, PixelDepth);
  int valueBytes = PixelDepth / 8;
  BYTE value[4];
  while (!sink.Full()) {
    int header = reader.NextByte(file);
    if (header < 0) return kErrShortRead;
    DWORD count = DWORD(header & 0x7F) + 1;
    if (header & 0x80) {
      if (!NextValue(file, reader, value, valueBytes)) return kErrShortRead;
      sink.Put(value, count);
      continue;
    }
    for (; count > 0 && !sink.Full(); --count) {
      if (!NextValue(file, reader, value, valueBytes)) return kErrShortRead;
      sink.Put(value, 1);
    }
  }
  return kOk;
}

int TTGA::WriteDIB(int /*file*/, HGLOBAL /*dib*/) { return kOk; }
