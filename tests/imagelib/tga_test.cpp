#include "imagelib/tga.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/core/lowio.h"
#include "tests/support/byte_writer.h"
#include "tests/support/test_support.h"

// stb_image follows the Targa rules for row order (ImageMagick does not), so
// it is the reference for the corpus. Its implementation is compiled here,
// static so that no other test program's copy can clash with it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wunused-function"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

namespace fs = std::filesystem;

// A Targa file put together field by field; pixels are the encoded data.
struct TgaFile {
  BYTE type = 2;
  BYTE depth = 24;
  WORD width = 3;
  WORD height = 3;
  BYTE descriptor = 0;
  BYTE mapType = 0;
  WORD mapFirst = 0;
  WORD mapLength = 0;
  BYTE mapEntrySize = 0;
  Bytes id;
  Bytes map;
  Bytes pixels;

  Bytes Build() const {
    Bytes b = {BYTE(id.size()), mapType, type};
    Append16(b, mapFirst);
    Append16(b, mapLength);
    b.push_back(mapEntrySize);
    Append32(b, 0);  // x and y origin
    Append16(b, width);
    Append16(b, height);
    b.insert(b.end(), {depth, descriptor});
    for (const Bytes* part : {&id, &map, &pixels}) b.insert(b.end(), part->begin(), part->end());
    return b;
  }
};

// The picture of every fixture, top row first: a colour (r, g, b; every
// channel a multiple of 8, so 16-bit files hold it exactly) or an index.
constexpr int kSide = 3;
const COLORREF kRed = RGB(248, 0, 0), kGreen = RGB(0, 248, 0), kBlue = RGB(0, 0, 248),
               kWhite = RGB(248, 248, 248), kBlack = RGB(0, 0, 0);
const COLORREF kColours[kSide][kSide] = {
    {kRed, kGreen, kBlue}, {kBlue, kBlue, kWhite}, {kBlack, kBlack, kBlack}};
const BYTE kIndices[kSide][kSide] = {{1, 2, 3}, {3, 3, 4}, {0, 0, 0}};
// The colour map that gives kIndices the colours of kColours, 24-bit entries.
const Bytes kMap = {0, 0, 0, 0, 0, 248, 0, 248, 0, 248, 0, 0, 248, 248, 248};

// One pixel value as the file stores it. 16 bits: 0x7FFF is white (248,
// 248, 248); bit 15, the attribute, is set on every other pixel and must not
// matter. 32 bits: the fourth byte is an attribute and must be dropped.
Bytes ValueOf(COLORREF c, BYTE depth, int x) {
  BYTE r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  if (depth == 16) {
    unsigned v = (r >> 3) << 10 | (g >> 3) << 5 | b >> 3 | (x % 2 ? 0x8000 : 0);
    return {BYTE(v), BYTE(v >> 8)};
  }
  if (depth == 24) return {b, g, r};
  return {b, g, r, 0x5A};
}

// The file's values in file order: bottom row first unless top-left origin.
std::vector<Bytes> FileOrder(BYTE depth, bool topDown) {
  std::vector<Bytes> values;
  for (int i = 0; i < kSide; ++i) {
    int y = topDown ? i : kSide - 1 - i;
    for (int x = 0; x < kSide; ++x)
      values.push_back(depth == 8 ? Bytes{kIndices[y][x]} : ValueOf(kColours[y][x], depth, x));
  }
  return values;
}

Bytes Raw(const std::vector<Bytes>& values) {
  Bytes out;
  for (const Bytes& v : values) out.insert(out.end(), v.begin(), v.end());
  return out;
}

// Greedy run-length encoding of the whole value stream, so packets run on
// across row ends (the fixture's picture makes both kinds of packet do so).
Bytes RunLength(const std::vector<Bytes>& values) {
  Bytes out;
  auto runAt = [&](std::size_t i) {
    std::size_t n = 1;
    while (i + n < values.size() && n < 128 && values[i + n] == values[i]) ++n;
    return n;
  };
  for (std::size_t i = 0; i < values.size();) {
    std::size_t run = runAt(i);
    if (run > 1) {
      out.push_back(BYTE(0x80 | (run - 1)));
      out.insert(out.end(), values[i].begin(), values[i].end());
      i += run;
      continue;
    }
    std::size_t end = i + 1;
    while (end < values.size() && end - i < 128 && runAt(end) == 1) ++end;
    out.push_back(BYTE(end - i - 1));
    for (; i < end; ++i) out.insert(out.end(), values[i].begin(), values[i].end());
  }
  return out;
}

bool IsRunLength(BYTE type) { return type >= 9; }

TgaFile PictureFile(BYTE type, BYTE depth, BYTE descriptor) {
  TgaFile f;
  f.type = type;
  f.depth = depth;
  f.descriptor = descriptor;
  std::vector<Bytes> values = FileOrder(depth, descriptor & 0x20);
  f.pixels = IsRunLength(type) ? RunLength(values) : Raw(values);
  if (type == 1 || type == 9) {
    f.mapType = 1;
    f.mapLength = 5;
    f.mapEntrySize = 24;
    f.map = kMap;
  }
  return f;
}

// The DIB the picture must become, bottom row first, rows padded to 4.
Bytes ExpectedBits(int bitCount) {
  Bytes bits;
  for (int y = kSide - 1; y >= 0; --y) {
    for (int x = 0; x < kSide; ++x) {
      COLORREF c = kColours[y][x];
      if (bitCount == 8) bits.push_back(kIndices[y][x]);
      else bits.insert(bits.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
    }
    bits.resize(bits.size() + RowStride(kSide, bitCount) - kSide * bitCount / 8, 0);
  }
  return bits;
}

Bytes BitsOf(const TTGA& codec) { return Bytes(codec.Bits, codec.Bits + codec.ImageSize); }

RGBQUAD Quad(COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; }

bool operator==(const RGBQUAD& a, const RGBQUAD& b) {
  return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
         a.rgbReserved == b.rgbReserved;
}

class TgaTest : public ::testing::Test {
 protected:
  void SetUp() override { liveBefore = GlobalLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(GlobalLiveBlocks(), liveBefore) << "a block leaked"; }

  int Load(TTGA& codec, const Bytes& file) {
    std::string path = dir.File("image.tga");
    WriteFileBytes(path, file);
    return codec.Load(path.c_str());
  }

  TempDir dir;
  std::size_t liveBefore = 0;
};

// Bottom-left origin, top-left origin, and top-left with the right-to-left
// bit and attribute bits, which are ignored.
const BYTE kDescriptors[] = {0x00, 0x20, 0x38};

TEST_F(TgaTest, TrueColourVariantsGiveTheSame24BitDib) {
  for (BYTE type : {2, 10})
    for (BYTE depth : {16, 24, 32})
      for (BYTE descriptor : kDescriptors) {
        SCOPED_TRACE(testing::Message() << "type " << int(type) << " depth " << int(depth)
                                        << " descriptor " << int(descriptor));
        TTGA codec;
        ASSERT_EQ(Load(codec, PictureFile(type, depth, descriptor).Build()), kOk);
        EXPECT_EQ(codec.BitCount, 24u);
        EXPECT_EQ(codec.Colors, 0);
        EXPECT_EQ(codec.Header->biClrUsed, 0u);
        EXPECT_EQ(BitsOf(codec), ExpectedBits(24));
      }
}

TEST_F(TgaTest, ColourMappedAndGreyVariantsGiveThe8BitDib) {
  for (BYTE type : {1, 9, 3, 11})
    for (BYTE descriptor : kDescriptors) {
      SCOPED_TRACE(testing::Message() << "type " << int(type) << " descriptor " << int(descriptor));
      TTGA codec;
      ASSERT_EQ(Load(codec, PictureFile(type, 8, descriptor).Build()), kOk);
      EXPECT_EQ(codec.BitCount, 8u);
      EXPECT_EQ(codec.Header->biClrUsed, 256u);
      EXPECT_EQ(BitsOf(codec), ExpectedBits(8));
      bool grey = type == 3 || type == 11;
      const COLORREF mapped[] = {kBlack, kRed, kGreen, kBlue, kWhite};
      for (int i = 0; i < 256; ++i) {
        RGBQUAD want = grey ? RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0}
                            : Quad(i < 5 ? mapped[i] : kBlack);
        ASSERT_TRUE(codec.Palette[i] == want) << i;
      }
    }
}

// Map entries land at their own index; those from 256 on are read past and
// never written beyond the 256-entry table.
TEST_F(TgaTest, ColourMapEntriesLandAtTheirIndex) {
  struct Case {
    WORD first;
    WORD length;
  } cases[] = {{10, 5}, {250, 10}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first);
    TgaFile f = PictureFile(1, 8, 0);
    f.mapFirst = c.first;
    f.mapLength = c.length;
    f.map.clear();
    for (int k = 0; k < c.length; ++k) f.map.insert(f.map.end(), {BYTE(k), BYTE(k + 100), 7});
    std::string path = dir.File("mapped.tga");
    WriteFileBytes(path, f.Build());
    TFileHandle file(_open(path.c_str(), _O_RDONLY));
    TTGA codec;
    ASSERT_EQ(codec.ReadHeader(file.Get(), nullptr), kOk);
    const RGBQUAD sentinel{0xAB, 0xAB, 0xAB, 0xAB};
    std::vector<RGBQUAD> table(256 + 8, sentinel);
    ASSERT_EQ(codec.ReadPalette(file.Get(), table.data()), kOk);
    for (int i = 0; i < 256 + 8; ++i) {
      int k = i - c.first;
      RGBQUAD want = i >= 256 ? sentinel
                     : k >= 0 && k < c.length ? RGBQUAD{BYTE(k), BYTE(k + 100), 7, 0}
                                              : RGBQUAD{0, 0, 0, 0};
      ASSERT_TRUE(table[i] == want) << i;
    }
    TTGA loaded;
    ASSERT_EQ(Load(loaded, f.Build()), kOk);
    EXPECT_EQ(BitsOf(loaded), ExpectedBits(8));  // the whole map was skipped
  }
}

TEST_F(TgaTest, ImageIdAndColourMapOfTrueColourFileAreSkipped) {
  TgaFile f = PictureFile(10, 24, 0);
  f.id = Bytes(7, 'i');
  f.mapType = 1;
  f.mapLength = 3;
  f.mapEntrySize = 15;  // two bytes per entry
  f.map = Bytes(6, 0xEE);
  TTGA codec;
  ASSERT_EQ(Load(codec, f.Build()), kOk);
  EXPECT_EQ(BitsOf(codec), ExpectedBits(24));
}

// A packet that runs on past the last pixel stops there: nothing is written
// beyond the picture and the values it would still carry are not wanted.
TEST_F(TgaTest, PacketPastTheLastPixelStopsThere) {
  struct Case {
    const char* name;
    Bytes pixels;
  } cases[] = {
      {"repeat of 128", {0xFF, 1, 2, 3}},
      {"raw of 6, file ends after 4", {0x05, 1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}},
  };
  for (const Case& c : cases)
    for (BYTE descriptor : {0x00, 0x20}) {
      SCOPED_TRACE(testing::Message() << c.name << ", descriptor " << int(descriptor));
      TgaFile f;
      f.type = 10;
      f.width = f.height = 2;
      f.descriptor = descriptor;
      f.pixels = c.pixels;
      TTGA codec;
      ASSERT_EQ(Load(codec, f.Build()), kOk);
      Bytes row = {1, 2, 3, 1, 2, 3, 0, 0};
      Bytes both = row;
      both.insert(both.end(), row.begin(), row.end());
      EXPECT_EQ(BitsOf(codec), both);
      // Going on past the top row of a top-down file would run into the header.
      EXPECT_EQ(codec.Header->biSize, 40u);
      EXPECT_EQ(codec.Header->biWidth, 2);
      EXPECT_EQ(codec.Header->biHeight, 2);
    }
}

TEST_F(TgaTest, HeadersOutsideTheReadVariantsAreRefused) {
  struct Case {
    const char* name;
    void (*change)(TgaFile&);
    int code;
  } cases[] = {
      {"no image data", [](TgaFile& f) { f.type = 0; }, 13},
      {"type 4", [](TgaFile& f) { f.type = 4; }, 13},
      {"type 12", [](TgaFile& f) { f.type = 12; }, 13},
      {"mapped at 16 bits", [](TgaFile& f) { f.type = 1, f.depth = 16; }, 12},
      {"map of 16-bit entries", [](TgaFile& f) { f.type = 1, f.depth = 8, f.mapEntrySize = 16; }, 14},
      {"map of 32-bit entries", [](TgaFile& f) { f.type = 9, f.depth = 8, f.mapEntrySize = 32; }, 14},
      {"true colour at 8 bits", [](TgaFile& f) { f.depth = 8; }, 12},
      {"true colour at 15 bits", [](TgaFile& f) { f.type = 10, f.depth = 15; }, 12},
      {"grey at 16 bits", [](TgaFile& f) { f.type = 3, f.depth = 16; }, 12},
      {"zero width", [](TgaFile& f) { f.width = 0; }, 6},
      {"zero height", [](TgaFile& f) { f.height = 0; }, 6},
      {"more pixels than bytes", [](TgaFile& f) { f.width = f.height = 65535; }, 7},
      {"more run-length pixels than bytes", [](TgaFile& f) { f.type = 10, f.width = 65535; }, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TgaFile f = PictureFile(2, 24, 0);
    c.change(f);
    TTGA codec;
    EXPECT_EQ(Load(codec, f.Build()), c.code);
    EXPECT_EQ(codec.Handle, nullptr);  // refused before anything was allocated
  }
}

// Every cut through a file, including inside the header, the image ID, the
// colour map and a packet, gives 7 and leaves nothing allocated behind.
TEST_F(TgaTest, EveryPrefixGivesShortRead) {
  TgaFile mapped = PictureFile(9, 8, 0x20);
  mapped.id = Bytes(3, 'i');
  const Bytes files[] = {mapped.Build(), PictureFile(10, 24, 0).Build(),
                         PictureFile(2, 32, 0x20).Build(), PictureFile(10, 16, 0).Build()};
  for (const Bytes& file : files)
    for (std::size_t n = 0; n < file.size(); ++n) {
      TTGA codec;
      ASSERT_EQ(Load(codec, Bytes(file.begin(), file.begin() + long(n))), kErrShortRead) << n;
    }
}

TEST_F(TgaTest, WriteDibWritesNothing) {
  TTGA codec;
  EXPECT_EQ(codec.WriteDIB(-1, nullptr), kOk);
}

// Corpus files the codec refuses, and why (code).
const std::map<std::string, int> kRefused = {
    {"image-rs/b5-cmap.tga", 14},               // 15-bit colour map
    {"pillow/p_16.tga", 14},                    // 16-bit colour map
    {"truevision/ccm8.tga", 14},                // 16-bit colour map
    {"truevision/ucm8.tga", 14},                // 16-bit colour map
    {"pillow/200x32_la_bl_raw.tga", 12},        // grey with alpha, 16 bits
    {"pillow/200x32_la_tl_rle.tga", 12},        // grey with alpha, 16 bits
    {"pillow/la.tga", 12},                      // grey with alpha, 16 bits
    {"unsupported/gbm_g01bw_1bpp.tga", 12},     // 1-bit grey
    {"unsupported/gbm_interlace.tga", 14},      // interleaved rows
    {"bad/image-rs/bad-color-map.tga", 12},
    {"bad/image-rs/flip-zero-height.tga", 13},
    {"bad/image-rs/orientation-zero-width.tga", 13},
    {"bad/image-rs/overfull-image.tga", 14},     // interleave bits set (and cut short)
    {"bad/image-rs/sixteen-bit-gray-colormap2.tga", 12},
    {"bad/image-rs/slice-copy-length.tga", 7},
    {"bad/oiio/crash-20250423.tga", 12},
    {"bad/oiio/crash-bomb-65535.tga", 7},        // 12 GB claimed, 18 bytes given
    {"bad/oiio/crash1.tga", 7},
    {"bad/oiio/crash2.tga", 12},
    {"bad/oiio/crash3.tga", 12},
    {"bad/oiio/crash3952.tga", 7},
    {"bad/oiio/crash4.tga", 12},
    {"bad/oiio/crash6.tga", 7},
    {"bad/pillow/cross_scan_line_truncated.tga", 7},
    {"bad/pillow/p_8.tga", 14},
};

// Files stb_image cannot stand for: it refuses a true-colour file with a
// colour map (the same picture without one is compared instead), and it
// indexes a map from 0 after skipping MapFirst bytes, where the Targa format
// numbers the entries from MapFirst (the fixtures above cover that).
const std::map<std::string, std::string> kReferenceFor = {
    {"image-rs/b5-unused-cmap.tga", "image-rs/b5-noattrib.tga"},
    {"image-rs/cmap_offset.tga", ""},
};

// Our pixel (x, y from the top) as red, green, blue.
Bytes RgbAt(const TTGA& codec, int x, int y) {
  const BYTE* p = codec.Bits + std::size_t(codec.Height - 1 - y) * RowStride(codec.Width, codec.BitCount) +
                  std::size_t(x) * codec.BitCount / 8;
  if (codec.BitCount == 8) {
    const RGBQUAD& q = codec.Palette[*p];
    return {q.rgbRed, q.rgbGreen, q.rgbBlue};
  }
  return {p[2], p[1], p[0]};
}

void ExpectSameAsStb(const TTGA& codec, const std::string& reference, const std::string& name) {
  int w = 0, h = 0, channels = 0;
  stbi_uc* rgb = stbi_load(reference.c_str(), &w, &h, &channels, 3);
  ASSERT_NE(rgb, nullptr) << name << ": " << stbi_failure_reason();
  EXPECT_EQ(DWORD(w), codec.Width) << name;
  EXPECT_EQ(h, codec.Height) << name;
  for (int y = 0; y < h && !testing::Test::HasFailure(); ++y)
    for (int x = 0; x < w; ++x) {
      Bytes want(rgb + (std::size_t(y) * w + x) * 3, rgb + (std::size_t(y) * w + x) * 3 + 3);
      // stb widens 5-bit channels to 0..255; ours keep them in the top bits.
      if (codec.PixelDepth == 16)
        for (BYTE& v : want) v = BYTE(((v * 31 + 127) / 255) << 3);
      ASSERT_EQ(RgbAt(codec, x, y), want) << name << " at " << x << "," << y;
    }
  stbi_image_free(rgb);
}

// Every corpus file, bad/ and unsupported/ included: the refusals are exactly
// the list above, with their codes; everything else matches stb_image. One
// file from bad/ is read: oiio/crash1707.tga is a sound grey image (its
// crash was in another reader's footer handling).
TEST_F(TgaTest, CorpusMatchesStbImageOrIsRefusedWithItsCode) {
  SKIP_WITHOUT_CORPUS();
  fs::path root = fs::path(CorpusDir()) / "tga";
  int compared = 0;
  for (const fs::path& file : FilesUnder(root)) {
    std::string name = fs::relative(file, root).string();
    TTGA codec;
    int code = codec.Load(file.c_str());
    auto refused = kRefused.find(name);
    EXPECT_EQ(code, refused == kRefused.end() ? kOk : refused->second) << name;
    if (code != kOk) continue;
    auto reference = kReferenceFor.find(name);
    if (reference != kReferenceFor.end() && reference->second.empty()) continue;
    fs::path stbFile = reference == kReferenceFor.end() ? file : root / reference->second;
    ExpectSameAsStb(codec, stbFile, name);
    ++compared;
  }
  EXPECT_GE(compared, 55);
}

}  // namespace
