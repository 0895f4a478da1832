#include "imagelib/pcx.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/core/lowio.h"
#include "tests/support/byte_writer.h"
#include "tests/support/imagemagick.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// Header fields of a fixture file; the rest of the 128 bytes is the 16-colour
// palette (never black and white) and zeros.
struct PcxHeader {
  BYTE bitsPerPlane = 8;
  BYTE planes = 1;
  WORD width = 1;
  WORD height = 1;
  WORD bytesPerLine = 0;  // 0: the width rounded up to an even byte count
  BYTE manufacturer = 10;
  BYTE version = 5;
  BYTE encoding = 1;
  WORD xMin = 0;
  WORD yMin = 0;
};

WORD EvenLineBytes(const PcxHeader& h) {
  WORD bytes = WORD((h.width * h.bitsPerPlane + 7) / 8);
  return WORD(bytes + bytes % 2);
}

COLORREF HeaderColour(int i) { return RGB(BYTE(i * 16), BYTE(255 - i * 16), BYTE(i * 5)); }
COLORREF EndColour(int i) { return RGB(BYTE(i), BYTE(255 - i), BYTE(i ^ 0x5A)); }

Bytes MakeHeader(PcxHeader h) {
  if (h.bytesPerLine == 0) h.bytesPerLine = EvenLineBytes(h);
  Bytes b(128, 0);
  b[0] = h.manufacturer;
  b[1] = h.version;
  b[2] = h.encoding;
  b[3] = h.bitsPerPlane;
  Put16(b, 4, h.xMin);
  Put16(b, 6, h.yMin);
  Put16(b, 8, WORD(h.xMin + h.width - 1));
  Put16(b, 10, WORD(h.yMin + h.height - 1));
  for (int i = 0; i < 16; ++i) {
    b[16 + 3 * i] = GetRValue(HeaderColour(i));
    b[17 + 3 * i] = GetGValue(HeaderColour(i));
    b[18 + 3 * i] = GetBValue(HeaderColour(i));
  }
  b[65] = h.planes;
  Put16(b, 66, h.bytesPerLine);
  return b;
}

void AppendEndPalette(Bytes& file, BYTE marker = 12) {
  file.push_back(marker);
  for (int i = 0; i < 256; ++i)
    for (BYTE c : {GetRValue(EndColour(i)), GetGValue(EndColour(i)), GetBValue(EndColour(i))})
      file.push_back(c);
}

// Run-length codes one plane line the way PCX writers do: runs of up to 63,
// bytes 0xC0 and above always as a run.
Bytes Rle(const Bytes& raw) {
  Bytes out;
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t n = 1;
    while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
    if (n > 1 || raw[i] >= 0xC0) out.push_back(BYTE(0xC0 | n));
    out.push_back(raw[i]);
    i += n;
  }
  return out;
}

// The fixture picture: a colour-table index (or a COLORREF for true colour)
// per pixel, with a flat left part so that the lines carry runs.
std::uint32_t Picture(int x, int y, int colours) {
  if (colours == 0)
    return x < 6 ? RGB(200, 10, BYTE(y * 40)) : RGB(BYTE(x * 19), BYTE(y * 41), BYTE(x + y * 13));
  return x < 6 ? std::uint32_t(y % colours) : std::uint32_t((x * 7 + y * 3) % colours);
}

// The plane lines of picture row y in the file's layout; pixels beyond the
// header's bytes per line are left out.
std::vector<Bytes> PlaneLines(const PcxHeader& h, int y, int colours) {
  WORD bpl = h.bytesPerLine ? h.bytesPerLine : EvenLineBytes(h);
  std::vector<Bytes> lines(h.planes, Bytes(bpl, 0));
  int perByte = 8 / h.bitsPerPlane;
  for (int x = 0; x < h.width && x / perByte < bpl; ++x) {
    std::uint32_t v = Picture(x, y, colours);
    for (int p = 0; p < h.planes; ++p) {
      BYTE& at = lines[p][std::size_t(x / perByte)];
      if (h.bitsPerPlane == 8) {
        at = h.planes == 3 ? BYTE(v >> (8 * p)) : BYTE(v);  // red, green, blue
      } else {
        std::uint32_t bits = h.planes == 4 ? (v >> p) & 1 : v;
        at |= BYTE(bits << (8 - h.bitsPerPlane * (x % perByte + 1)));
      }
    }
  }
  return lines;
}

// A complete file of the fixture picture, each plane line coded on its own.
Bytes MakePcx(const PcxHeader& h, int colours) {
  Bytes file = MakeHeader(h);
  for (int y = 0; y < h.height; ++y)
    for (const Bytes& line : PlaneLines(h, y, colours))
      for (BYTE b : Rle(line)) file.push_back(b);
  if (h.bitsPerPlane == 8 && h.planes == 1) AppendEndPalette(file);
  return file;
}

// Pixel (x, y), y from the top: an index, or a COLORREF at 24 bits.
std::uint32_t DibPixel(const TBitmap_Base& dib, DWORD x, LONG y) {
  const BYTE* row = dib.Bits + std::size_t(dib.Height - 1 - y) * RowStride(dib.Width, dib.BitCount);
  switch (dib.BitCount) {
    case 1:
      return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
      return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    case 8:
      return row[x];
    default:
      return RGB(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
}

COLORREF TableColour(const TBitmap_Base& dib, int i) {
  const RGBQUAD& q = dib.Palette[i];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

COLORREF DibColour(const TBitmap_Base& dib, DWORD x, LONG y) {
  std::uint32_t v = DibPixel(dib, x, y);
  return dib.BitCount == 24 ? v : TableColour(dib, int(v));
}

class PcxTest : public testing::Test {
 protected:
  // Loads the bytes through an in-memory file.
  int Load(const Bytes& file, const char* options = nullptr) {
    TFileHandle fd(memfd_create("pcx", 0));
    EXPECT_EQ(_write(fd.Get(), file.data(), file.size()), long(file.size()));
    _lseek(fd.Get(), 0, SEEK_SET);
    return Codec.LoadFromHandle(fd.Get(), options);
  }
  Bytes PixelBytes() const { return Bytes(Codec.Bits, Codec.Bits + Codec.ImageSize); }

  TempDir Dir;
  TPCX Codec;
};

struct LayoutCase {
  const char* name;
  BYTE bitsPerPlane;
  BYTE planes;
  DWORD bitCount;
  int colours;  // of the picture; 0 for true colour
};

class PcxLayoutTest : public PcxTest, public testing::WithParamInterface<LayoutCase> {};

TEST_P(PcxLayoutTest, DecodesPixelsAndColourTable) {
  const LayoutCase& c = GetParam();
  for (WORD width : {1, 8, 13, 70}) {
    SCOPED_TRACE(width);
    PcxHeader h{c.bitsPerPlane, c.planes, width, 5};
    ASSERT_EQ(Load(MakePcx(h, c.colours)), kOk);
    EXPECT_EQ(Codec.Width, width);
    EXPECT_EQ(Codec.Height, 5);
    EXPECT_EQ(Codec.BitCount, c.bitCount);
    EXPECT_EQ(Codec.Colors, c.bitCount == 24 ? 0 : 1 << c.bitCount);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(DibPixel(Codec, x, y), Picture(x, y, c.colours)) << x << "," << y;
    if (c.bitCount == 1) {  // whatever the header palette says
      EXPECT_EQ(TableColour(Codec, 0), RGB(0, 0, 0));
      EXPECT_EQ(TableColour(Codec, 1), RGB(255, 255, 255));
      EXPECT_EQ(Codec.Palette[1].rgbReserved, 0);
    }
    for (int i = 0; i < Codec.Colors && c.bitCount != 1; ++i)
      ASSERT_EQ(TableColour(Codec, i), c.bitCount == 4 ? HeaderColour(i) : EndColour(i)) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PcxLayoutTest,
                         testing::Values(LayoutCase{"Mono", 1, 1, 1, 2},
                                         LayoutCase{"FourPlanes", 1, 4, 4, 16},
                                         LayoutCase{"PackedNibbles", 4, 1, 4, 16},
                                         LayoutCase{"Palette256", 8, 1, 8, 256},
                                         LayoutCase{"TrueColour", 8, 3, 24, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PcxTest, RefusesHeadersItCannotRead) {
  struct Case {
    const char* what;
    PcxHeader header;
    int code;
  } cases[] = {
      {"manufacturer 11", {.manufacturer = 11}, kErrSignature},
      {"version 4", {.version = 4}, kErrVariant},
      {"version 6", {.version = 6}, kErrVariant},
      {"encoding 0", {.encoding = 0}, kErrBitCount},
      {"2 bits in one plane", {.bitsPerPlane = 2, .planes = 1}, 14},
      {"1 bit in two planes", {.bitsPerPlane = 1, .planes = 2}, 14},
      {"8 bits in four planes", {.bitsPerPlane = 8, .planes = 4}, 14},
      {"4 bits in four planes", {.bitsPerPlane = 4, .planes = 4}, 14},
      {"xmax one below xmin", {.width = 0, .xMin = 5}, kErrZeroSize},
      {"xmax two below xmin", {.width = 0xFFFF, .xMin = 5}, kErrZeroSize},
      {"ymax one below ymin", {.height = 0, .yMin = 5}, kErrZeroSize},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = MakeHeader(c.header);
    AppendEndPalette(file);
    EXPECT_EQ(Load(file), c.code);
  }
  Bytes cut = MakeHeader({});
  cut.resize(69);
  EXPECT_EQ(Load(cut), kErrShortRead);
}

TEST_F(PcxTest, AcceptsOlderVersionsAndTakesWidthFromTheWindow) {
  for (BYTE version : {0, 2, 3, 5}) {
    PcxHeader h{.bitsPerPlane = 1,
                .planes = 4,
                .width = 10,
                .height = 3,
                .version = version,
                .xMin = 10,
                .yMin = 7};
    ASSERT_EQ(Load(MakePcx(h, 16)), kOk) << int(version);
    EXPECT_EQ(Codec.Width, 10u);  // xmin 10, xmax 19
    EXPECT_EQ(Codec.Height, 3);
  }
}

TEST_F(PcxTest, EightBitFileNeedsTheEndPalette) {
  PcxHeader h{.width = 4, .height = 2};
  Bytes file = MakePcx(h, 256);
  file[file.size() - 769] = 13;
  EXPECT_EQ(Load(file), kErrCompression);
  file.resize(file.size() - 769);  // no palette at all, and shorter than one
  ASSERT_LT(file.size(), 769u);
  EXPECT_EQ(Load(file), kErrCompression);
}

// 8-bit picture of 4 x 2 whose first line ends inside a run of six 7s.
Bytes RunAcrossLines() {
  Bytes file = MakeHeader({.width = 4, .height = 2, .bytesPerLine = 4});
  for (BYTE b : {0xC6, 7, 1, 2, 3, 4, 5, 6}) file.push_back(b);
  AppendEndPalette(file);
  return file;
}

TEST_F(PcxTest, RunContinuesIntoTheNextLineUnlessTruncated) {
  struct Case {
    const char* options;
    Bytes top, bottom;
  } cases[] = {
      {nullptr, {7, 7, 7, 7}, {7, 7, 1, 2}},
      {"trunc", {7, 7, 7, 7}, {1, 2, 3, 4}},
      {"x, TRUNC", {7, 7, 7, 7}, {1, 2, 3, 4}},
      {"truncate", {7, 7, 7, 7}, {7, 7, 1, 2}},  // only the whole word counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options ? c.options : "no options");
    ASSERT_EQ(Load(RunAcrossLines(), c.options), kOk);
    EXPECT_EQ(Codec.Truncate, c.options && std::string(c.options) != "truncate" ? 1 : 0);
    EXPECT_EQ(Bytes(Codec.Bits + 4, Codec.Bits + 8), c.top);
    EXPECT_EQ(Bytes(Codec.Bits, Codec.Bits + 4), c.bottom);
  }
}

TEST_F(PcxTest, RunOfCountZeroWritesNothingAndConsumesItsValue) {
  Bytes file = MakeHeader({.width = 4, .height = 1, .bytesPerLine = 4});
  for (BYTE b : {0xC0, 9, 1, 0xC0, 0xC5, 2, 3, 4}) file.push_back(b);
  AppendEndPalette(file);
  ASSERT_EQ(Load(file), kOk);
  EXPECT_EQ(PixelBytes(), (Bytes{1, 2, 3, 4}));
}

TEST_F(PcxTest, LongScanLinesNeverSpillIntoOtherRows) {
  // 3 pixels in rows of 4 bytes, 9 bytes per line in the file; the extra
  // bytes of each line are 0xEE.
  for (auto [bitsPerPlane, width] : {std::pair<BYTE, WORD>{8, 3}, {1, 20}, {4, 5}}) {
    SCOPED_TRACE(int(bitsPerPlane));
    PcxHeader h{.bitsPerPlane = bitsPerPlane, .width = width, .height = 3, .bytesPerLine = 9};
    Bytes file = MakeHeader(h);
    int colours = 1 << bitsPerPlane;
    for (int y = 0; y < 3; ++y) {
      Bytes line = PlaneLines(h, y, colours)[0];
      std::fill(line.begin() + EvenLineBytes(h), line.end(), 0xEE);
      for (BYTE b : Rle(line)) file.push_back(b);
    }
    if (bitsPerPlane == 8) AppendEndPalette(file);
    ASSERT_EQ(Load(file), kOk);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < width; ++x) ASSERT_EQ(DibPixel(Codec, x, y), Picture(x, y, colours));
  }
}

TEST_F(PcxTest, ShortPlanarLinesLeaveTheMissingPixelsZero) {
  // True colour 5 wide with 3 bytes per plane line: columns 3 and 4 get
  // nothing from the file. Four planes 20 wide with 2 bytes: columns 16 to 19.
  struct Case {
    PcxHeader header;
    int colours;
    int firstMissing;
  } cases[] = {
      {{.bitsPerPlane = 8, .planes = 3, .width = 5, .height = 2, .bytesPerLine = 3}, 0, 3},
      {{.bitsPerPlane = 1, .planes = 4, .width = 20, .height = 2, .bytesPerLine = 2}, 16, 16},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Load(MakePcx(c.header, c.colours)), kOk);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < c.header.width; ++x)
        ASSERT_EQ(DibPixel(Codec, x, y), x < c.firstMissing ? Picture(x, y, c.colours) : 0u)
            << x << "," << y;
  }
}

TEST_F(PcxTest, FileEndingInThePixelDataFillsWith255) {
  PcxHeader h{.bitsPerPlane = 8, .planes = 3, .width = 13, .height = 4};
  ASSERT_EQ(Load(MakeHeader(h)), kOk);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 13; ++x) ASSERT_EQ(DibPixel(Codec, x, y), RGB(255, 255, 255));
}

// Every prefix of a valid file loads cleanly: a short header is refused, a
// cut in the pixel data leaves 255 where the data are missing.
TEST_F(PcxTest, EveryPrefixLoadsCleanly) {
  for (PcxHeader h : {PcxHeader{.bitsPerPlane = 8, .planes = 3, .width = 13, .height = 4},
                      PcxHeader{.bitsPerPlane = 1, .planes = 1, .width = 21, .height = 4},
                      PcxHeader{.bitsPerPlane = 1, .planes = 4, .width = 13, .height = 4},
                      PcxHeader{.bitsPerPlane = 8, .planes = 1, .width = 13, .height = 4}}) {
    bool endPalette = h.bitsPerPlane == 8 && h.planes == 1;
    Bytes full = MakePcx(h, h.planes == 3 ? 0 : 1 << (h.bitsPerPlane * h.planes));
    ASSERT_EQ(Load(full), kOk);
    Bytes complete = PixelBytes();
    for (std::size_t n = 0; n < full.size(); ++n) {
      SCOPED_TRACE(n);
      int code = Load(Bytes(full.begin(), full.begin() + std::ptrdiff_t(n)));
      if (n < 70) {
        ASSERT_EQ(code, kErrShortRead);
      } else if (endPalette) {
        // Refused, unless a pixel or palette byte 12 happens to sit where
        // the marker is looked for.
        ASSERT_TRUE(code == kErrCompression || code == kOk) << code;
      } else {
        ASSERT_EQ(code, kOk);
        Bytes got = PixelBytes();
        for (std::size_t i = 0; i < got.size() && h.planes != 4; ++i)
          ASSERT_TRUE(got[i] == complete[i] || got[i] == 0xFF) << i;
      }
    }
  }
}

TEST_F(PcxTest, WriteDIBWritesNothing) {
  ASSERT_EQ(Load(MakePcx({.width = 3, .height = 2}, 256)), kOk);
  WriteFileBytes(Dir.File("out.pcx"), {});
  TFileHandle out(_open(Dir.File("out.pcx").c_str(), _O_WRONLY | _O_BINARY));
  EXPECT_EQ(Codec.WriteDIB(out.Get(), Codec.Handle), kOk);
  EXPECT_EQ(_filelength(out.Get()), 0);
}

// --- Sample files written by other programs ---

int LoadPath(TPCX& codec, const fs::path& path) { return codec.Load(path.string().c_str()); }

// The files the reader refuses, and why.
const std::map<std::string, int> kRefused = {
    {"01r_00.pcx", kErrCompression},  // 256 colours without an end palette
};

TEST_F(PcxTest, DecodesSampleFilesLikeImageMagick) {
  SKIP_WITHOUT_CORPUS();
  if (!HaveImageMagick()) GTEST_SKIP() << "no ImageMagick convert";
  fs::path root = fs::path(CorpusDir()) / "pcx";
  int compared = 0;
  for (const fs::path& path : FilesUnder(root, {".pcx"})) {
    std::string group = fs::relative(path, root).begin()->string();
    if (group == "bad" || group == "unsupported") continue;
    SCOPED_TRACE(path.string());
    auto refused = kRefused.find(path.filename().string());
    if (refused != kRefused.end()) {
      EXPECT_EQ(LoadPath(Codec, path), refused->second);
      continue;
    }
    ASSERT_EQ(LoadPath(Codec, path), kOk);
    Bytes expected = ImageMagickPixels(path.string());
    ASSERT_EQ(expected.size(), std::size_t(Codec.Width) * Codec.Height * 3);
    // ImageMagick colours 1-bit files from their header palette; here they
    // are black and white, so only the split into two colours must agree.
    std::map<COLORREF, COLORREF> monoMap;
    for (LONG y = 0; y < Codec.Height; ++y)
      for (DWORD x = 0; x < Codec.Width; ++x) {
        const BYTE* p = &expected[(std::size_t(y) * Codec.Width + x) * 3];
        COLORREF theirs = RGB(p[0], p[1], p[2]), ours = DibColour(Codec, x, y);
        if (Codec.BitCount == 1) {
          ASSERT_EQ(monoMap.emplace(ours, theirs).first->second, theirs) << x << "," << y;
          continue;
        }
        ASSERT_EQ(ours, theirs) << x << "," << y;
      }
    if (monoMap.size() == 2) {
      EXPECT_NE(monoMap[RGB(0, 0, 0)], monoMap[RGB(255, 255, 255)]);
    }
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST_F(PcxTest, RefusesBadAndUnsupportedSampleFilesCleanly) {
  SKIP_WITHOUT_CORPUS();
  const std::map<std::string, int> expected = {
      {"logo_8bit_truncated.pcx", kErrCompression},
      {"rose_24bit_bpl_too_small.pcx", kOk},  // short plane lines read as 0
      {"rose_encoding0.pcx", kErrBitCount},
      {"rose_manufacturer11.pcx", kErrSignature},
      {"rose_version4.pcx", kErrVariant},
      {"rose_version6.pcx", kErrVariant},
      {"ossfuzz-4836216264589312.pcx", kErrBitCount},
      {"agon_4col_generated_image_2bpp.pcx", 14},
      {"generated_ppmtopcx_4col_2planes.pcx", 14},
      {"generated_ppmtopcx_4col_packed_2bit.pcx", 14},
  };
  fs::path root = fs::path(CorpusDir()) / "pcx";
  std::vector<fs::path> files = FilesUnder(root / "bad", {".pcx"});
  for (const fs::path& p : FilesUnder(root / "unsupported", {".pcx"})) files.push_back(p);
  for (const fs::path& path : files) {
    SCOPED_TRACE(path.string());
    int code = LoadPath(Codec, path);
    auto known = expected.find(path.filename().string());
    if (known != expected.end()) {
      EXPECT_EQ(code, known->second);
    }
  }
}

}  // namespace
