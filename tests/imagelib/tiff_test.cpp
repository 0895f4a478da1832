#include "imagelib/tiff.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "tests/support/imagemagick.h"
#include "tests/support/test_support.h"
#include "tests/support/tiff_builder.h"

namespace fs = std::filesystem;

namespace {
constexpr int kUnsupported = TTIF::kErrUnsupported;
constexpr int kNoDepth = TTIF::kErrNoDepth;

// Loads the bytes through a real file, as the loader hands one over.
int LoadTiff(TTIF& tif, const Bytes& file) {
  static const TempDir dir;
  WriteFileBytes(dir.File("t.tif"), file);
  return tif.Load(dir.File("t.tif").c_str());
}

// Bytes with runs and changes, so that every encoder has work to do.
Bytes Pattern(std::size_t size, int seed) {
  Bytes out(size);
  for (std::size_t i = 0; i < size; ++i)
    out[i] = std::uint8_t((i / 5) % 3 == 0 ? seed : (i * 37 + std::size_t(seed) * 11) >> 2);
  return out;
}

std::vector<std::uint16_t> RampColorMap(int entries) {
  std::vector<std::uint16_t> map;
  for (int channel = 0; channel < 3; ++channel)
    for (int i = 0; i < entries; ++i)
      map.push_back(std::uint16_t((i * 53 + channel * 90) % 256 * 257));
  return map;
}

// A small valid picture for the tests that change one thing in it.
TiffShape GreyShape(std::uint32_t width = 4, std::uint32_t height = 2) {
  TiffShape shape;
  shape.width = width;
  shape.height = height;
  shape.rows = Pattern(std::size_t(width) * height, 3);
  return shape;
}

TiffShape PaletteShape() {
  TiffShape shape = GreyShape();
  shape.photometric = 3;
  shape.colorMap = RampColorMap(256);
  return shape;
}

// The DIB must hold the file's rows bottom-up (RGB as blue, green, red) with
// zero padding.
void ExpectRowsOf(const TTIF& tif, const TiffShape& shape, const std::string& what) {
  std::size_t rowBytes = TiffRowBytes(shape);
  std::size_t stride = RowStride(shape.width, tif.BitCount);
  for (std::uint32_t y = 0; y < shape.height; ++y) {
    const BYTE* row = tif.Bits + (shape.height - 1 - y) * stride;
    Bytes expected(shape.rows.begin() + long(y * rowBytes),
                   shape.rows.begin() + long((y + 1) * rowBytes));
    if (tif.BitCount == 24)
      for (std::size_t x = 0; x + 2 < rowBytes; x += 3) std::swap(expected[x], expected[x + 2]);
    expected.resize(stride, 0);
    ASSERT_EQ(Bytes(row, row + stride), expected) << what << " row " << y;
  }
}

struct Layout {
  const char* name;
  std::uint16_t photometric;
  std::vector<std::uint16_t> bitsPerSample;
  std::uint16_t compression;
  std::uint16_t predictor;
  std::uint32_t rowsPerStrip;  // 0: no tag
  std::uint32_t width;
  std::uint32_t height;
};

const Layout kLayouts[] = {
    {"bilevel WhiteIsZero, strips of 2 rows", 0, {1}, 1, 1, 2, 13, 7},
    {"bilevel BlackIsZero, PackBits", 1, {1}, 32773, 1, 3, 17, 5},
    {"grey 4 bits, LZW, no RowsPerStrip", 1, {4}, 5, 1, 0, 9, 6},
    {"grey 4 bits WhiteIsZero, uncompressed", 0, {4}, 1, 1, 4, 7, 4},
    {"grey 8 bits, LZW, differencing", 1, {8}, 5, 2, 3, 11, 7},
    {"grey 8 bits, PackBits, differencing", 1, {8}, 32773, 2, 0, 10, 3},
    {"palette 4 bits, PackBits", 3, {4}, 32773, 1, 2, 9, 5},
    {"palette 8 bits, LZW, strips of 1 row", 3, {8}, 5, 1, 1, 6, 4},
    {"RGB, uncompressed, strips of 2 rows", 2, {8, 8, 8}, 1, 1, 2, 5, 5},
    {"RGB, LZW, differencing", 2, {8, 8, 8}, 5, 2, 4, 9, 9},
    {"RGB, PackBits", 2, {8, 8, 8}, 32773, 1, 0, 6, 3},
    {"RGB, LZW over many strips", 2, {8, 8, 8}, 5, 1, 7, 40, 30},
    {"grey 8 bits, RowsPerStrip beyond the height", 1, {8}, 5, 1, 100000, 5, 3},
    {"grey 8 bits, RowsPerStrip 2^32 - 1", 1, {8}, 32773, 1, 0xFFFFFFFF, 5, 3},
};

TEST(TiffRead, EveryLayoutInBothByteOrders) {
  for (const Layout& layout : kLayouts) {
    for (bool bigEndian : {false, true}) {
      std::string what = std::string(layout.name) + (bigEndian ? " MM" : " II");
      TiffShape shape;
      shape.bigEndian = bigEndian;
      shape.width = layout.width;
      shape.height = layout.height;
      shape.photometric = layout.photometric;
      shape.bitsPerSample = layout.bitsPerSample;
      shape.compression = layout.compression;
      shape.predictor = layout.predictor;
      shape.rowsPerStrip = layout.rowsPerStrip;
      shape.rows = Pattern(TiffRowBytes(shape) * layout.height, 7);
      if (layout.photometric == 3) shape.colorMap = RampColorMap(1 << layout.bitsPerSample[0]);

      TTIF tif;
      ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk) << what;
      EXPECT_EQ(tif.Header->biWidth, LONG(layout.width)) << what;
      EXPECT_EQ(tif.Header->biHeight, LONG(layout.height)) << what;
      EXPECT_EQ(tif.Header->biBitCount,
                layout.bitsPerSample.size() == 3 ? 24 : layout.bitsPerSample[0]);
      EXPECT_EQ(tif.FileData, nullptr) << what << ": the file copy outlives the read";
      ExpectRowsOf(tif, shape, what);
      for (int i = 0; layout.photometric == 3 && i < tif.Colors; ++i)
        ASSERT_EQ(tif.Palette[i].rgbRed, shape.colorMap[std::size_t(i)] >> 8) << what;
    }
  }
}

TEST(TiffRead, StripArraysInTheEntryItself) {
  // One strip: offset and count sit in the entries' value fields. Two SHORT
  // strips: both offsets fit there too, as TIFF stores arrays of 4 bytes.
  for (std::uint32_t rowsPerStrip : {0u, 1u}) {
    TiffShape shape = GreyShape();
    shape.stripArrayType = 3;
    shape.rowsPerStrip = rowsPerStrip;
    TTIF tif;
    ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk) << rowsPerStrip;
    ExpectRowsOf(tif, shape, "SHORT strip arrays");
  }
}

TEST(TiffRead, GreyRampsAndColourMaps) {
  struct Case {
    std::uint16_t photometric;
    std::uint16_t bits;
    std::vector<BYTE> firstLevels;
  };
  const Case cases[] = {
      {0, 1, {255, 0}},
      {1, 1, {0, 255}},
      {1, 4, {0, 17, 34}},
      {0, 4, {255, 238, 221}},
      {1, 8, {0, 1, 2}},
  };
  for (const Case& c : cases) {
    TiffShape shape = GreyShape();
    shape.photometric = c.photometric;
    shape.bitsPerSample = {c.bits};
    shape.rows = Pattern(TiffRowBytes(shape) * shape.height, 1);
    TTIF tif;
    ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk);
    ASSERT_EQ(tif.Colors, 1 << c.bits);
    for (std::size_t i = 0; i < c.firstLevels.size(); ++i) {
      const RGBQUAD& q = tif.Palette[i];
      EXPECT_EQ(q.rgbRed, c.firstLevels[i]) << c.photometric << "/" << c.bits << " #" << i;
      EXPECT_EQ(q.rgbGreen, q.rgbRed);
      EXPECT_EQ(q.rgbBlue, q.rgbRed);
    }
  }

  // The high byte of each 16-bit value.
  TiffShape shape = PaletteShape();
  shape.colorMap.assign(3 * 256, 0);
  shape.colorMap[0] = 0xFFFF;
  shape.colorMap[256] = 0x80FF;
  shape.colorMap[512 + 1] = 0x0100;
  TTIF tif;
  ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk);
  EXPECT_EQ(tif.Palette[0].rgbRed, 255);
  EXPECT_EQ(tif.Palette[0].rgbGreen, 128);
  EXPECT_EQ(tif.Palette[1].rgbBlue, 1);
  EXPECT_EQ(tif.Palette[1].rgbReserved, 0);
}

TEST(TiffRead, HorizontalDifferencingIsUndone) {
  TiffShape shape = GreyShape(4, 1);
  shape.predictor = 2;
  // The builder takes rows before differencing: store 10, 1, 1, 1 as such.
  shape.rawStrips = {Bytes{10, 1, 1, 1}};
  TTIF tif;
  ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk);
  EXPECT_EQ(Bytes(tif.Bits, tif.Bits + 4), (Bytes{10, 11, 12, 13}));

  // Per sample in RGB, modulo 256.
  shape.bitsPerSample = {8, 8, 8};
  shape.photometric = 2;
  shape.width = 2;
  shape.rawStrips = {Bytes{200, 1, 2, 100, 3, 4}};
  TTIF rgb;
  ASSERT_EQ(LoadTiff(rgb, BuildTiff(shape)), kOk);
  EXPECT_EQ(Bytes(rgb.Bits, rgb.Bits + 6), (Bytes{2, 1, 200, 6, 4, 44}));
}

TEST(TiffRead, ResolutionInPixelsPerMetre) {
  struct Case {
    std::uint32_t unit;  // 0: no tag
    std::vector<std::uint32_t> x, y;  // numerator, denominator; empty: no tag
    LONG expectX, expectY;
  };
  const Case cases[] = {
      {2, {300, 1}, {72, 1}, 11811, 2834},
      {0, {600, 2}, {600, 2}, 11811, 11811},  // inch is the default unit
      {3, {11811, 100}, {40, 1}, 11811, 4000},
      {1, {300, 1}, {300, 1}, 11811, 11811},  // no unit: taken as inches
      {2, {}, {}, 2953, 2953},
      {2, {300, 0}, {0, 1}, 2953, 2953},       // zero denominator, zero value
      {2, {0xFFFFFFFF, 1}, {72, 1}, 2953, 2834},  // beyond a 32-bit value
  };
  for (const Case& c : cases) {
    TiffShape shape = GreyShape();
    if (c.unit) shape.fields.push_back({296, 3, {c.unit}});
    if (!c.x.empty()) shape.fields.push_back({282, 5, c.x});
    if (!c.y.empty()) shape.fields.push_back({283, 5, c.y});
    TTIF tif;
    ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk);
    EXPECT_EQ(tif.Header->biXPelsPerMeter, c.expectX) << c.unit << " " << c.expectX;
    EXPECT_EQ(tif.Header->biYPelsPerMeter, c.expectY) << c.unit << " " << c.expectY;
  }
}

struct Refusal {
  const char* name;
  std::function<void(TiffShape&)> change;
  int code;
  std::function<void(Bytes&)> patch = nullptr;
};

void ExpectRefusals(const std::vector<Refusal>& cases) {
  for (const Refusal& r : cases) {
    TiffShape shape = GreyShape();
    r.change(shape);
    Bytes file = BuildTiff(shape);
    if (r.patch) r.patch(file);
    std::size_t before = GlobalLiveBlocks();
    {
      TTIF tif;
      EXPECT_EQ(LoadTiff(tif, file), r.code) << r.name;
      EXPECT_EQ(tif.FileData, nullptr) << r.name;
    }
    EXPECT_EQ(GlobalLiveBlocks(), before) << r.name;
  }
}

void Rgba(TiffShape& s) {
  s.photometric = 2;
  s.bitsPerSample = {8, 8, 8, 8};
}

TEST(TiffRefuse, UnsupportedVariants) {
  ExpectRefusals({
      {"tiles", [](TiffShape& s) { s.fields.push_back({322, 3, {16}}); }, kUnsupported},
      {"tile length", [](TiffShape& s) { s.fields.push_back({323, 4, {16}}); }, kUnsupported},
      {"planar", [](TiffShape& s) { s.fields.push_back({284, 3, {2}}); }, kUnsupported},
      {"fill order 2", [](TiffShape& s) { s.fields.push_back({266, 3, {2}}); }, kUnsupported},
      {"CCITT group 3", [](TiffShape& s) { s.compression = 3; }, kUnsupported},
      {"CCITT group 4", [](TiffShape& s) { s.compression = 4; }, kUnsupported},
      {"old-style JPEG", [](TiffShape& s) { s.compression = 6; }, kUnsupported},
      {"deflate", [](TiffShape& s) { s.compression = 8; }, kUnsupported},
      {"CMYK",
       [](TiffShape& s) {
         Rgba(s);
         s.photometric = 5;
       },
       kUnsupported},
      {"YCbCr", [](TiffShape& s) { s.photometric = 6; }, kUnsupported},
      {"CIE L*a*b*", [](TiffShape& s) { s.photometric = 8; }, kUnsupported},
      {"transparency mask", [](TiffShape& s) { s.photometric = 4; }, kUnsupported},
      {"RGBA with ExtraSamples",
       [](TiffShape& s) {
         Rgba(s);
         s.fields.push_back({338, 3, {2}});
       },
       kUnsupported},
      {"RGBA without ExtraSamples", Rgba, kNoDepth},
      {"16-bit grey", [](TiffShape& s) { s.bitsPerSample = {16}; }, kNoDepth},
      {"1-bit palette",
       [](TiffShape& s) {
         s = PaletteShape();
         s.bitsPerSample = {1};
         s.colorMap.resize(6);
       },
       kNoDepth},
      {"unknown photometric", [](TiffShape& s) { s.photometric = 9; }, kNoDepth},
      {"differencing of 4-bit samples",
       [](TiffShape& s) {
         s.bitsPerSample = {4};
         s.predictor = 2;
       },
       kUnsupported},
      {"no StripOffsets", [](TiffShape& s) { s.fields.push_back({273, 4, {}}); }, kUnsupported},
      {"RowsPerStrip 0", [](TiffShape& s) { s.fields.push_back({278, 4, {0}}); }, kUnsupported},
      {"palette without ColorMap",
       [](TiffShape& s) {
         s = PaletteShape();
         s.colorMap.clear();
       },
       kUnsupported},
      {"zero width", [](TiffShape& s) { s.width = 0; }, kErrZeroSize},
      {"zero height", [](TiffShape& s) { s.fields.push_back({257, 3, {0}}); }, kErrZeroSize},
      {"absurd size", [](TiffShape& s) { s.fields.push_back({257, 4, {0x7FFFFFFF}}); },
       kErrMemory},
  });
}

TEST(TiffRefuse, BrokenHeaders) {
  auto none = [](TiffShape&) {};
  ExpectRefusals({
      {"byte order XX", none, TTIF::kErrByteOrder, [](Bytes& b) { b[0] = b[1] = 'X'; }},
      {"byte order IM", none, TTIF::kErrByteOrder, [](Bytes& b) { b[1] = 'M'; }},
      {"43 instead of 42", none, kErrSignature, [](Bytes& b) { b[2] = 43; }},
      {"first IFD at 0", none, kErrSignature, [](Bytes& b) { b[4] = b[5] = b[6] = b[7] = 0; }},
  });
}

// Offsets and counts are checked against the file before anything is read.
TEST(TiffRefuse, EverythingOutsideTheFile) {
  const std::int64_t far = 1 << 20;
  ExpectRefusals({
      {"IFD beyond the end", [](TiffShape&) {}, kErrShortRead, [](Bytes& b) { b[6] = 0x10; }},
      {"strip offset beyond the end",
       [](TiffShape& s) { s.fields.push_back({273, 4, {1u << 20}}); }, kErrShortRead},
      {"uncompressed rows running past the end",
       [](TiffShape& s) {
         s.ifdFirst = true;
         s.rawStrips = {Bytes(5, 1)};
       },
       kErrShortRead},
      {"LZW byte count past the end",
       [](TiffShape& s) {
         s.compression = 5;
         s.fields.push_back({279, 4, {1u << 20}});
       },
       kErrShortRead},
      {"LZW without byte counts",
       [](TiffShape& s) {
         s.compression = 5;
         s.fields.push_back({279, 4, {}});
       },
       kErrShortRead},
      {"fewer strip offsets than strips",
       [](TiffShape& s) {
         s.rowsPerStrip = 1;
         s.fields.push_back({273, 4, {8}});
       },
       kErrShortRead},
      {"strip offset array beyond the end",
       [=](TiffShape& s) {
         s.rowsPerStrip = 1;
         s.fields.push_back({273, 4, {0, 0}, far});
       },
       kErrShortRead},
      {"colour map beyond the end",
       [=](TiffShape& s) {
         s = PaletteShape();
         s.fields.push_back({320, 3, {0}, far});
       },
       kErrShortRead},
      {"colour map cut by the end",
       [](TiffShape& s) {
         s = PaletteShape();
         s.ifdFirst = true;
         s.colorMap.resize(700);
       },
       kErrShortRead},
      {"resolution beyond the end",
       [=](TiffShape& s) { s.fields.push_back({282, 5, {1, 1}, far}); }, kErrShortRead},
      {"BitsPerSample array beyond the end",
       [=](TiffShape& s) {
         Rgba(s);
         s.fields.push_back({258, 3, {8, 8, 8}, far});
       },
       kErrShortRead},
  });
}

TEST(TiffRead, EveryPrefixOfAFileIsRefused) {
  for (bool ifdFirst : {false, true}) {
    TiffShape shape = PaletteShape();
    shape.bitsPerSample = {4};
    shape.colorMap = RampColorMap(16);
    shape.width = 9;
    shape.height = 5;
    shape.rowsPerStrip = 2;
    shape.compression = 5;
    shape.ifdFirst = ifdFirst;
    shape.rows = Pattern(25, 9);
    shape.fields.push_back({282, 5, {300, 1}});
    const Bytes file = BuildTiff(shape);
    {
      TTIF whole;
      ASSERT_EQ(LoadTiff(whole, file), kOk);
    }
    std::size_t before = GlobalLiveBlocks();
    for (std::size_t size = 0; size < file.size(); ++size) {
      TTIF tif;
      ASSERT_EQ(LoadTiff(tif, Bytes(file.begin(), file.begin() + long(size))), kErrShortRead)
          << "prefix of " << size << " bytes, IFD first " << ifdFirst;
    }
    EXPECT_EQ(GlobalLiveBlocks(), before);
  }
}

TEST(TiffRead, MemoryFailuresGiveCodeOneAndLeakNothing) {
  TiffShape shape = PaletteShape();
  shape.compression = 32773;
  const Bytes file = BuildTiff(shape);
  // 1: the file copy, 2: the DIB, 3: the decoding block.
  for (int nth = 1; nth <= 3; ++nth) {
    std::size_t before = GlobalLiveBlocks();
    {
      TTIF tif;
      TempDir dir;
      WriteFileBytes(dir.File("t.tif"), file);
      GlobalFailAllocation(nth);
      EXPECT_EQ(tif.Load(dir.File("t.tif").c_str()), kErrMemory) << nth;
      GlobalFailAllocation(0);
    }
    EXPECT_EQ(GlobalLiveBlocks(), before) << nth;
  }
  TTIF tif;
  BYTE bits[4];
  EXPECT_EQ(tif.ReadBits(-1, bits), kErrMemory) << "without a file copy";
  EXPECT_EQ(tif.WriteDIB(-1, nullptr), kOk);
}

// Codes of 9 bits unless given otherwise.
Bytes Codes(std::initializer_list<int> codes) {
  std::vector<std::pair<int, int>> pairs;
  for (int c : codes) pairs.push_back({c, 9});
  return PackCodesMsbFirst(pairs);
}

TEST(TiffLzw, DecodesAndStopsWhereItMust) {
  struct Case {
    const char* name;
    Bytes input;
    std::size_t capacity;
    std::string output;
    int result;
  };
  const Case cases[] = {
      {"literals", Codes({256, 'A', 'B', 'C', 257}), 16, "ABC", 1},
      {"a code not yet in the table", Codes({256, 'A', 258, 259, 257}), 16, "AAAAAA", 1},
      {"strings of strings", Codes({256, 'A', 'B', 258, 260, 257}), 16, "ABABABA", 1},
      {"nothing after the end code", Codes({256, 'A', 257, 'B'}), 16, "A", 1},
      {"data ending without end code", Codes({256, 'A', 'B'}), 16, "AB", 1},
      {"a clear code restarts the table", Codes({256, 'A', 'B', 256, 'C', 258, 257}), 16,
       "ABCCC", 1},
      {"a code beyond the table", Codes({256, 'A', 300, 'B'}), 16, "A", 0},
      {"a table code right after a clear", Codes({256, 'A', 'B', 256, 258, 258}), 16, "AB", 0},
      {"output bounded by the room", Codes({256, 'A', 258, 259, 260, 257}), 4, "AAAA", 1},
  };
  for (const Case& c : cases) {
    TTIF tif;
    Bytes out(c.capacity + 8, '.');
    EXPECT_EQ(tif.DecodeLzwStrip(c.input.data(), out.data(), c.input.size(), c.capacity),
              c.result)
        << c.name;
    std::size_t written = std::size_t(tif.OutPos - out.data());
    EXPECT_EQ(std::string(out.begin(), out.begin() + long(written)), c.output) << c.name;
    EXPECT_EQ(out[c.capacity], '.') << c.name << ": wrote beyond the room";
  }
}

// Long inputs take the codes through every width up to 12 bits and fill the
// table, with and without the clear code that writers send then.
TEST(TiffLzw, RoundTripsThroughEveryCodeWidth) {
  Bytes noisy(60000);
  std::uint32_t state = 1;
  for (auto& b : noisy) b = std::uint8_t((state = state * 1103515245u + 12345u) >> 16);
  for (const Bytes& data : {noisy, Pattern(70000, 5), Bytes(50000, 7)}) {
    for (bool clearWhenFull : {true, false}) {
      Bytes encoded = TiffLzwEncode(data, clearWhenFull);
      Bytes out(data.size());
      TTIF tif;
      EXPECT_EQ(tif.DecodeLzwStrip(encoded.data(), out.data(), encoded.size(), out.size()), 1);
      EXPECT_EQ(std::size_t(tif.OutPos - out.data()), data.size());
      EXPECT_TRUE(out == data) << "clear when full: " << clearWhenFull;
    }
  }
}

// TIFF LZW decoded the plain way: each string spelled out through prefix and
// suffix tables, a code right after a clear only as a single byte, the
// output cut at capacity.
Bytes TableLzwDecode(const Bytes& in, std::size_t capacity) {
  std::vector<int> prefix(4096, -1), suffix(4096);
  for (int i = 0; i < 256; ++i) suffix[std::size_t(i)] = i;
  int next = 258, width = 9, previous = -1;
  std::uint32_t bits = 0, held = 0;
  Bytes out;
  for (std::uint8_t byte : in) {
    bits |= std::uint32_t(byte) << (24 - held);
    for (held += 8; held >= std::uint32_t(width);) {
      if (out.size() == capacity) return out;
      int code = int(bits >> (32 - width));
      bits <<= width;
      held -= std::uint32_t(width);
      if (code == 257 || code > next || (previous < 0 && code > 256)) return out;
      if (code == 256) {
        next = 258, width = 9, previous = -1;
        continue;
      }
      Bytes string;
      for (int c = code == next ? previous : code; c >= 0; c = prefix[std::size_t(c)])
        string.insert(string.begin(), std::uint8_t(suffix[std::size_t(c)]));
      if (code == next) string.push_back(string[0]);
      if (previous >= 0 && next < 4096) {
        prefix[std::size_t(next)] = previous;
        suffix[std::size_t(next)] = string[0];
        if (++next == (1 << width) - 1 && width < 12) ++width;
      }
      out.insert(out.end(), string.begin(), string.end());
      out.resize(std::min(out.size(), capacity));
      previous = code;
    }
  }
  return out;
}

// Damaged streams take the decoder down every path: strings of all lengths
// cut by the room, codes repeating the entry just made, clears, bad codes.
TEST(TiffLzw, MatchesThePlainTableDecoderOnDamagedStreams) {
  std::uint32_t state = 7;
  auto random = [&state](std::uint32_t below) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % below;
  };
  for (int round = 0; round < 400; ++round) {
    Bytes data = Pattern(200 + random(6000), int(random(256)));
    for (int i = 0; i < 40; ++i) data[random(std::uint32_t(data.size()))] = BYTE(random(256));
    Bytes stream = TiffLzwEncode(data, round % 2 == 0);
    for (std::uint32_t flips = random(4); flips > 0; --flips)
      stream[random(std::uint32_t(stream.size()))] ^= BYTE(1 << random(8));
    std::size_t capacity = round % 3 == 0 ? data.size() : random(std::uint32_t(data.size() + 64));
    Bytes out(capacity + 16, 0xEE);
    TTIF tif;
    tif.DecodeLzwStrip(stream.data(), out.data(), stream.size(), capacity);
    Bytes decoded(out.data(), tif.OutPos);
    ASSERT_EQ(decoded, TableLzwDecode(stream, capacity)) << "round " << round;
    ASSERT_EQ(Bytes(out.begin() + long(capacity), out.end()), Bytes(16, 0xEE)) << round;
  }
}

TEST(TiffPackBits, DecodesAndStopsWhereItMust) {
  struct Case {
    const char* name;
    Bytes input;
    std::size_t capacity;
    std::string output;
  };
  const Case cases[] = {
      {"literal, no-op, repeat", {2, 'a', 'b', 'c', 0x80, 0xFE, 'x'}, 16, "abcxxx"},
      {"literal cut by the end of the data", {4, 'a', 'b'}, 16, "ab"},
      {"repeat without its byte", {1, 'a', 'b', 0xFE}, 16, "ab"},
      {"repeat bounded by the room", {0x81, 'z'}, 5, "zzzzz"},
      {"literal bounded by the room", {3, 'a', 'b', 'c', 'd'}, 3, "abc"},
  };
  for (const Case& c : cases) {
    TTIF tif;
    Bytes out(c.capacity + 8, '.');
    EXPECT_EQ(tif.UnpackBitsStrip(c.input.data(), out.data(), c.input.size(), c.capacity), 1);
    std::size_t written = std::size_t(tif.OutPos - out.data());
    EXPECT_EQ(std::string(out.begin(), out.begin() + long(written)), c.output) << c.name;
    EXPECT_EQ(out[c.capacity], '.') << c.name;
  }
}

// A strip whose data break off leaves the rest of its rows zero without an
// error, also where an earlier strip left bytes in the decoding block; the
// other strips are read as usual, and data for more rows than a strip holds
// go nowhere.
TEST(TiffRead, BrokenStripsLeaveTheirRowsZero) {
  TiffShape shape = GreyShape(12, 3);
  shape.rowsPerStrip = 1;
  shape.compression = 5;
  Bytes nines(12, 9), ramp = Pattern(12, 4), twice = Pattern(24, 6);
  shape.rows = nines;
  shape.rows.insert(shape.rows.end(), {10, 20, 10, 20, 0, 0, 0, 0, 0, 0, 0, 0});
  shape.rows.insert(shape.rows.end(), twice.begin(), twice.begin() + 12);
  // 258 is "10 20"; 500 has no string.
  shape.rawStrips = {TiffLzwEncode(nines), Codes({256, 10, 20, 258, 500, 30}),
                    TiffLzwEncode(twice)};
  TTIF tif;
  ASSERT_EQ(LoadTiff(tif, BuildTiff(shape)), kOk);
  ExpectRowsOf(tif, shape, "LZW");

  // A literal of 6 bytes with none left; a run of 17 into a row of 12.
  shape.compression = 32773;
  shape.rows = Bytes(12, 7);
  shape.rows.insert(shape.rows.end(), {10, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  shape.rows.insert(shape.rows.end(), 12, 9);
  shape.rawStrips = {PackBitsEncode(Bytes(12, 7)), Bytes{1, 10, 11, 5}, Bytes{0xF0, 9}};
  TTIF packed;
  ASSERT_EQ(LoadTiff(packed, BuildTiff(shape)), kOk);
  ExpectRowsOf(packed, shape, "PackBits");
}

// ---- the sample corpus against ImageMagick ----

// Corpus files outside bad/ and unsupported/ that we refuse, and why.
const std::map<std::string, std::pair<int, const char*>> kRefusedSamples = {
    {"gbm/g01lzw_pal.tif", {kNoDepth, "1-bit palette colour has no DIB depth here"}},
    {"golang/no_rps.tiff", {kUnsupported, "RGBA: an alpha channel (ExtraSamples)"}},
};

// Files we read whose pixels ImageMagick shows otherwise, and why.
const std::map<std::string, const char*> kDifferentSamples = {
    {"libtiff/quad-lzw-compat.tiff",
     "old-style LZW (least significant bit first) of early writers; read as TIFF 6.0 LZW"},
    {"pillow/hopper4I.tif",
     "ImageMagick ignores WhiteIsZero at 4 bits; compared with hopper4.tif instead"},
};

// The picture as red, green, blue bytes, top row first.
Bytes RgbOf(const TTIF& tif) {
  Bytes out(std::size_t(tif.Width) * std::size_t(tif.Height) * 3);
  BYTE* rgb = out.data();
  std::size_t stride = RowStride(tif.Width, tif.BitCount);
  for (LONG y = 0; y < tif.Height; ++y) {
    const BYTE* row = tif.Bits + std::size_t(tif.Height - 1 - y) * stride;
    for (DWORD x = 0; x < tif.Width; ++x, rgb += 3) {
      if (tif.BitCount == 24) {
        rgb[0] = row[3 * x + 2], rgb[1] = row[3 * x + 1], rgb[2] = row[3 * x];
        continue;
      }
      DWORD bit = x * tif.BitCount;
      int index = (row[bit / 8] >> (8 - tif.BitCount - bit % 8)) & ((1 << tif.BitCount) - 1);
      const RGBQUAD& q = tif.Palette[index];
      rgb[0] = q.rgbRed, rgb[1] = q.rgbGreen, rgb[2] = q.rgbBlue;
    }
  }
  return out;
}

// ImageMagick rounds a 16-bit colour map value to 8 bits where we take the
// high byte: palette colours may differ by one.
int MaxDifference(const Bytes& a, const Bytes& b) {
  int most = 0;
  for (std::size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(a[i] - b[i]));
  return most;
}

TEST(TiffCorpus, PixelsMatchImageMagick) {
  SKIP_WITHOUT_CORPUS();
  if (!HaveImageMagick()) GTEST_SKIP() << "no ImageMagick";
  fs::path root = fs::path(CorpusDir()) / "tif";
  int compared = 0;
  for (const fs::path& path : FilesUnder(root)) {
    std::string name = fs::relative(path, root).string();
    if (name.rfind("bad/", 0) == 0 || name.rfind("unsupported/", 0) == 0) continue;
    TTIF tif;
    int result = tif.Load(path.c_str());
    if (auto refused = kRefusedSamples.find(name); refused != kRefusedSamples.end()) {
      EXPECT_EQ(result, refused->second.first) << name << ": " << refused->second.second;
      continue;
    }
    ASSERT_EQ(result, kOk) << name;
    if (kDifferentSamples.count(name)) continue;
    Bytes expected = ImageMagickPixels(path.string(), {.firstImage = true});
    if (expected.empty()) continue;  // ImageMagick cannot read it
    Bytes ours = RgbOf(tif);
    ASSERT_EQ(ours.size(), expected.size()) << name;
    EXPECT_LE(MaxDifference(ours, expected), tif.IsGrey || tif.BitCount == 24 ? 0 : 1) << name;
    ++compared;
  }
  EXPECT_GT(compared, 50);

  TTIF inverted, plain;
  ASSERT_EQ(inverted.Load((root / "pillow/hopper4I.tif").c_str()), kOk);
  ASSERT_EQ(plain.Load((root / "pillow/hopper4.tif").c_str()), kOk);
  EXPECT_TRUE(RgbOf(inverted) == RgbOf(plain));
}

// Broken and unsupported files give a result code or a consistent picture.
TEST(TiffCorpus, BadAndUnsupportedFilesFailCleanly) {
  SKIP_WITHOUT_CORPUS();
  fs::path root = fs::path(CorpusDir()) / "tif";
  for (const char* folder : {"bad", "unsupported"}) {
    for (const fs::path& path : FilesUnder(root / folder)) {
      std::size_t before = GlobalLiveBlocks();
      {
        TTIF tif;
        int result = tif.Load(path.c_str());
        bool unsupported = std::string(folder) == "unsupported";
        EXPECT_TRUE(result != kOk || !unsupported) << path;
        if (result == kOk) {
          EXPECT_EQ(tif.Header->biWidth, LONG(tif.Width)) << path;
          EXPECT_GT(tif.Height, 0) << path;
        }
      }
      EXPECT_EQ(GlobalLiveBlocks(), before) << path;
    }
  }
}
}  // namespace
