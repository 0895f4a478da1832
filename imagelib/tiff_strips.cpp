// TTIF: the strips. Each strip is taken straight from the file copy when it is
// uncompressed, or decoded (LZW, PackBits) into a block first; its rows then
// go to the DIB bottom-up, RGB turned into blue, green, red, and horizontal
// differencing undone.
#include <algorithm>
#include <cstring>

#include "platform/core/locked_block.h"
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

std::uint64_t LoadBigEndian32(const BYTE* p) {
  return std::uint64_t(p[0]) << 24 | std::uint64_t(p[1]) << 16 | std::uint64_t(p[2]) << 8 | p[3];
}

// TIFF LZW: codes most significant bit first, widened one entry early, into
// at most capacity bytes. A code's string is copied from where it already
// stands in the output instead of being spelled out through the table.
class TLzwDecoder {
 public:
  TLzwDecoder(TTIF::TLzwEntry* table, BYTE* out, std::size_t capacity)
      : Table(table), Base(out), Out(out), End(out + capacity) {}

  // 1 at the end code or when the data or the room run out, 0 at a code
  // that has no string.
  int Run(const BYTE* in, std::size_t count) {
    const BYTE* inEnd = in + count;
    std::uint64_t bits = 0;  // the low `held` bits are unread
    DWORD held = 0;
    while (Out < End) {
      if (held < CodeSize && inEnd - in >= 4) {
        bits = bits << 32 | LoadBigEndian32(in);
        in += 4;
        held += 32;
      }
      for (; held < CodeSize; held += 8) {
        if (in == inEnd) return 1;
        bits = bits << 8 | *in++;
      }
      held -= CodeSize;
      DWORD code = DWORD(bits >> held) & CodeMask;
      if (code == kEndCode) return 1;
      if (!ExpandStripCode(code)) return 0;
    }
    return 1;
  }

  BYTE* Position() const { return Out; }

 private:
  bool ExpandStripCode(DWORD code) {
    if (code == kClearCode) {
      CodeSize = 9;
      CodeMask = 511;
      NextCode = kFirstFreeCode;
      PrevCode = kNoCode;
      return true;
    }
    if (code > NextCode) return false;
    if (PrevCode == kNoCode) {
      // Right after a clear only the single bytes have strings.
      if (code > 255) return false;
    } else if (NextCode < kNoCode) {
      // The previous string plus the byte that follows it: the first byte
      // of this code's string, also when this code is the entry made here.
      Table[NextCode++] = TTIF::TLzwEntry{PrevOffset, PrevLength + 1};
      if (NextCode == CodeMask && CodeSize < kMaxCodeSize) {
        ++CodeSize;
        CodeMask = (1u << CodeSize) - 1;
      }
    }
    PrevCode = code;
    PrevOffset = std::uint32_t(Out - Base);
    if (code < 256) {
      *Out++ = BYTE(code);
      PrevLength = 1;
      return true;
    }
    TTIF::TLzwEntry entry = Table[code];
    PrevLength = entry.Length;
    Copy(Base + entry.Offset, entry.Length);
    return true;
  }

  // Copies a string that stands earlier in the output, in 8-byte pieces
  // where there is room (the bytes beyond it are overwritten later). Only
  // the entry made for this very code runs into the destination: its last
  // byte is the first one written here, which a piece reads too early.
  void Copy(const BYTE* from, std::size_t n) {
    std::size_t room = std::size_t(End - Out);
    if (room < n + 7) {
      n = std::min(n, room);
      for (std::size_t i = 0; i < n; ++i) Out[i] = from[i];
    } else {
      bool runsIntoOut = from + n > Out;
      for (std::size_t i = 0; i < n; i += 8) std::memcpy(Out + i, from + i, 8);
      if (runsIntoOut) Out[n - 1] = from[0];
    }
    Out += n;
  }

  TTIF::TLzwEntry* Table;
  BYTE* Base;
  BYTE* Out;
  BYTE* End;
  DWORD CodeSize = 9;
  DWORD CodeMask = 511;
  DWORD NextCode = kFirstFreeCode;
  DWORD PrevCode = kNoCode;
  std::uint32_t PrevOffset = 0;
  std::uint32_t PrevLength = 0;
};
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
  // Compressed strips are decoded into one block, one strip after another.
  TLockedBlock block(compressed ? std::size_t(rows) * rowBytes : 0);
  if (!block.Get()) return kErrMemory;
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
  // Past the data the block holds what an earlier strip, or the LZW
  // decoder's 8-byte pieces, left there: the last, partly decoded row must
  // end in zeros.
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

int TTIF::DecodeLzwStrip(const BYTE* source, BYTE* destination, std::size_t count,
                         std::size_t capacity) {
  TLzwDecoder decoder(LzwTables, destination, capacity);
  int result = decoder.Run(source, count);
  OutPos = decoder.Position();
  return result;
}

int TTIF::UnpackBitsStrip(const BYTE* source, BYTE* destination, std::size_t count,
                          std::size_t capacity) {
  BYTE* out = destination;
  BYTE* const end = destination + capacity;
  std::size_t i = 0;
  while (i < count && out < end) {
    int control = static_cast<signed char>(source[i++]);
    std::size_t room = std::size_t(end - out);
    if (control == -128) continue;  // a no-op byte
    if (control < 0) {
      if (i == count) break;
      std::size_t run = std::min<std::size_t>(std::size_t(1 - control), room);
      std::memset(out, source[i++], run);
      out += run;
    } else {
      std::size_t literal = std::size_t(control) + 1;
      std::size_t run = std::min({literal, count - i, room});
      std::memcpy(out, source + i, run);
      out += run;
      i += literal;
    }
  }
  OutPos = out;
  return 1;
}
