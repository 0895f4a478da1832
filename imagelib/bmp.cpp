#include "imagelib/bmp.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "imagelib/byte_cursor.h"
#include "platform/core/lowio.h"

namespace {
// BMP file header ("BM") and OS/2 bitmap-array header ("BA"), 14 bytes each.
enum : std::size_t { kFileSize = 2, kOffBits = 10, kInfoSize = 14, kFileHeaderBytes = 14 };
enum : std::size_t { kArrayNext = 6, kArrayHeaderBytes = 14 };

// Info header fields, counted from the start of the info header. Both kinds
// hold width, height, planes and bit count in this order from offset 4:
// 16-bit values in the OS/2 1.x header, 32, 32, 16, 16 bits in the others.
enum : std::size_t {
  kCoreWidth = 4, kWidth = 4, kCompression = 16, kXPelsPerMeter = 24, kYPelsPerMeter = 28,
  kClrUsed = 32, kRedMask = 40, kMasksEnd = 52,
};
constexpr DWORD kCoreHeaderBytes = 12;
constexpr DWORD kWin3HeaderBytes = 40;
constexpr DWORD kV4HeaderBytes = 108;
constexpr DWORD kV5HeaderBytes = 124;
constexpr std::size_t kMaxHeaderBytes = kV5HeaderBytes;

// Run-length escape codes, the value byte after a count of 0.
enum : int { kEndOfLine = 0, kEndOfBitmap = 1, kDelta = 2 };

constexpr char kDescription[] = "OS/2 1.x, 2.0, Windows 3.0 Bitmap";
constexpr char kExtensions[] = "BMP DIB RLE RL4 RL8";
constexpr int kCapability = 255;

bool ReadAt(int file, std::int64_t offset, void* buffer, std::size_t count) {
  return _lseek(file, offset, 0) == offset && _read(file, buffer, count) == long(count);
}

bool IsSignature(const BYTE* bytes, const char* signature) {
  return bytes[0] == BYTE(signature[0]) && bytes[1] == BYTE(signature[1]);
}

// OS/2 2.0 allows its info header to end after any field; 40 is also the
// Windows 3.0 header, 108 and 124 its later versions.
bool IsAcceptedHeaderSize(DWORD size) {
  bool os2 = (size >= 16 && size <= 64 && size % 4 == 0) || size == 42 || size == 46;
  return size == kCoreHeaderBytes || os2 || size == kV4HeaderBytes || size == kV5HeaderBytes;
}

bool IsBitCount(DWORD bits, std::initializer_list<DWORD> allowed) {
  return std::find(allowed.begin(), allowed.end(), bits) != allowed.end();
}

// A 32-bit field of an info header that may end before it; 0 when absent.
DWORD OptionalField(ByteCursor& info, DWORD headerSize, std::size_t at) {
  if (headerSize < at + 4) return 0;
  info.seek(at);
  return info.u32le();
}

// Run-length compression is defined only for its own bit count, bit fields
// only for 16 and 32 bits (an OS/2 header's compression 3, Huffman 1D, is a
// 1-bit format and is not read). Anything else is refused before allocation.
bool CompressionFits(DWORD compression, DWORD bits) {
  switch (compression) {
    case BI_RGB: return true;
    case BI_RLE8: return bits == 8;
    case BI_RLE4: return bits == 4;
    case BI_BITFIELDS: return bits == 16 || bits == 32;
    default: return false;
  }
}

// Colours in the table of a 1-, 4- or 8-bit image: the file's count, or the
// full table when it gives none or more than the pixels can address.
// Deeper images get no table, whatever the file says.
int TableColours(DWORD bits, DWORD coloursUsed) {
  DWORD full = DWORD(TBitmap_Base::ColorsForBitCount(WORD(bits)));
  if (full == 0) return 0;
  return int(coloursUsed == 0 || coloursUsed > full ? full : coloursUsed);
}

// "index=N" picks the N-th bitmap after the first of an OS/2 bitmap array.
long ArrayIndex(const char* options) {
  const char* token = TBitmap_Base::FindOption(options, "index=");
  if (!token) return 0;
  long index = std::strtol(token + 6, nullptr, 10);
  return index > 0 ? index : 0;
}

// Expands RLE8 or RLE4 data into the rows of a packed DIB. The position is
// kept as row and column; a pixel lands at column * bits / 8 from the start
// of its row, so a run past the row's end continues in the next row of the
// block. Every run is checked once against the rows: data that would lead
// outside end the decoding there, as do data that end before the
// end-of-bitmap code. The rows arrive zero-filled (a fresh block from Load),
// so line ends, deltas and the end-of-bitmap code leave them as they are, and
// a short stream describing a large picture touches only what it draws.
class RleDecoder {
 public:
  RleDecoder(int file, BYTE* bits, std::size_t stride, std::size_t rows, int bitsPerPixel,
             bool topDown)
      : File(file), Bits(bits), Stride(stride), Rows(rows), PixelBits(bitsPerPixel),
        TopDown(topDown) {}

  void Run() {
    for (;;) {
      int count = In.NextByte(File);
      int value = In.NextByte(File);
      if (count < 0 || value < 0) return;
      bool more = count > 0 ? Encoded(count, value) : Escape(value);
      if (!more) return;
    }
  }

 private:
  bool Escape(int code) {
    switch (code) {
      case kEndOfLine:
        Column = 0;
        return ++Row < Rows;
      case kEndOfBitmap: return false;
      case kDelta: return Delta();
      default: return Absolute(code);
    }
  }

  // Byte offset of the pixel `ahead` columns after the current one. A
  // top-down file's first row is the block's last.
  std::size_t Offset(std::size_t ahead) const {
    std::size_t row = TopDown ? Rows - 1 - Row : Row;
    return row * Stride + (Column + ahead) * std::size_t(PixelBits) / 8;
  }
  bool Fits(std::size_t pixels) const {
    return Row < Rows && Offset(pixels - 1) < Rows * Stride;
  }

  // Pixel values are ORed into their nibble: the rows start at 0.
  void Put(std::size_t ahead, int value) {
    std::size_t column = Column + ahead;
    if (PixelBits == 8) Bits[Offset(ahead)] = BYTE(value);
    else Bits[Offset(ahead)] |= BYTE(column % 2 ? value & 0x0F : value << 4);
  }

  // count pixels of one value; for RLE4 the value's two nibbles alternate,
  // high first, whatever column the run starts at.
  bool Encoded(int count, int value) {
    if (!Fits(std::size_t(count))) return false;
    if (PixelBits == 8) {
      std::memset(Bits + Offset(0), value, std::size_t(count));
    } else {
      for (int i = 0; i < count; ++i) Put(std::size_t(i), i % 2 ? value & 0x0F : value >> 4);
    }
    Column += std::size_t(count);
    return true;
  }

  // count pixels stored as they are, padded to a 16-bit boundary.
  bool Absolute(int count) {
    if (!Fits(std::size_t(count))) return false;
    int bytes = (count * PixelBits + 7) / 8;
    for (int i = 0; i < bytes; ++i) {
      int byte = In.NextByte(File);
      if (byte < 0) return false;
      if (PixelBits == 8) {
        Put(std::size_t(i), byte);
      } else {
        Put(std::size_t(2 * i), byte >> 4);
        if (2 * i + 1 < count) Put(std::size_t(2 * i + 1), byte & 0x0F);
      }
    }
    Column += std::size_t(count);
    return bytes % 2 == 0 || In.NextByte(File) >= 0;
  }

  bool Delta() {
    int dx = In.NextByte(File);
    int dy = In.NextByte(File);
    if (dx < 0 || dy < 0) return false;
    Column += std::size_t(dx);
    Row += std::size_t(dy);
    return Fits(1);
  }

  TBitmap_Base::AHEAD In;
  int File;
  BYTE* Bits;
  std::size_t Stride;
  std::size_t Rows;
  int PixelBits;
  bool TopDown;
  std::size_t Row = 0;
  std::size_t Column = 0;
};
}  // namespace

// The fields of an info header that matter here, whichever its length.
struct _TDIB::HeaderFields {
  LONG width = 0;
  LONG height = 0;
  WORD planes = 0;
  WORD bits = 0;
  DWORD compression = BI_RGB;
  LONG xPelsPerMeter = 0;
  LONG yPelsPerMeter = 0;
  DWORD coloursUsed = 0;  // 0: the full table for the bit count
};

namespace {
// OS/2 1.x: 16-bit width, height, planes and bit count; nothing else.
_TDIB::HeaderFields ParseCoreHeader(ByteCursor& info) {
  _TDIB::HeaderFields f;
  info.seek(kCoreWidth);
  f.width = info.u16le();
  f.height = info.u16le();
  f.planes = info.u16le();
  f.bits = info.u16le();
  return f;
}

// Windows 3.0 and later, and OS/2 2.0 headers of any accepted length, whose
// fields after the bit count are there only as far as the header reaches.
_TDIB::HeaderFields ParseInfoHeader(ByteCursor& info, DWORD headerSize) {
  _TDIB::HeaderFields f;
  info.seek(kWidth);
  f.width = info.i32le();
  f.height = info.i32le();
  f.planes = info.u16le();
  f.bits = info.u16le();
  f.compression = OptionalField(info, headerSize, kCompression);
  f.xPelsPerMeter = LONG(OptionalField(info, headerSize, kXPelsPerMeter));
  f.yPelsPerMeter = LONG(OptionalField(info, headerSize, kYPelsPerMeter));
  f.coloursUsed = OptionalField(info, headerSize, kClrUsed);
  return f;
}
}  // namespace

_TDIB::_TDIB() { SetDescriptor(kDescription, kExtensions, kCapability); }

_TDIB::_TDIB(LONG width, LONG height, WORD bitCount) : _TDIB() {
  Width = DWORD(width);
  Height = height;
  BitCount = bitCount;
  Colors = ColorsForBitCount(bitCount);
  ComputeSizes();
  // Without memory the object simply holds no usable block.
  AllocateBlock();
}

int _TDIB::ReadHeader(int file, const char* options) {
  SwapMonoColors = HasOption(options, "inv") != nullptr;
  InvertBits = HasOption(options, "invb") != nullptr;
  // A codec may be loaded more than once: nothing of an earlier file stays.
  HasMasks = 0;

  int result = LocateBitmap(file, ArrayIndex(options));
  if (result != kOk) return result;

  BYTE raw[kFileHeaderBytes + kMaxHeaderBytes];
  if (!ReadAt(file, BitmapOffset, raw, kFileHeaderBytes + 4)) return kErrShortRead;
  ByteCursor fileHeader(raw, kFileHeaderBytes + 4);
  fileHeader.seek(kFileSize);
  FileSize = fileHeader.i32le();
  fileHeader.seek(kOffBits);
  OffBits = fileHeader.u32le();
  fileHeader.seek(kInfoSize);
  HeaderSize = fileHeader.u32le();
  if (!IsAcceptedHeaderSize(HeaderSize)) return kErrBitCount;

  BYTE* infoBytes = raw + kFileHeaderBytes;
  if (_read(file, infoBytes + 4, HeaderSize - 4) != long(HeaderSize - 4)) return kErrShortRead;
  ByteCursor info(infoBytes, HeaderSize);
  result = TakeHeader(HeaderSize == kCoreHeaderBytes ? ParseCoreHeader(info)
                                                      : ParseInfoHeader(info, HeaderSize));
  if (result != kOk) return result;
  ClrUsedInFile = Colors;
  ComputeSizes();
  if (!SizesAreSane()) return kErrMemory;

  // Windows headers from 52 bytes on carry the masks themselves, at the
  // place where the masks follow a 40-byte header; the base reads them from
  // where this leaves the file.
  if (HasMasks && HeaderSize >= kMasksEnd &&
      _lseek(file, std::int64_t(BitmapOffset) + kFileHeaderBytes + kRedMask, 0) < 0)
    return kErrShortRead;
  return CheckPixelDataPresent(file);
}

// Finds the "BM" header of the wanted bitmap: at the start of a plain file,
// or behind the N-th array header of an OS/2 bitmap array.
int _TDIB::LocateBitmap(int file, long index) {
  BYTE signature[2];
  if (!ReadAt(file, 0, signature, 2)) return kErrSignature;
  std::int64_t at = 0;
  if (IsSignature(signature, "BA")) {
    // A chain cannot hold more headers than fit into the file; a longer
    // walk can only be going round in a loop.
    std::int64_t hopsLeft = _filelength(file) / std::int64_t(kArrayHeaderBytes);
    for (; index > 0; --index) {
      BYTE head[kArrayHeaderBytes];
      if (!ReadAt(file, at, head, sizeof head)) return kErrShortRead;
      ByteCursor array(head, sizeof head);
      array.seek(kArrayNext);
      DWORD next = array.u32le();
      if (next == 0 || hopsLeft-- <= 0) return kErrNoSuchImage;
      if (!ReadAt(file, next, signature, 2) || !IsSignature(signature, "BA")) return kErrSignature;
      at = next;
    }
    at += kArrayHeaderBytes;
    if (!ReadAt(file, at, signature, 2)) return kErrSignature;
  }
  if (!IsSignature(signature, "BM")) return kErrSignature;
  BitmapOffset = LONG(at);
  return kOk;
}

// Checks the header's fields and takes them over. Every header other than
// the OS/2 1.x one is read alike: colour table of 4-byte entries after the
// info header, compression decoded.
int _TDIB::TakeHeader(const HeaderFields& f) {
  bool core = HeaderSize == kCoreHeaderBytes;
  if (f.width <= 0 || f.height == 0 || f.height == INT_MIN) return kErrZeroSize;
  if (f.planes != 1) return kErrVariant;
  if (!(core ? IsBitCount(f.bits, {1, 4, 8, 24}) : IsBitCount(f.bits, {1, 4, 8, 16, 24, 32})))
    return kErrBitCount;
  if (!CompressionFits(f.compression, f.bits)) return kErrCompression;

  Width = DWORD(f.width);
  TopDown = f.height < 0;
  Height = TopDown ? -f.height : f.height;
  BitCount = f.bits;
  Colors = TableColours(f.bits, f.coloursUsed);
  XPelsPerMeter = f.xPelsPerMeter;
  YPelsPerMeter = f.yPelsPerMeter;
  Compression = LONG(f.compression);
  HasMasks = f.compression == BI_BITFIELDS;
  IsWin3Header = HeaderSize == kWin3HeaderBytes;
  FormatVersion = core ? 1 : 2;
  return kOk;
}

// Refuses before allocating when the file cannot hold the pixel data:
// uncompressed rows need ImageSize bytes, run-length data at least one.
int _TDIB::CheckPixelDataPresent(int file) const {
  bool packed = Compression == BI_RLE8 || Compression == BI_RLE4;
  std::int64_t needed = packed ? 1 : ImageSize;
  return std::int64_t(OffBits) + needed <= _filelength(file) ? kOk : kErrShortRead;
}

int _TDIB::ReadPalette(int file, RGBQUAD* colourTable) {
  if (BitCount > 8) return kOk;
  std::int64_t at = std::int64_t(BitmapOffset) + kFileHeaderBytes + HeaderSize;
  if (FormatVersion == 1) {
    // OS/2 1.x entries are 3 bytes: blue, green, red.
    BYTE triples[256 * 3];
    std::size_t count = std::min<std::size_t>(std::size_t(Colors), 256);
    if (!ReadAt(file, at, triples, count * 3)) return kErrShortRead;
    for (std::size_t i = 0; i < count; ++i)
      colourTable[i] = RGBQUAD{triples[3 * i], triples[3 * i + 1], triples[3 * i + 2], 0};
  } else if (!ReadAt(file, at, colourTable, std::size_t(PaletteBytes))) {
    return kErrShortRead;
  }
  if (BitCount == 1 && SwapMonoColors && Colors >= 2) std::swap(colourTable[0], colourTable[1]);
  return kOk;
}

int _TDIB::ReadBits(int file, BYTE* bits) {
  if (_lseek(file, OffBits, 0) != std::int64_t(OffBits)) return kErrShortRead;
  int result = ReadPixels(file, bits);
  if (result != kOk) return result;
  if (InvertBits)
    for (LONG i = 0; i < ImageSize; ++i) bits[i] = BYTE(~bits[i]);
  return kOk;
}

int _TDIB::ReadPixels(int file, BYTE* bits) {
  std::size_t stride = RowStride(Width, BitCount);
  switch (Compression) {
    case BI_RGB:
    case BI_BITFIELDS:
      // A cut-off file must not pass for an image with black rows.
      if (_read(file, bits, std::size_t(ImageSize)) != long(ImageSize)) return kErrShortRead;
      if (TopDown) FlipRows(bits);
      return kOk;
    case BI_RLE8:
    case BI_RLE4:
      RleDecoder(file, bits, stride, std::size_t(Height), int(BitCount), TopDown).Run();
      return kOk;
    default: return kErrCompression;
  }
}

// Top-down files are kept bottom-up like every other packed DIB.
void _TDIB::FlipRows(BYTE* bits) const {
  std::size_t stride = RowStride(Width, BitCount);
  for (LONG top = 0, bottom = Height - 1; top < bottom; ++top, --bottom)
    std::swap_ranges(bits + std::size_t(top) * stride, bits + std::size_t(top + 1) * stride,
                     bits + std::size_t(bottom) * stride);
}

int _TDIB::WriteDIB(int file, HGLOBAL dib) {
  if (!dib) return kErrNullHandle;
  std::size_t size = GlobalSize(dib);
  // Anything shorter than an info header is not a packed DIB.
  if (size < sizeof(BITMAPINFOHEADER)) return kErrNullHandle;
  const auto* block = static_cast<const BYTE*>(GlobalLock(dib));
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(block);

  // bfOffBits must point at the rows in the block: behind the masks of a
  // bit-field image and behind the colour table as long as the header says.
  std::uint64_t colours = header->biClrUsed ? header->biClrUsed
                                            : DWORD(ColorsForBitCount(header->biBitCount));
  std::uint64_t masks = header->biCompression == BI_BITFIELDS ? 12 : 0;
  std::uint64_t offBits = std::min<std::uint64_t>(kFileHeaderBytes + kWin3HeaderBytes + masks + colours * 4,
                                                  kFileHeaderBytes + size);
  BYTE fileHeader[kFileHeaderBytes] = {'B', 'M'};
  auto put32 = [&](std::size_t at, std::uint64_t v) {
    for (int i = 0; i < 4; ++i) fileHeader[at + i] = BYTE(v >> (8 * i));
  };
  put32(kFileSize, kFileHeaderBytes + size);
  put32(kOffBits, offBits);

  bool written = _write(file, fileHeader, sizeof fileHeader) == long(sizeof fileHeader) &&
                 _write(file, block, size) == long(size);
  GlobalUnlock(dib);
  return written ? kOk : kErrWrite;
}
