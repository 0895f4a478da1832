// TTIF: reading the file copy and interpreting the first IFD. The strips are
// decoded in tiff_strips.cpp.
#include "imagelib/tiff.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/core/lowio.h"

namespace {
enum Tag : WORD {
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kFillOrder = 266,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kXResolution = 282,
  kYResolution = 283,
  kPlanarConfiguration = 284,
  kResolutionUnit = 296,
  kPredictor = 317,
  kColorMap = 320,
  kTileWidth = 322,
  kTileLength = 323,
  kExtraSamples = 338,
};

constexpr WORD kTypeShort = 3;
constexpr WORD kTiffMagic = 42;

enum Photometric : DWORD {
  kWhiteIsZero = 0,
  kBlackIsZero = 1,
  kRgb = 2,
  kPalette = 3,
  kTransparencyMask = 4,
  kSeparated = 5,
  kYCbCr = 6,
  kCieLab = 8,
};

// Compressions refused with the other unsupported features; the strip
// compressions read are checked with the strips.
enum Compression : DWORD {
  kCcittGroup3 = 3,
  kCcittGroup4 = 4,
  kOldJpeg = 6,
};

enum ResolutionUnit : DWORD { kInch = 2, kCentimetre = 3 };
constexpr double kInchesPerCentimetre = 0.39370078740157477;

// Pixels per metre, truncated; a value that does not fit counts as none.
LONG PelsPerMeter(double perCentimetre) {
  double pels = std::trunc(perCentimetre * 100);
  if (!(pels >= 0 && pels <= double(std::numeric_limits<LONG>::max()))) return 0;
  return LONG(pels);
}

LONG PelsFromInches(double dotsPerInch) {
  return PelsPerMeter(dotsPerInch * kInchesPerCentimetre);
}

// A tag of a single 16-bit value that lands in a member unchanged.
struct ShortTag {
  WORD tag;
  DWORD TTIF::*member;
};
const ShortTag kShortTags[] = {
    {kCompression, &TTIF::Compression},
    {kPhotometric, &TTIF::Photometric},
    {kFillOrder, &TTIF::FillOrder},
    {kSamplesPerPixel, &TTIF::SamplesPerPixel},
    {kPlanarConfiguration, &TTIF::PlanarConfiguration},
    {kResolutionUnit, &TTIF::ResolutionUnit},
    {kPredictor, &TTIF::Predictor},
    {kExtraSamples, &TTIF::ExtraSamples},
};

// A tag that is SHORT or LONG.
const ShortTag kShortOrLongTags[] = {
    {kImageWidth, &TTIF::ImageWidth},
    {kImageLength, &TTIF::ImageLength},
    {kTileWidth, &TTIF::TileWidth},
    {kTileLength, &TTIF::TileLength},
};
}  // namespace

struct TTIF::TIfdEntry {
  WORD Tag;
  WORD Type;
  DWORD Count;
  std::size_t ValueField;  // file offset of the entry's 4-byte value field

  // File offset of an array of count elements: the value field itself when
  // the array fits in its 4 bytes, as TIFF stores such arrays.
  std::uint64_t ArrayOffset(const TTIF& tif, unsigned elementSize) const {
    if (std::uint64_t(Count) * elementSize <= 4) return ValueField;
    return tif.LongValue(*this);
  }
};

TTIF::TTIF() = default;

TTIF::~TTIF() { FreeFileData(); }

void TTIF::FreeFileData() {
  if (FileBlock) {
    GlobalUnlock(FileBlock);
    GlobalFree(FileBlock);
  }
  FileBlock = nullptr;
  FileData = nullptr;
  FileDataSize = 0;
}

int TTIF::WriteDIB(int, HGLOBAL) { return kOk; }

WORD TTIF::Read16(ByteCursor& at) const { return LittleEndian ? at.u16le() : at.u16be(); }

DWORD TTIF::Read32(ByteCursor& at) const { return LittleEndian ? at.u32le() : at.u32be(); }

ByteCursor TTIF::CursorAt(std::uint64_t offset) const {
  ByteCursor at(FileData, FileDataSize);
  at.seek(std::size_t(offset));  // beyond the end: a failed cursor
  return at;
}

WORD TTIF::ShortValue(const TIfdEntry& entry) const {
  ByteCursor at = CursorAt(entry.ValueField);
  return Read16(at);
}

DWORD TTIF::LongValue(const TIfdEntry& entry) const {
  ByteCursor at = CursorAt(entry.ValueField);
  return Read32(at);
}

DWORD TTIF::ShortOrLongValue(const TIfdEntry& entry) const {
  return entry.Type == kTypeShort ? ShortValue(entry) : LongValue(entry);
}

int TTIF::ReadHeader(int file, const char*) {
  int result = ReadFileCopy(file);
  if (result == kOk) result = InterpretFile();
  if (result != kOk) FreeFileData();
  return result;
}

int TTIF::ReadFileCopy(int file) {
  FreeFileData();
  std::int64_t size = _lseek(file, 0, SEEK_END);
  if (size < 0) return kErrShortRead;
  FileBlock = GlobalAlloc(GHND, std::size_t(size));
  if (!FileBlock) return kErrMemory;
  FileData = static_cast<BYTE*>(GlobalLock(FileBlock));
  if (!FileData) return kErrMemory;
  FileDataSize = std::size_t(size);
  return SeekTo(file, 0) && ReadExactly(file, FileData, FileDataSize) ? kOk : kErrShortRead;
}

int TTIF::InterpretFile() {
  ByteCursor header(FileData, FileDataSize);
  BYTE first = header.u8();
  BYTE second = header.u8();
  if (header.failed()) return kErrShortRead;
  if (first != second || (first != 'I' && first != 'M')) return kErrByteOrder;
  LittleEndian = first == 'I';
  WORD magic = Read16(header);
  if (header.failed()) return kErrShortRead;
  if (magic != kTiffMagic) return kErrSignature;
  DWORD ifd = Read32(header);
  if (header.failed()) return kErrShortRead;
  if (ifd == 0) return kErrSignature;

  ResetTags();
  int result = ReadIfd(ifd);
  if (result == kOk) result = CheckSupported();
  if (result == kOk) result = ChooseDepth();
  if (result != kOk) return result;
  if (Photometric == kPalette && ColorMap == 0) return kErrUnsupported;
  if (Width == 0 || Height == 0) return kErrZeroSize;
  ComputeResolution();
  Colors = ColorsForBitCount(WORD(BitCount));
  ComputeSizes();
  if (!SizesAreSane()) return kErrMemory;
  result = CheckColorMap();
  return result == kOk ? CheckStrips() : result;
}

void TTIF::ResetTags() {
  ImageWidth = ImageLength = 0;
  BitsPerSample = SamplesPerPixel = Compression = 1;
  Photometric = 0;
  RowsPerStrip = -1;
  StripOffsets = StripByteCounts = StripOffsetsCount = StripByteCountsCount = 0;
  StripOffsetsType = StripByteCountsType = 4;
  XResolution = YResolution = 0;
  ResolutionUnit = kInch;
  ColorMap = 0;
  FillOrder = PlanarConfiguration = Predictor = 1;
  ExtraSamples = TileWidth = TileLength = 0;
  IsGrey = 0;
}

int TTIF::ReadIfd(DWORD offset) {
  ByteCursor at = CursorAt(offset);
  WORD entries = Read16(at);
  for (WORD i = 0; i < entries && !at.failed(); ++i) {
    TIfdEntry entry;
    entry.Tag = Read16(at);
    entry.Type = Read16(at);
    entry.Count = Read32(at);
    entry.ValueField = at.position();
    at.skip(4);
    if (at.failed()) break;
    int result = ApplyEntry(entry);
    if (result != kOk) return result;
  }
  return at.failed() ? kErrShortRead : kOk;
}

bool TTIF::ApplyScalarEntry(const TIfdEntry& entry) {
  for (const ShortTag& rule : kShortTags) {
    if (rule.tag != entry.Tag) continue;
    this->*rule.member = ShortValue(entry);
    return true;
  }
  for (const ShortTag& rule : kShortOrLongTags) {
    if (rule.tag != entry.Tag) continue;
    this->*rule.member = ShortOrLongValue(entry);
    return true;
  }
  return false;
}

int TTIF::ApplyEntry(const TIfdEntry& entry) {
  if (ApplyScalarEntry(entry)) return kOk;
  // Strip arrays hold 16-bit entries when SHORT, 32-bit ones otherwise.
  unsigned elementSize = entry.Type == kTypeShort ? 2 : 4;
  switch (entry.Tag) {
    case kBitsPerSample: return ReadBitsPerSample(entry);
    case kRowsPerStrip: RowsPerStrip = LONG(ShortOrLongValue(entry)); return kOk;
    case kStripOffsets:
      StripOffsets = DWORD(entry.ArrayOffset(*this, elementSize));
      StripOffsetsCount = entry.Count;
      StripOffsetsType = entry.Type;
      return kOk;
    case kStripByteCounts:
      StripByteCounts = DWORD(entry.ArrayOffset(*this, elementSize));
      StripByteCountsCount = entry.Count;
      StripByteCountsType = entry.Type;
      return kOk;
    case kXResolution: return ReadRational(entry, XResolution);
    case kYResolution: return ReadRational(entry, YResolution);
    case kColorMap: ColorMap = LongValue(entry); return kOk;
    default: return kOk;  // every other tag is of no interest here
  }
}

// One value is the depth itself; with several (RGB), 8 stands for "8 bits in
// each of the first three samples" and anything else for an unusable depth.
int TTIF::ReadBitsPerSample(const TIfdEntry& entry) {
  if (entry.Count == 1) {
    BitsPerSample = ShortValue(entry);
    return kOk;
  }
  BitsPerSample = 0;
  if (entry.Count < 3) return kOk;
  ByteCursor at = CursorAt(entry.ArrayOffset(*this, 2));
  WORD red = Read16(at);
  WORD green = Read16(at);
  WORD blue = Read16(at);
  if (at.failed()) return kErrShortRead;
  if (red == 8 && green == 8 && blue == 8) BitsPerSample = 8;
  return kOk;
}

// A RATIONAL lives at the entry's offset; a zero denominator gives no value.
int TTIF::ReadRational(const TIfdEntry& entry, double& value) {
  ByteCursor at = CursorAt(LongValue(entry));
  DWORD numerator = Read32(at);
  DWORD denominator = Read32(at);
  if (at.failed()) return kErrShortRead;
  value = denominator ? double(numerator) / double(denominator) : 0;
  return kOk;
}

int TTIF::CheckSupported() const {
  bool supported = ExtraSamples == 0 && PlanarConfiguration == 1 && FillOrder == 1 &&
                   Compression != kCcittGroup3 && Compression != kCcittGroup4 &&
                   Compression != kOldJpeg && (Predictor == 1 || BitsPerSample == 8) &&
                   TileWidth == 0 && TileLength == 0 && StripOffsetsCount != 0 &&
                   RowsPerStrip != 0;
  return supported ? kOk : kErrUnsupported;
}

int TTIF::ChooseDepth() {
  DWORD depth = 0;
  bool oneSample = SamplesPerPixel == 1;
  switch (Photometric) {
    case kWhiteIsZero:
    case kBlackIsZero:
      IsGrey = 1;
      if (oneSample && (BitsPerSample == 1 || BitsPerSample == 4 || BitsPerSample == 8))
        depth = BitsPerSample;
      break;
    case kRgb:
      if (SamplesPerPixel == 3 && BitsPerSample == 8) depth = 24;
      break;
    case kPalette:
      if (oneSample && (BitsPerSample == 4 || BitsPerSample == 8)) depth = BitsPerSample;
      break;
    case kTransparencyMask:
    case kSeparated:
    case kYCbCr:
    case kCieLab: return kErrUnsupported;
    default: break;
  }
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return kErrNoDepth;
  Width = ImageWidth;
  Height = LONG(ImageLength);
  BitCount = depth;
  return kOk;
}

void TTIF::ComputeResolution() {
  if (ResolutionUnit == kCentimetre) {
    XPelsPerMeter = PelsPerMeter(XResolution);
    YPelsPerMeter = PelsPerMeter(YResolution);
  } else {
    // Inches, and for any other unit the values are taken as dots per inch.
    XPelsPerMeter = PelsFromInches(XResolution);
    YPelsPerMeter = PelsFromInches(YResolution);
  }
}

int TTIF::CheckColorMap() const {
  if (Photometric != kPalette) return kOk;
  ByteCursor at = CursorAt(ColorMap);
  at.skip(std::size_t(Colors) * 3 * 2);
  return at.failed() ? kErrShortRead : kOk;
}

int TTIF::ReadPalette(int, RGBQUAD* colourTable) {
  int count = Colors;
  if (IsGrey) {
    int step = BitCount == 8 ? 1 : BitCount == 4 ? 17 : 255;
    for (int i = 0; i < count; ++i) {
      int level = Photometric == kBlackIsZero ? i : count - 1 - i;
      BYTE grey = BYTE(step * level);
      colourTable[i] = RGBQUAD{grey, grey, grey, 0};
    }
    return kOk;
  }
  // All reds, then all greens, then all blues, 16 bits each; the high byte
  // is the 8-bit value.
  ByteCursor reds = CursorAt(ColorMap);
  ByteCursor greens = CursorAt(ColorMap + std::uint64_t(count) * 2);
  ByteCursor blues = CursorAt(ColorMap + std::uint64_t(count) * 4);
  for (int i = 0; i < count; ++i) {
    BYTE red = BYTE(Read16(reds) >> 8);
    BYTE green = BYTE(Read16(greens) >> 8);
    colourTable[i] = RGBQUAD{BYTE(Read16(blues) >> 8), green, red, 0};
  }
  return blues.failed() ? kErrShortRead : kOk;
}
