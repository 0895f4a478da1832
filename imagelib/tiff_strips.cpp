// TTIF: the strips. Each strip is taken straight from the file copy when it is
// uncompressed, or decoded (LZW, PackBits) into a block first; its rows then
// go to the DIB bottom-up, RGB turned into blue, green, red, and horizontal
// differencing undone.
#include <algorithm>
#include <cstring>

#include "imagelib/tiff.h"

namespace {
constexpr DWORD kNone = 1;
constexpr DWORD kLzw = 5;
constexpr DWORD kPackBits = 32773;
constexpr DWORD kHorizontalDifferencing = 2;

// TIFF LZW codes and limits.
constexpr DWORD kClearCode = 256;
constexpr DWORD kEndCode = 257;
constexpr DWORD kFirstFreeCode = 258;
constexpr DWORD kNoCode = 4096;
constexpr DWORD kMaxCodeSize = 12;

// The zero-filled block a compressed strip is decoded into; freed on scope exit.
class TDecodeBlock {
 public:
  explicit TDecodeBlock(std::size_t bytes) : Handle(bytes ? GlobalAlloc(GHND, bytes) : nullptr) {
    Data = static_cast<BYTE*>(GlobalLock(Handle));
  }
  ~TDecodeBlock() {
    GlobalUnlock(Handle);
    GlobalFree(Handle);
  }
  TDecodeBlock(const TDecodeBlock&) = delete;
  TDecodeBlock& operator=(const TDecodeBlock&) = delete;
  BYTE* Get() const { return Data; }

 private:
  HGLOBAL Handle;
  BYTE* Data;
};

void StoreRgbRow(BYTE* dest, const BYTE* src, std::size_t width, bool differenced) {
  if (!differenced) {
    for (std::size_t x = 0; x < width; ++x, src += 3, dest += 3) {
      dest[0] = src[2];
      dest[1] = src[1];
      dest[2] = src[0];
    }
    return;
  }
  // Each sample is stored as its difference to the same sample on the left.
  BYTE red = 0, green = 0, blue = 0;
  for (std::size_t x = 0; x < width; ++x, src += 3, dest += 3) {
    red = BYTE(red + src[0]);
    green = BYTE(green + src[1]);
    blue = BYTE(blue + src[2]);
    dest[0] = blue;
    dest[1] = green;
    dest[2] = red;
  }
}

void StoreByteRow(BYTE* dest, const BYTE* src, std::size_t width, bool differenced) {
  if (!differenced) {
    std::memcpy(dest, src, width);
    return;
  }
  BYTE sum = 0;
  for (std::size_t x = 0; x < width; ++x) {
    sum = BYTE(sum + src[x]);
    dest[x] = sum;
  }
}
}  // namespace

std::uint64_t TTIF::StripRows() const {
  std::uint64_t height = std::uint64_t(Height);
  // -1, and any count beyond the height, make the whole image one strip.
  if (RowsPerStrip == -1) return height;
  return std::min<std::uint64_t>(DWORD(RowsPerStrip), height);
}

std::uint64_t TTIF::StripCount() const {
  std::uint64_t rows = StripRows();
  return (std::uint64_t(Height) + rows - 1) / rows;
}

std::size_t TTIF::SourceRowBytes() const {
  std::size_t width = Width;
  switch (BitCount) {
    case 1: return (width + 7) / 8;
    case 4: return (width + 1) / 2;
    case 8: return width;
    default: return width * 3;
  }
}

std::size_t TTIF::RowsInStrip(std::uint64_t strip) const {
  std::uint64_t rows = StripRows();
  return std::size_t(std::min(rows, std::uint64_t(Height) - strip * rows));
}

// Where the bytes of a strip lie in the file copy. An uncompressed strip is
// as long as its rows; a compressed one as long as its byte count says.
bool TTIF::StripSpan(std::uint64_t strip, TStripSpan& span) const {
  ByteCursor offsets = CursorAt(StripOffsets + strip * (StripOffsetsType == 3 ? 2 : 4));
  span.Offset = StripOffsetsType == 3 ? Read16(offsets) : Read32(offsets);
  span.Length = RowsInStrip(strip) * SourceRowBytes();
  if (Compression != kNone) {
    ByteCursor counts =
        CursorAt(StripByteCounts + strip * (StripByteCountsType == 3 ? 2 : 4));
    span.Length = StripByteCountsType == 3 ? Read16(counts) : Read32(counts);
    if (counts.failed()) return false;
  }
  if (offsets.failed() || span.Offset > FileDataSize) return false;
  return span.Length <= FileDataSize - span.Offset;
}

// Every strip of the image must be listed and lie inside the file.
int TTIF::CheckStrips() const {
  if (Compression != kNone && Compression != kLzw && Compression != kPackBits)
    return kErrUnsupported;
  std::uint64_t strips = StripCount();
  if (StripOffsetsCount < strips) return kErrShortRead;
  if (Compression != kNone && StripByteCountsCount < strips) return kErrShortRead;
  TStripSpan span;
  for (std::uint64_t s = 0; s < strips; ++s)
    if (!StripSpan(s, span)) return kErrShortRead;
  return kOk;
}

int TTIF::ReadBits(int, BYTE* bits) {
  if (!FileData) return kErrMemory;
  int result = ReadStrips(bits);
  FreeFileData();
  return result;
}

int TTIF::ReadStrips(BYTE* bits) {
  std::size_t rowBytes = SourceRowBytes();
  std::uint64_t rows = StripRows();
  bool compressed = Compression != kNone;
  TDecodeBlock block(compressed ? std::size_t(rows) * rowBytes : 0);
  if (compressed && !block.Get()) return kErrMemory;
  for (std::uint64_t s = 0, strips = StripCount(); s < strips; ++s) {
    TStripSpan span;
    if (!StripSpan(s, span)) return kErrShortRead;
    std::size_t capacity = RowsInStrip(s) * rowBytes;
    const BYTE* source = FileData + span.Offset;
    std::size_t filled = capacity;
    if (compressed) {
      filled = DecodeStrip(span, block.Get(), capacity);
      source = block.Get();
    }
    StoreRows(bits, s * rows, source, (filled + rowBytes - 1) / rowBytes);
  }
  return kOk;
}

// Decodes one compressed strip and returns the bytes it yielded. Rows the
// data do not reach stay zero, as the DIB is; the decoder's verdict on the
// data is of no further interest.
std::size_t TTIF::DecodeStrip(const TStripSpan& span, BYTE* block, std::size_t capacity) {
  const BYTE* source = FileData + span.Offset;
  if (Compression == kLzw) DecodeLzwStrip(source, block, span.Length, capacity);
  else UnpackBitsStrip(source, block, span.Length, capacity);
  std::size_t filled = std::size_t(OutPos - block);
  // The block serves every strip: clear what an earlier one left in the
  // last, partly decoded row.
  std::size_t rowBytes = SourceRowBytes();
  std::size_t rowEnd = std::min(capacity, (filled + rowBytes - 1) / rowBytes * rowBytes);
  std::memset(block + filled, 0, rowEnd - filled);
  return filled;
}

// Rows of the file come top row first; row 0 of the DIB is the bottom row.
void TTIF::StoreRows(BYTE* bits, std::uint64_t firstRow, const BYTE* rows,
                     std::size_t count) const {
  std::size_t stride = RowStride(Width, BitCount);
  std::size_t rowBytes = SourceRowBytes();
  bool differenced = Predictor == kHorizontalDifferencing;
  for (std::size_t r = 0; r < count; ++r, rows += rowBytes) {
    BYTE* dest = bits + (std::uint64_t(Height) - 1 - (firstRow + r)) * stride;
    if (BitCount == 24) StoreRgbRow(dest, rows, Width, differenced);
    else if (BitCount == 8) StoreByteRow(dest, rows, Width, differenced);
    else std::memcpy(dest, rows, rowBytes);
  }
}

void TTIF::ResetLzw() {
  CodeSize = 9;
  CodeMask = 511;
  NextCode = kFirstFreeCode;
  PrevCode = kNoCode;
}

int TTIF::DecodeLzwStrip(const BYTE* source, BYTE* destination, std::size_t count,
                         std::size_t capacity) {
  OutPos = destination;
  OutEnd = destination + capacity;
  ResetLzw();
  for (DWORD i = 0; i < 256; ++i)
    LzwTables[i] = TLzwEntry{std::uint16_t(kNoCode), 1, BYTE(i), BYTE(i)};
  DWORD accumulator = 0;
  DWORD held = 0;
  for (std::size_t i = 0; i < count && OutPos < OutEnd; ++i) {
    accumulator |= DWORD(source[i]) << (24 - held);
    held += 8;
    while (held >= CodeSize) {
      DWORD code = accumulator >> (32 - CodeSize);
      accumulator <<= CodeSize;
      held -= CodeSize;
      if (code == kEndCode) return 1;
      if (!ExpandStripCode(code)) return 0;
      if (OutPos == OutEnd) return 1;
    }
  }
  return 1;
}

int TTIF::ExpandStripCode(DWORD code) {
  if (code == kClearCode) {
    ResetLzw();
    return 1;
  }
  if (code > NextCode) return 0;
  if (PrevCode == kNoCode) {
    // Right after a clear only a single byte has a string yet.
    if (code > 255) return 0;
    *OutPos++ = BYTE(code);
    PrevCode = code;
    return 1;
  }
  if (NextCode < kNoCode) {
    // The new string is the previous one plus the first byte of this one;
    // for code = NextCode (not yet in the table) that is its own first byte.
    const TLzwEntry& previous = LzwTables[PrevCode];
    BYTE first = code == NextCode ? previous.First : LzwTables[code].First;
    LzwTables[NextCode] = TLzwEntry{std::uint16_t(PrevCode),
                                    std::uint16_t(previous.Length + 1), first, previous.First};
    ++NextCode;
    // TIFF LZW widens the codes one entry early.
    if (NextCode == CodeMask && CodeSize < kMaxCodeSize) {
      ++CodeSize;
      CodeMask = (1u << CodeSize) - 1;
    }
  }
  WriteString(code);
  PrevCode = code;
  return 1;
}

// Writes the string of a code, last byte first, following the prefixes;
// what does not fit before OutEnd is dropped.
void TTIF::WriteString(DWORD code) {
  std::size_t length = LzwTables[code].Length;
  std::size_t room = std::size_t(OutEnd - OutPos);
  for (; length > room; --length) code = LzwTables[code].Prefix;
  BYTE* end = OutPos + length;
  for (BYTE* p = end; p != OutPos; code = LzwTables[code].Prefix) *--p = LzwTables[code].Suffix;
  OutPos = end;
}

int TTIF::UnpackBitsStrip(const BYTE* source, BYTE* destination, std::size_t count,
                          std::size_t capacity) {
  OutPos = destination;
  OutEnd = destination + capacity;
  std::size_t i = 0;
  while (i < count && OutPos < OutEnd) {
    int control = static_cast<signed char>(source[i++]);
    std::size_t room = std::size_t(OutEnd - OutPos);
    if (control == -128) continue;  // a no-op byte
    if (control < 0) {
      if (i == count) break;
      std::size_t run = std::min<std::size_t>(std::size_t(1 - control), room);
      std::memset(OutPos, source[i++], run);
      OutPos += run;
    } else {
      std::size_t literal = std::size_t(control) + 1;
      std::size_t run = std::min({literal, count - i, room});
      std::memcpy(OutPos, source + i, run);
      OutPos += run;
      i += literal;
    }
  }
  return 1;
}
