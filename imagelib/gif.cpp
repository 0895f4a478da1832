#include "imagelib/gif.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "imagelib/byte_cursor.h"
#include "platform/core/locked_block.h"
#include "platform/core/lowio.h"

namespace {
constexpr int kNoCode = TLzwTables::kCodes;  // no previous code, no prefix
// A larger minimum code size would put the clear code at 4096 or beyond,
// outside the string table.
constexpr int kMaxMinCodeSize = 11;
// The index block has always had this much room beyond the image.
constexpr std::size_t kIndexSlack = 256;

// Screen descriptor, counted from the start of the file.
enum { kScreenWidth = 6, kScreenEnd = 13 };
constexpr std::size_t kImageDescriptorBytes = 9;

enum : BYTE {
  kExtensionIntroducer = 0x21,
  kImageSeparator = 0x2C,
  kTrailer = 0x3B,
  kGraphicControlLabel = 0xF9,
  kApplicationLabel = 0xFF,
  kCommentLabel = 0xFE,
  kTableFlag = 0x80,
  kInterlaceFlag = 0x40,
};

// The next byte of the file, or -1 at its end.
int ReadByte(int file) {
  BYTE b;
  return _read(file, &b, 1) == 1 ? b : -1;
}

COLORREF TableColour(const BYTE* table, unsigned index) {
  const BYTE* rgb = table + index * 3;
  return RGB(rgb[0], rgb[1], rgb[2]);
}

// Hands out the data sub-blocks of an image from large reads of the file.
// When it goes, the file is left right after the last sub-block handed out
// (after the terminator once that was reached), where reading one sub-block
// at a time would have left it.
class TSubBlockReader {
 public:
  explicit TSubBlockReader(int file) : File(file) {}
  ~TSubBlockReader() {
    if (Count > Pos) _lseek(File, -std::int64_t(Count - Pos), SEEK_CUR);
  }
  TSubBlockReader(const TSubBlockReader&) = delete;
  TSubBlockReader& operator=(const TSubBlockReader&) = delete;

  // The next sub-block's length with its bytes at data; 0 at the terminator
  // or where the file ends instead, -1 when the file ends inside a sub-block.
  int Next(const BYTE*& data) {
    if (!Fill(1)) return 0;
    int length = Buffer[Pos];
    if (length == 0) {
      ++Pos;
      return 0;
    }
    if (!Fill(1 + std::size_t(length))) return -1;
    data = Buffer + Pos + 1;
    Pos += 1 + std::size_t(length);
    return length;
  }

 private:
  // True when at least n bytes are buffered from Pos on.
  bool Fill(std::size_t n) {
    if (Count - Pos >= n) return true;
    std::memmove(Buffer, Buffer + Pos, Count - Pos);
    Count -= Pos;
    Pos = 0;
    long got = _read(File, Buffer + Count, sizeof Buffer - Count);
    if (got > 0) Count += std::size_t(got);
    return Count >= n;
  }

  int File;
  BYTE Buffer[16384];
  std::size_t Pos = 0;
  std::size_t Count = 0;
};

// GIF interlacing sends rows 0, 8, 16, ... then 4, 12, ... then 2, 6, ...
// then 1, 3, 5, ...; table[row] receives the row's place in that order.
void NumberInterlacedRows(DWORD* table, DWORD rows) {
  static const DWORD kStart[] = {0, 4, 2, 1};
  static const DWORD kStep[] = {8, 8, 4, 2};
  DWORD sent = 0;
  for (int pass = 0; pass < 4; ++pass)
    for (DWORD row = kStart[pass]; row < rows; row += kStep[pass]) table[row] = sent++;
}
}  // namespace

TGIF::TGIF() { SetDescriptor("CompuServe Graphics Interchange Format", "GIF", 119); }

int TGIF::ReadHeader(int file, const char* /*options: none apply*/) {
  BYTE header[kScreenEnd];
  long got = _lseek(file, 0, SEEK_SET) == 0 ? _read(file, header, sizeof header) : -1;
  if (got < 6 || (std::memcmp(header, "GIF87a", 6) != 0 && std::memcmp(header, "GIF89a", 6) != 0))
    return kErrSignature;
  if (got < long(sizeof header)) return kErrShortRead;

  ByteCursor in(header, sizeof header);
  in.seek(kScreenWidth);
  DWORD width = in.u16le();
  LONG height = in.u16le();
  BYTE packed = in.u8();
  BYTE background = in.u8();
  ScreenBits = (packed & 7) + 1;
  BitCount = ScreenBits == 1 ? 1 : ScreenBits <= 4 ? 4 : 8;
  if (packed & kTableFlag) {
    GlobalColors = WORD(1u << ScreenBits);
    if (!ReadExactly(file, GlobalTable, GlobalColors * 3u)) return kErrShortRead;
    HasGlobalTable = 1;
    BackgroundColor = TableColour(GlobalTable, background);
  }
  if (width == 0 || height == 0) return kErrZeroSize;

  Width = width;
  Height = height;
  DataStart = LONG(_lseek(file, 0, SEEK_CUR));
  Colors = ColorsForBitCount(WORD(BitCount));
  ComputeSizes();
  return kOk;
}

int TGIF::ReadPalette(int /*file*/, RGBQUAD* colourTable) {
  const BYTE* source = Frame.HasLocalTable ? LocalTable : GlobalTable;
  int count = Frame.HasLocalTable ? Frame.LocalColors : GlobalColors;
  if (count == 0) count = Colors;
  // Counts left from another file read by this object may exceed this DIB's table.
  count = std::min(count, Colors);
  for (int i = 0; i < count; ++i)
    colourTable[i] = RGBQUAD{source[i * 3 + 2], source[i * 3 + 1], source[i * 3], 0};
  if (Frame.Transparent) {
    Frame.TransparentIndex = std::min<DWORD>(Frame.TransparentIndex, 255);
    Frame.TransparentColor = TableColour(source, Frame.TransparentIndex);
  }
  return kOk;
}

int TGIF::WriteDIB(int /*file*/, HGLOBAL /*dib*/) { return kOk; }

int TGIF::ReadBits(int file, BYTE* bits) {
  LONG start = Sequential && ResumePos != -1 ? ResumePos : DataStart;
  if (_lseek(file, start, SEEK_SET) != start) return kErrShortRead;
  bool trailer = false;
  for (;;) {
    int introducer = ReadByte(file);
    if (introducer < 0) return kErrShortRead;
    if (introducer == kExtensionIntroducer) {
      ReadExtension(file);
    } else if (introducer == kImageSeparator) {
      int result = ReadImage(file, bits);
      if (result != kOk) return result;
      ++ImagesRead;
    } else if (introducer == kTrailer) {
      trailer = true;
    } else if (introducer != 0) {  // stray zero bytes between blocks are skipped
      return kErrGifBadBlock;
    }
    if (ImagesRead == ImageIndex) {
      if (Sequential) {
        ++ImageIndex;
        ResumePos = LONG(_lseek(file, 0, SEEK_CUR));
      }
      break;
    }
    if (trailer) break;
  }
  if (Sequential) return trailer ? kErrGifNoImage : kOk;
  return ImageIndex > ImagesRead ? kErrGifNoImage : kOk;
}

// Extensions report nothing: a cut-off extension just ends, and the next
// block introducer decides.
void TGIF::ReadExtension(int file) {
  int label = ReadByte(file);
  std::string text;
  for (int length; (length = ReadByte(file)) > 0;) {
    BYTE block[256] = {};  // bytes a short sub-block lacks read as 0
    long got = std::max(0L, _read(file, block, std::size_t(length)));
    if (label == kGraphicControlLabel) {
      ReadGraphicControl(block);
    } else if (label == kApplicationLabel) {
      // The loop sub-block follows the name: length, identifier, count.
      BYTE loop[4];
      if (std::memcmp(block, "NETSCAPE2.0", std::min(length, 11)) == 0 &&
          ReadExactly(file, loop, sizeof loop))
        LoopCount = loop[2] | loop[3] << 8;
    } else if (label == kCommentLabel) {
      // Each sub-block is a zero-terminated piece of the text.
      const char* piece = reinterpret_cast<const char*>(block);
      text.append(piece, strnlen(piece, std::size_t(got)));
    }
  }
  Comment += text;
}

void TGIF::ReadGraphicControl(const BYTE* block) {
  ByteCursor in(block, 4);
  BYTE flags = in.u8();
  Frame.Transparent = flags & 1;
  Frame.UserInput = flags & 2;
  Frame.Disposal = (flags >> 2) & 7;
  Frame.Delay = in.u16le() * 10u;  // hundredths of a second
  Frame.TransparentIndex = in.u8();
}

int TGIF::ReadImage(int file, BYTE* bits) {
  DWORD width = 0, height = 0;
  int result = ReadImageDescriptor(file, width, height);
  if (result != kOk) return result;
  std::uint64_t pixels = std::uint64_t(width) * height;
  // Like a DIB, an index block beyond 2 GiB is refused before it is asked for.
  if (pixels + kIndexSlack > kMaxDibBytes) return kErrMemory;
  TLockedBlock indexBlock(pixels + kIndexSlack);
  if (!indexBlock.Get()) return kErrMemory;
  Indices = indexBlock.Get();
  result = DecodeImageData(file, width, height) == kOk ? PlaceImage(bits, width, height)
                                                        : kErrCorrupt;
  Indices = OutPos = OutEnd = nullptr;
  if (result != kOk) return result;
  // The DIB ends with the colour table of the image that was read.
  ReadPalette(file, Palette);
  return kOk;
}

int TGIF::ReadImageDescriptor(int file, DWORD& width, DWORD& height) {
  Frame.HasLocalTable = 0;
  BYTE descriptor[kImageDescriptorBytes];
  if (!ReadExactly(file, descriptor, sizeof descriptor)) return kErrShortRead;
  ByteCursor in(descriptor, sizeof descriptor);
  Frame.StoredLeft = in.u16le();
  Frame.StoredTop = in.u16le();
  width = in.u16le();
  height = in.u16le();
  BYTE packed = in.u8();
  Frame.Interlaced = packed & kInterlaceFlag;
  return ReadLocalTable(file, packed);
}

int TGIF::ReadLocalTable(int file, BYTE packed) {
  if (!(packed & kTableFlag)) {
    Frame.LocalColors = GlobalColors;
    return HasGlobalTable ? kOk : kErrGifColourTable;
  }
  int colours = 1 << ((packed & 7) + 1);
  if (colours > (1 << BitCount)) return kErrGifColourTable;
  Frame.LocalColors = WORD(colours);
  if (!ReadExactly(file, LocalTable, std::size_t(colours) * 3)) return kErrShortRead;
  Frame.HasLocalTable = 1;
  return kOk;
}

// Copies the decoded image into the DIB at its place on the screen, clipped
// to the screen.
int TGIF::PlaceImage(BYTE* bits, DWORD width, DWORD height) {
  DWORD screenHeight = DWORD(Height);
  // In 1- and 4-bit DIBs the image starts at the first pixel of its byte.
  DWORD left = Frame.StoredLeft * BitCount / 8 * 8 / BitCount;
  DWORD top = Frame.StoredTop;
  DWORD storedHeight = height;
  if (top + height > screenHeight) {
    if (top >= screenHeight) return kErrGifOffScreen;
    height = screenHeight - top;
  }
  DWORD copyWidth = width;
  if (left + width > Width) {
    if (left >= Width) return kErrGifOffScreen;
    copyWidth = Width - left;
  }
  Frame.FrameLeft = left;
  Frame.FrameTop = top;
  Frame.FrameWidth = width;
  Frame.FrameHeight = height;

  // The DIB row of the image's bottom row; DIB rows run bottom-up.
  BYTE* destination = bits + left * BitCount / 8 +
                      std::size_t(screenHeight - height - top) * RowStride(Width, BitCount);
  if (!Frame.Interlaced) {
    StoreRows(destination, width, height, copyWidth, nullptr);
    return kOk;
  }
  TLockedBlock rowTable(std::size_t(storedHeight) * sizeof(DWORD));
  if (!rowTable.Get()) return kErrMemory;
  auto* sourceRows = reinterpret_cast<DWORD*>(rowTable.Get());
  NumberInterlacedRows(sourceRows, storedHeight);
  StoreRows(destination, width, height, copyWidth, sourceRows);
  return kOk;
}

// Packs image rows height - 1 down to 0 into successive DIB rows from
// destination on; sourceRows maps an image row to its place in Indices.
void TGIF::StoreRows(BYTE* destination, DWORD width, DWORD height, DWORD copyWidth,
                     const DWORD* sourceRows) {
  DWORD stride = RowStride(Width, BitCount);
  for (DWORD k = height; k-- > 0; destination += stride)
    PackRow(destination, sourceRows ? sourceRows[k] : k, width, copyWidth, BitCount);
}

// Index values are combined by shifting without masking: they are expected
// to fit the bit count, and one that does not only spoils its own byte.
void TGIF::PackRow(BYTE* destination, DWORD sourceRow, DWORD width, DWORD copyWidth,
                   DWORD bitCount) {
  const BYTE* source = Indices + std::size_t(sourceRow) * width;
  if (bitCount == 8) {
    std::memcpy(destination, source, copyWidth);
  } else if (bitCount == 4) {
    DWORD x = 0;
    for (; x + 1 < copyWidth; x += 2) *destination++ = BYTE(source[x] << 4 | source[x + 1]);
    if (x < copyWidth) *destination = BYTE(source[x] << 4);
  } else {
    for (DWORD x = 0; x < copyWidth; x += 8) {
      DWORD n = std::min<DWORD>(8, copyWidth - x);
      unsigned byte = 0;
      for (DWORD i = 0; i < n; ++i) byte |= unsigned(source[x + i]) << (7 - i);
      *destination++ = BYTE(byte);
    }
  }
}

int TGIF::DecodeImageData(int file, DWORD width, DWORD height) {
  OutPos = Indices;
  OutEnd = Indices + std::size_t(width) * height;
  int minCodeSize = ReadByte(file);
  if (minCodeSize < 0) return kErrShortRead;
  if (minCodeSize > kMaxMinCodeSize) return kErrCorrupt;
  MinCodeSize = minCodeSize;
  ClearCode = 1 << MinCodeSize;
  EndCode = ClearCode + 1;
  ResetCodeTable();
  for (int i = 0; i < ClearCode; ++i) {
    LzwTables.Prefix[i] = kNoCode;
    LzwTables.Suffix[i] = BYTE(i);
  }
  return DecodeSubBlocks(file);
}

void TGIF::ResetCodeTable() {
  CodeSize = MinCodeSize + 1;
  CodeMask = (1 << CodeSize) - 1;
  NextCode = ClearCode + 2;
  PrevCode = kNoCode;
}

// Codes are packed least significant bit first across the data sub-blocks.
// After an invalid code the rest of its sub-block is dropped and later
// sub-blocks are skipped, unless a code still held in the accumulator is
// valid again.
int TGIF::DecodeSubBlocks(int file) {
  TSubBlockReader reader(file);
  std::uint32_t accumulator = 0;
  int bitCount = 0;
  int ok = 1;
  const BYTE* block = nullptr;
  for (int length; (length = reader.Next(block)) != 0;) {
    if (length < 0) return kErrShortRead;
    for (int i = 0; ok && i < length; ++i) {
      accumulator |= std::uint32_t(block[i]) << bitCount;
      bitCount += 8;
      while (bitCount >= CodeSize) {
        int code = int(accumulator & std::uint32_t(CodeMask));
        accumulator >>= CodeSize;
        bitCount -= CodeSize;
        if (code == EndCode) return ok ? kOk : kErrCorrupt;
        ok = ExpandCode(code);
        if (ok < 0) return kErrCorrupt;
      }
    }
  }
  return OutPos == OutEnd && ok ? kOk : kErrCorrupt;
}

int TGIF::ExpandCode(int code) {
  if (code == ClearCode) {
    ResetCodeTable();
    return 1;
  }
  if (code > NextCode) return 0;
  if (PrevCode == kNoCode) {
    // Without a previous string only a single index can follow.
    if (code >= ClearCode) return 0;
    if (OutPos == OutEnd) return -1;
    FirstChar = BYTE(code);
    *OutPos++ = FirstChar;
    PrevCode = code;
    return 1;
  }
  BYTE* const top = LzwTables.Stack + TLzwTables::kCodes;
  BYTE* string = top;
  int c = code;
  // GIF: a code equal to the next free entry repeats the previous string
  // plus that string's first character.
  if (code == NextCode) {
    *--string = FirstChar;
    c = PrevCode;
  }
  const int clearCode = ClearCode;
  while (c > clearCode) {
    *--string = LzwTables.Suffix[c];
    c = LzwTables.Prefix[c];
  }
  FirstChar = LzwTables.Suffix[c];
  *--string = FirstChar;
  if (NextCode < TLzwTables::kCodes) {  // a full table takes no entries until a clear code
    LzwTables.Prefix[NextCode] = PrevCode;
    LzwTables.Suffix[NextCode] = FirstChar;
    ++NextCode;
    if ((NextCode & CodeMask) == 0 && NextCode < TLzwTables::kCodes) {
      ++CodeSize;
      CodeMask += NextCode;
    }
  }
  PrevCode = code;
  std::size_t length = std::size_t(top - string);
  if (length > std::size_t(OutEnd - OutPos)) return -1;
  // Strings are mostly a few bytes long: a plain loop beats a call to memcpy.
  BYTE* out = OutPos;
  while (string < top) *out++ = *string++;
  OutPos = out;
  return 1;
}
