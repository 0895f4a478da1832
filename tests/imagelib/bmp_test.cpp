// The BMP/DIB codec: headers of every accepted kind, colour tables, bit
// fields, run-length data, bitmap arrays, options, top-down files, hostile
// and truncated input, the writer, and the corpus against ImageMagick.
#include "imagelib/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/core/lowio.h"
#include "tests/support/byte_writer.h"
#include "tests/support/imagemagick.h"
#include "tests/support/test_support.h"

namespace {
namespace fs = std::filesystem;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// A BMP file described field by field. Fields beyond the header size are
// left out, as an OS/2 2.0 writer does.
struct Layout {
  DWORD headerSize = 40;
  LONG width = 4;
  LONG height = 2;
  WORD planes = 1;
  WORD bitCount = 8;
  DWORD compression = BI_RGB;
  DWORD coloursUsed = 0;
  std::vector<DWORD> masks = {};  // inside a header of 52 bytes or more, else behind it
  Bytes palette = {};             // the colour table as stored
  Bytes pixels = {};              // the pixel data as stored
  std::size_t base = 0;      // file offset of this "BM" header (bitmap arrays)
};

Bytes Build(const Layout& l) {
  Bytes info(l.headerSize, 0);
  PutLe(info, 0, l.headerSize, 4);
  if (l.headerSize == 12) {
    PutLe(info, 4, DWORD(l.width), 2);
    PutLe(info, 6, DWORD(l.height), 2);
    PutLe(info, 8, l.planes, 2);
    PutLe(info, 10, l.bitCount, 2);
  } else {
    PutLe(info, 4, DWORD(l.width), 4);
    PutLe(info, 8, DWORD(l.height), 4);
    PutLe(info, 12, l.planes, 2);
    PutLe(info, 14, l.bitCount, 2);
    PutLe(info, 16, l.compression, 4);
    PutLe(info, 20, DWORD(l.pixels.size()), 4);
    PutLe(info, 32, l.coloursUsed, 4);
  }
  Bytes outside;
  for (std::size_t i = 0; i < l.masks.size(); ++i) {
    if (l.headerSize >= 52) {
      PutLe(info, 40 + 4 * i, l.masks[i], 4);
    } else {
      outside.resize(outside.size() + 4);
      PutLe(outside, outside.size() - 4, l.masks[i], 4);
    }
  }
  Bytes file(14, 0);
  file[0] = 'B';
  file[1] = 'M';
  std::size_t offBits = 14 + info.size() + outside.size() + l.palette.size();
  PutLe(file, 10, DWORD(l.base + offBits), 4);
  for (const Bytes* part : std::initializer_list<const Bytes*>{&info, &outside, &l.palette, &l.pixels})
    file.insert(file.end(), part->begin(), part->end());
  PutLe(file, 2, DWORD(file.size()), 4);
  return file;
}

// Distinct, recognisable bytes.
Bytes Pattern(std::size_t n, int seed = 11) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = std::uint8_t(i * 37 + seed);
  return b;
}
// n colour-table entries of entrySize bytes (4: blue, green, red, 0; 3: no
// reserved byte), entry i being blue i, green 255 - i, red 3 i.
Bytes Table(int n, int entrySize = 4) {
  Bytes b;
  for (int i = 0; i < n; ++i) {
    b.insert(b.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(3 * i)});
    if (entrySize == 4) b.push_back(0);
  }
  return b;
}
std::size_t Stride(int width, int bits) { return ((std::size_t(width) * bits + 31) / 32) * 4; }
// The rows in the opposite order.
Bytes Flipped(const Bytes& rows, std::size_t stride) {
  Bytes out;
  for (std::size_t end = rows.size(); end >= stride; end -= stride)
    out.insert(out.end(), rows.begin() + std::ptrdiff_t(end - stride), rows.begin() + std::ptrdiff_t(end));
  return out;
}

// Run-length data together with the rows they describe (bottom row first,
// one pixel value per entry). Each row is cut into chunks whose lengths cycle
// through kChunks; long chunks alternate between absolute and encoded runs,
// so odd lengths, both paddings and odd start columns all occur. In an RLE4
// encoded run the value's two nibbles alternate.
struct RleImage {
  Bytes data;
  Bytes expected;  // the rows as the packed DIB holds them
};

RleImage MakeRle(int width, int height, int bits) {
  const int kChunks[] = {3, 1, 5, 2, 7, 4, 6};
  const int mask = bits == 8 ? 0xFF : 0x0F;
  RleImage img;
  img.expected.assign(Stride(width, bits) * height, 0);
  int k = 0;
  for (int y = 0; y < height; ++y) {
    std::vector<int> row;
    for (int x = 0; x < width; ++k) {
      int n = std::min(kChunks[k % 7], width - x);
      if (n >= 3 && k % 2 == 0) {
        img.data.insert(img.data.end(), {0, std::uint8_t(n)});
        std::size_t start = img.data.size();
        for (int i = 0; i < n; ++i) {
          int v = ((x + i) * 7 + y * 3 + k) & mask;
          row.push_back(v);
          if (bits == 8) img.data.push_back(std::uint8_t(v));
          else if (i % 2 == 0) img.data.push_back(std::uint8_t(v << 4));
          else img.data.back() |= std::uint8_t(v);
        }
        if ((img.data.size() - start) % 2) img.data.push_back(0);
      } else {
        int a = (k * 5 + y) & mask, b = bits == 8 ? a : (a + 9) & mask;
        img.data.insert(img.data.end(), {std::uint8_t(n), std::uint8_t(bits == 8 ? a : a << 4 | b)});
        for (int i = 0; i < n; ++i) row.push_back(i % 2 ? b : a);
      }
      x += n;
    }
    img.data.insert(img.data.end(), {0, std::uint8_t(y + 1 == height ? 1 : 0)});
    std::uint8_t* out = &img.expected[Stride(width, bits) * y];
    for (int x = 0; x < width; ++x) {
      if (bits == 8) out[x] = std::uint8_t(row[x]);
      else out[x / 2] |= std::uint8_t(x % 2 ? row[x] : row[x] << 4);
    }
  }
  return img;
}

Layout RleLayout(int width, int height, int bits, const Bytes& data) {
  Layout l;
  l.width = width;
  l.height = height;
  l.bitCount = WORD(bits);
  l.compression = bits == 8 ? BI_RLE8 : BI_RLE4;
  l.coloursUsed = 16;
  l.palette = Table(16);
  l.pixels = data;
  return l;
}

// An OS/2 bitmap array holding the given bitmaps, in this order.
Bytes BuildArray(std::vector<Layout> entries) {
  Bytes file;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::size_t at = file.size();
    entries[i].base = at + 14;
    Bytes bitmap = Build(entries[i]);
    Bytes head(14, 0);
    head[0] = 'B';
    head[1] = 'A';
    PutLe(head, 2, 14, 4);
    PutLe(head, 6, i + 1 < entries.size() ? DWORD(at + 14 + bitmap.size()) : 0, 4);
    file.insert(file.end(), head.begin(), head.end());
    file.insert(file.end(), bitmap.begin(), bitmap.end());
  }
  return file;
}

int LoadInto(_TDIB& codec, const std::string& path, const char* options = nullptr) {
  TFileHandle file(_open(path.c_str(), _O_RDONLY));
  return codec.LoadFromHandle(file.Get(), options);
}

class BmpTest : public ::testing::Test {
 protected:
  int Load(const Bytes& file, const char* options = nullptr) {
    WriteFileBytes(Path, file);
    return LoadInto(Codec, Path, options);
  }
  const BYTE* Block() const { return reinterpret_cast<const BYTE*>(Codec.Header); }
  Bytes BitsCopy() const { return Bytes(Codec.Bits, Codec.Bits + Codec.ImageSize); }

  TempDir Dir;
  std::string Path = Dir.File("t.bmp");
  _TDIB Codec;
};

// --- Headers ---------------------------------------------------------------

struct HeaderCase {
  const char* name;
  Layout layout;
  int colors;  // expected Colors
};

TEST_F(BmpTest, HeadersOfEveryKindGiveGeometryTableAndRows) {
  auto with = [](DWORD size, WORD bits, DWORD used, int entries, int entrySize = 4) {
    Layout l;
    l.headerSize = size;
    l.width = 5;
    l.height = 3;
    l.bitCount = bits;
    l.coloursUsed = used;
    l.palette = Table(entries, entrySize);
    l.pixels = Pattern(Stride(5, bits) * 3);
    return l;
  };
  const HeaderCase cases[] = {
      {"OS/2 1.x, 24 bits: no table", with(12, 24, 0, 0), 0},
      {"OS/2 1.x, 8 bits: 256 entries of 3 bytes", with(12, 8, 0, 256, 3), 256},
      {"OS/2 1.x, 1 bit", with(12, 1, 0, 2, 3), 2},
      {"40 bytes, 8 bits, colours used 0", with(40, 8, 0, 256), 256},
      {"40 bytes, 8 bits, colours used 16: a 64-byte table", with(40, 8, 16, 16), 16},
      {"40 bytes, 8 bits, colours used 300 is capped", with(40, 8, 300, 256), 256},
      {"40 bytes, 4 bits, colours used 0", with(40, 4, 0, 16), 16},
      {"40 bytes, 24 bits, colours used 0: no table", with(40, 24, 0, 0), 0},
      {"40 bytes, 24 bits, a table of 4 is skipped", with(40, 24, 4, 4), 0},
      {"OS/2 2.0, 16 bytes: colour count absent", with(16, 8, 0, 256), 256},
      {"OS/2 2.0, 20 bytes", with(20, 4, 0, 16), 16},
      {"OS/2 2.0, 42 bytes", with(42, 8, 7, 7), 7},
      {"OS/2 2.0, 44 bytes with units and reserved", with(44, 8, 7, 7), 7},
      {"OS/2 2.0, 46 bytes", with(46, 1, 0, 2), 2},
      {"OS/2 2.0, 64 bytes", with(64, 8, 3, 3), 3},
      {"108 bytes", with(108, 8, 5, 5), 5},
      {"124 bytes", with(124, 4, 0, 16), 16},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    _TDIB codec;
    WriteFileBytes(Path, Build(c.layout));
    ASSERT_EQ(LoadInto(codec, Path), kOk);
    EXPECT_EQ(codec.Colors, c.colors);
    EXPECT_EQ(codec.HeaderSize, c.layout.headerSize);
    EXPECT_EQ(codec.IsWin3Header, c.layout.headerSize == 40 ? 1u : 0u);
    EXPECT_EQ(codec.FormatVersion, c.layout.headerSize == 12 ? 1 : 2);
    const BITMAPINFOHEADER& h = *codec.Header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 5);
    EXPECT_EQ(h.biHeight, 3);
    EXPECT_EQ(h.biBitCount, c.layout.bitCount);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biClrUsed, DWORD(c.colors));
    EXPECT_EQ(h.biXPelsPerMeter, kDefaultPelsPerMeter);
    EXPECT_EQ(codec.Bits, reinterpret_cast<BYTE*>(codec.Header) + 40 + 4 * c.colors);
    EXPECT_EQ(GlobalSize(codec.Handle), std::size_t(codec.DibSize));
    EXPECT_EQ(Bytes(codec.Bits, codec.Bits + codec.ImageSize), c.layout.pixels);
    int entrySize = c.layout.headerSize == 12 ? 3 : 4;
    for (int i = 0; i < c.colors; ++i) {
      const RGBQUAD& q = codec.Palette[i];
      const BYTE* stored = &c.layout.palette[i * entrySize];
      ASSERT_TRUE(q.rgbBlue == stored[0] && q.rgbGreen == stored[1] && q.rgbRed == stored[2] &&
                  q.rgbReserved == 0)
          << "entry " << i;
    }
  }
}

TEST_F(BmpTest, ResolutionFromTheFileIsKept) {
  Bytes file = Build(Layout{.bitCount = 24, .pixels = Pattern(24)});
  PutLe(file, 14 + 24, 3780, 4);
  PutLe(file, 14 + 28, 1890, 4);
  ASSERT_EQ(Load(file), kOk);
  EXPECT_EQ(Codec.Header->biXPelsPerMeter, 3780);
  EXPECT_EQ(Codec.Header->biYPelsPerMeter, 1890);
}

struct RefusalCase {
  const char* name;
  Bytes file;
  int code;
};

Bytes Mutated(Layout l, void (*change)(Layout&)) {
  change(l);
  if (l.pixels.empty()) l.pixels = Pattern(std::max<std::size_t>(Stride(4, l.bitCount) * 2, 4));
  return Build(l);
}

TEST(BmpRefusal, HostileOrUnsupportedHeadersGiveTheirCodeAndLeakNothing) {
  Bytes pal8 = Build(Layout{.palette = Table(256), .pixels = Pattern(8)});
  Bytes notBm = pal8;
  notBm[1] = 'X';
  const RefusalCase cases[] = {
      {"empty file", {}, kErrSignature},
      {"wrong signature", notBm, kErrSignature},
      {"raw DIB without file header", Bytes(notBm.begin() + 14, notBm.end()), kErrSignature},
      {"width 0", Mutated({}, [](Layout& l) { l.width = 0; }), kErrZeroSize},
      {"height 0", Mutated({}, [](Layout& l) { l.height = 0; }), kErrZeroSize},
      {"negative width", Mutated({}, [](Layout& l) { l.width = -4; }), kErrZeroSize},
      {"OS/2 1.x width 0", Mutated({}, [](Layout& l) { l.headerSize = 12; l.width = 0; }),
       kErrZeroSize},
      {"planes 2", Mutated({}, [](Layout& l) { l.planes = 2; }), kErrVariant},
      {"OS/2 1.x planes 0", Mutated({}, [](Layout& l) { l.headerSize = 12; l.planes = 0; }),
       kErrVariant},
      {"2 bits", Mutated({}, [](Layout& l) { l.bitCount = 2; }), kErrBitCount},
      {"64 bits", Mutated({}, [](Layout& l) { l.bitCount = 64; }), kErrBitCount},
      {"OS/2 1.x with 16 bits", Mutated({}, [](Layout& l) { l.headerSize = 12; l.bitCount = 16; }),
       kErrBitCount},
      {"header of 66 bytes", Mutated({}, [](Layout& l) { l.headerSize = 66; }), kErrBitCount},
      {"header of 8 bytes", Mutated({}, [](Layout& l) { l.headerSize = 8; }), kErrBitCount},
      {"header of 50 bytes", Mutated({}, [](Layout& l) { l.headerSize = 50; }), kErrBitCount},
      {"JPEG inside", Mutated({}, [](Layout& l) { l.compression = 4; }), kErrCompression},
      {"alpha bit fields", Mutated({}, [](Layout& l) { l.bitCount = 32; l.compression = 6; }),
       kErrCompression},
      {"RLE8 at 4 bits", Mutated({}, [](Layout& l) { l.bitCount = 4; l.compression = BI_RLE8; }),
       kErrCompression},
      {"RLE4 at 8 bits", Mutated({}, [](Layout& l) { l.compression = BI_RLE4; }), kErrCompression},
      {"RLE8 at 32 bits", Mutated({}, [](Layout& l) { l.bitCount = 32; l.compression = BI_RLE8; }),
       kErrCompression},
      {"OS/2 Huffman (compression 3 at 1 bit)",
       Mutated({}, [](Layout& l) { l.headerSize = 64; l.bitCount = 1; l.compression = 3; }),
       kErrCompression},
      {"bit fields at 24 bits",
       Mutated({}, [](Layout& l) { l.bitCount = 24; l.compression = BI_BITFIELDS; }),
       kErrCompression},
      {"65535 x 65535 at 24 bits",
       Mutated({}, [](Layout& l) { l.width = l.height = 65535; l.bitCount = 24; }), kErrMemory},
      {"height of -2^31", Mutated({}, [](Layout& l) { l.height = INT32_MIN; }), kErrZeroSize},
      {"2^31 - 1 columns", Mutated({}, [](Layout& l) { l.width = INT32_MAX; }), kErrMemory},
      {"pixel data missing", Mutated({}, [](Layout& l) { l.pixels = Pattern(3); }), kErrShortRead},
      {"OS/2 1.x pixel data missing",
       Mutated({}, [](Layout& l) { l.headerSize = 12; l.bitCount = 24; l.pixels = Pattern(5); }),
       kErrShortRead},
      {"colour table cut off", Bytes(pal8.begin(), pal8.begin() + 14 + 40 + 100), kErrShortRead},
      // The rows are there, but the table the header asks for runs past the end.
      {"colour table past the end", Build({.palette = Table(16), .pixels = Pattern(8)}),
       kErrShortRead},
      {"OS/2 1.x colour table past the end",
       Build({.headerSize = 12, .palette = Table(16, 3), .pixels = Pattern(8)}), kErrShortRead},
      {"RLE data missing", Build(RleLayout(4, 2, 8, {})), kErrShortRead},
  };
  TempDir dir;
  std::size_t before = GlobalLiveBlocks();
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFileBytes(dir.File("t.bmp"), c.file);
    _TDIB codec;
    EXPECT_EQ(LoadInto(codec, dir.File("t.bmp")), c.code);
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

TEST(BmpRefusal, FailedAllocationGivesMemoryCode) {
  TempDir dir;
  WriteFileBytes(dir.File("t.bmp"), MakeRedRectangleBmp(8));
  std::size_t before = GlobalLiveBlocks();
  {
    _TDIB codec;
    GlobalFailAllocation(1);
    EXPECT_EQ(codec.Load(dir.File("t.bmp").c_str()), kErrMemory);
    EXPECT_EQ(codec.Load(dir.File("missing.bmp").c_str()), kErrOpen);
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

TEST_F(BmpTest, LoadsByPathAndLoadingAgainReplacesTheImage) {
  WriteFileBytes(Path, MakeRedRectangleBmp(24));
  ASSERT_EQ(Codec.Load(Path.c_str()), kOk);
  {
    TDib dib(Codec.Handle, NoAutoDelete);
    const BYTE* inside = PixelAddress(dib, 10, 5);
    EXPECT_EQ(inside[2] << 16 | inside[1] << 8 | inside[0], 0xFF0000);
    EXPECT_EQ(*PixelAddress(dib, 9, 5), 0xFF);
  }

  // A bit-field image followed by a plain one: nothing of the first stays.
  ASSERT_EQ(Load(Build({.headerSize = 124, .bitCount = 16, .compression = BI_BITFIELDS,
                        .masks = {0xF800, 0x07E0, 0x001F}, .pixels = Pattern(16)})),
            kOk);
  ASSERT_EQ(Load(Build({.bitCount = 16, .pixels = Pattern(16)})), kOk);
  EXPECT_EQ(Codec.HasMasks, 0);
  EXPECT_EQ(Codec.Header->biCompression, BI_RGB);
  EXPECT_EQ(Codec.Masks, nullptr);
}

// --- Bit fields and top-down files --------------------------------------------

TEST_F(BmpTest, BitFieldMasksComeFromBehindOrInsideTheHeader) {
  struct Case {
    DWORD headerSize;
    WORD bits;
    std::vector<DWORD> masks;
    LONG height;
  };
  const Case cases[] = {
      {40, 16, {0xF800, 0x07E0, 0x001F}, 2},
      {40, 32, {0x00FF0000, 0x0000FF00, 0x000000FF}, 2},
      {52, 32, {0x000000FF, 0x0000FF00, 0x00FF0000}, 2},
      {56, 16, {0x0F00, 0x00F0, 0x000F}, 2},
      {108, 16, {0x7C00, 0x03E0, 0x001F}, -2},
      {124, 32, {0x3FF00000, 0x000FFC00, 0x000003FF}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headerSize);
    Layout l{.headerSize = c.headerSize, .height = c.height, .bitCount = c.bits,
             .compression = BI_BITFIELDS, .masks = c.masks};
    l.pixels = Pattern(Stride(4, c.bits) * 2);
    _TDIB codec;
    WriteFileBytes(Path, Build(l));
    ASSERT_EQ(LoadInto(codec, Path), kOk);
    const BYTE* block = reinterpret_cast<const BYTE*>(codec.Header);
    EXPECT_EQ(codec.Header->biCompression, BI_BITFIELDS);
    EXPECT_EQ(codec.Header->biHeight, 2);
    EXPECT_EQ(codec.Masks, reinterpret_cast<const DWORD*>(block + 40));
    EXPECT_EQ(std::vector<DWORD>(codec.Masks, codec.Masks + 3), c.masks);
    EXPECT_EQ(codec.Bits, block + 52);
    Bytes expected = c.height < 0 ? Flipped(l.pixels, Stride(4, c.bits)) : l.pixels;
    EXPECT_EQ(Bytes(codec.Bits, codec.Bits + codec.ImageSize), expected);
  }
}

TEST_F(BmpTest, SixteenBitsWithoutMasksStayFiveFiveFive) {
  ASSERT_EQ(Load(Build({.bitCount = 16, .pixels = Pattern(16)})), kOk);
  EXPECT_EQ(Codec.Header->biBitCount, 16);
  EXPECT_EQ(Codec.Header->biCompression, BI_RGB);
  EXPECT_EQ(Codec.Bits, Block() + 40);
}

TEST_F(BmpTest, TopDownFilesAreStoredBottomUp) {
  for (WORD bits : {WORD(1), WORD(8), WORD(24)}) {
    SCOPED_TRACE(bits);
    const int height = 5;
    std::size_t stride = Stride(3, bits);
    Layout l{.width = 3, .height = -height, .bitCount = bits, .pixels = Pattern(stride * height)};
    l.palette = Table(TBitmap_Base::ColorsForBitCount(bits));
    _TDIB codec;
    WriteFileBytes(Path, Build(l));
    ASSERT_EQ(LoadInto(codec, Path), kOk);
    EXPECT_EQ(codec.Header->biHeight, height);
    EXPECT_EQ(Bytes(codec.Bits, codec.Bits + codec.ImageSize), Flipped(l.pixels, stride));
  }
}

// --- Run-length data -------------------------------------------------------

TEST_F(BmpTest, RunLengthDataDecodeIntoEveryColumnAndRow) {
  struct Case {
    int width, height, bits;
  };
  for (Case c : {Case{1, 3, 4}, Case{9, 3, 4}, Case{17, 4, 4}, Case{30, 5, 4}, Case{1, 2, 8},
                 Case{13, 4, 8}, Case{33, 3, 8}}) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " RLE" << c.bits);
    RleImage img = MakeRle(c.width, c.height, c.bits);
    _TDIB codec;
    WriteFileBytes(Path, Build(RleLayout(c.width, c.height, c.bits, img.data)));
    ASSERT_EQ(LoadInto(codec, Path), kOk);
    EXPECT_EQ(codec.Header->biCompression, BI_RGB);
    EXPECT_EQ(Bytes(codec.Bits, codec.Bits + codec.ImageSize), img.expected);
  }
}

TEST_F(BmpTest, Rle8EscapesLineEndDeltaAndEndOfBitmap) {
  // 6 x 4: row 0 gets a run and an odd absolute run (padded); a delta skips
  // row 1 and two columns of row 2; end of bitmap after row 2.
  Bytes data = {3, 7, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 1, 2, 9, 0, 0, 0, 1, 5, 5};
  ASSERT_EQ(Load(Build(RleLayout(6, 4, 8, data))), kOk);
  Bytes expected = {7, 7, 7, 1, 2, 3, 0, 0,  // row 0
                    0, 0, 0, 0, 0, 0, 0, 0,  // row 1
                    0, 0, 9, 9, 0, 0, 0, 0,  // row 2
                    0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(BitsCopy(), expected);
}

TEST_F(BmpTest, Rle8EndOfBitmapAfterTheFirstRowLeavesTheRestZero) {
  RleImage img = MakeRle(8, 1, 8);
  img.data.insert(img.data.end(), {4, 4, 4, 4});  // after the end: ignored
  Bytes file = Build(RleLayout(8, 6, 8, img.data));
  ASSERT_EQ(Load(file), kOk);
  img.expected.resize(8 * 6, 0);
  EXPECT_EQ(BitsCopy(), img.expected);
}

TEST_F(BmpTest, TopDownRunLengthDataAreFlippedToo) {
  RleImage img = MakeRle(5, 3, 4);
  ASSERT_EQ(Load(Build(RleLayout(5, -3, 4, img.data))), kOk);
  EXPECT_EQ(Codec.Header->biHeight, 3);
  EXPECT_EQ(BitsCopy(), Flipped(img.expected, Stride(5, 4)));
}

TEST_F(BmpTest, RunLengthDataLeadingOutsideTheRowsStopThere) {
  // 4 x 2 at 8 bits: stride 4, 8 bytes of rows. The decoder keeps what it
  // wrote before the offending code and writes nothing outside.
  struct Case {
    const char* name;
    int bits;
    Bytes data;
    Bytes expected;
  };
  const Case cases[] = {
      {"run longer than the rows", 8, {20, 5, 1, 6}, Bytes(8, 0)},
      {"run into the next row", 8, {6, 5, 0, 1}, {5, 5, 5, 5, 5, 5, 0, 0}},
      {"run ending exactly at the end", 8, {8, 5}, Bytes(8, 5)},
      {"delta below the last row", 8, {1, 3, 0, 2, 0, 5, 1, 6}, {3, 0, 0, 0, 0, 0, 0, 0}},
      {"delta past the end of a row", 8, {0, 2, 200, 0, 1, 6}, Bytes(8, 0)},
      {"line ends past the last row", 8, {0, 0, 0, 0, 0, 0, 1, 9}, Bytes(8, 0)},
      {"absolute run past the end", 8, {0, 9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}, Bytes(8, 0)},
      {"data end without end of bitmap", 8, {2, 4}, {4, 4, 0, 0, 0, 0, 0, 0}},
      {"data end inside an absolute run", 8, {0, 4, 1, 2}, {1, 2, 0, 0, 0, 0, 0, 0}},
      {"data end inside a delta", 8, {1, 1, 0, 2, 1}, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"RLE4 run longer than the rows", 4, {17, 0x12}, Bytes(8, 0)},
      {"RLE4 run up to the last pixel", 4, {16, 0x12}, {0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12, 0x12}},
      {"RLE4 absolute run past the end", 4, {0, 2, 7, 1, 0, 3, 0x12, 0x30}, Bytes(8, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _TDIB codec;
    // 4 bits: 16 x 2 gives the same 4-byte stride.
    WriteFileBytes(Path, Build(RleLayout(c.bits == 8 ? 4 : 8, 2, c.bits, c.data)));
    ASSERT_EQ(LoadInto(codec, Path), kOk);
    EXPECT_EQ(Bytes(codec.Bits, codec.Bits + codec.ImageSize), c.expected);
  }
}

// --- Options and bitmap arrays -----------------------------------------------

TEST_F(BmpTest, OptionsExchangeMonoColoursOrInvertBits) {
  Layout mono{.width = 9, .height = 2, .bitCount = 1, .palette = Table(2), .pixels = Pattern(8)};
  Bytes file = Build(mono);
  auto table = [&] { return Bytes(Block() + 40, Block() + 48); };
  Bytes straight = Table(2);
  Bytes swapped(straight.begin() + 4, straight.end());
  swapped.insert(swapped.end(), straight.begin(), straight.begin() + 4);
  Bytes inverted = mono.pixels;
  for (auto& b : inverted) b = std::uint8_t(~b);

  struct Case {
    const char* options;
    const Bytes& table;
    const Bytes& bits;
  };
  for (const Case& c : {Case{nullptr, straight, mono.pixels}, Case{"inv", swapped, mono.pixels},
                        Case{"INV", swapped, mono.pixels}, Case{"invb", straight, inverted},
                        Case{"invb, inv", swapped, inverted}, Case{"invert", straight, mono.pixels}}) {
    SCOPED_TRACE(c.options ? c.options : "none");
    ASSERT_EQ(Load(file, c.options), kOk);
    EXPECT_EQ(table(), c.table);
    EXPECT_EQ(BitsCopy(), c.bits);
  }
  // "inv" touches only 1-bit images; a table of one entry is left alone.
  ASSERT_EQ(Load(Build({.palette = Table(256), .pixels = Pattern(8)}), "inv"), kOk);
  EXPECT_EQ(Bytes(Block() + 40, Block() + 48), Bytes(Table(2)));
  mono.coloursUsed = 1;
  mono.palette = Table(1);
  ASSERT_EQ(Load(Build(mono), "inv"), kOk);
  EXPECT_EQ(Bytes(Block() + 40, Block() + 44), Table(1));
}

Layout Small(DWORD headerSize, int side, WORD bits) {
  Layout l{.headerSize = headerSize, .width = side, .height = side, .bitCount = bits};
  // Short tables where the header can say so keep the files small.
  int colours = TBitmap_Base::ColorsForBitCount(bits);
  if (headerSize != 12 && colours > 16) l.coloursUsed = colours = 16;
  l.palette = Table(colours, headerSize == 12 ? 3 : 4);
  l.pixels = Pattern(Stride(side, bits) * side, side);
  return l;
}

TEST_F(BmpTest, BitmapArraysYieldTheEntryNamedByIndex) {
  std::vector<Layout> entries = {Small(12, 1, 8), Small(40, 2, 24), Small(64, 3, 4)};
  Bytes array = BuildArray(entries);
  struct Case {
    const char* options;
    int code;
    int entry;
  };
  for (const Case& c : {Case{nullptr, kOk, 0}, Case{"index=0", kOk, 0}, Case{"index=1", kOk, 1},
                        Case{"inv index=2", kOk, 2}, Case{"INDEX=-1", kOk, 0},
                        Case{"index=3", kErrNoSuchImage, 0},
                        Case{"index=2000000000", kErrNoSuchImage, 0}}) {
    SCOPED_TRACE(c.options ? c.options : "none");
    _TDIB codec;
    WriteFileBytes(Path, array);
    ASSERT_EQ(LoadInto(codec, Path, c.options), c.code);
    if (c.code != kOk) continue;
    const Layout& want = entries[c.entry];
    EXPECT_EQ(codec.Header->biWidth, want.width);
    EXPECT_EQ(codec.Header->biBitCount, want.bitCount);
    EXPECT_EQ(Bytes(codec.Bits, codec.Bits + codec.ImageSize), want.pixels);
    EXPECT_GT(codec.BitmapOffset, 0);
  }
}

TEST_F(BmpTest, BrokenBitmapArraysAreRefused) {
  Bytes array = BuildArray({Small(12, 1, 8), Small(40, 2, 24)});
  std::size_t second = Get32(array, 6);
  Bytes badHop = array;
  badHop[second] = 'X';
  Bytes badEntry = array;
  badEntry[second + 14] = 'C';
  badEntry[second + 15] = 'I';
  Bytes pastEnd = array;
  PutLe(pastEnd, 6, 1000000, 4);
  Bytes loop = array;
  PutLe(loop, second + 6, DWORD(second), 4);  // the second header names itself
  Bytes cut(array.begin(), array.begin() + 20);

  struct Case {
    const char* name;
    const Bytes& file;
    const char* options;
    int code;
  };
  const Case cases[] = {
      {"hop lands on no array header", badHop, "index=1", kErrSignature},
      {"entry is an icon, not a bitmap", badEntry, "index=1", kErrSignature},
      {"hop past the end of the file", pastEnd, "index=1", kErrSignature},
      {"chain going round in a loop", loop, "index=100000", kErrNoSuchImage},
      {"file ends inside the first entry", cut, nullptr, kErrShortRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    _TDIB codec;
    WriteFileBytes(Path, c.file);
    EXPECT_EQ(LoadInto(codec, Path, c.options), c.code);
  }
}

// --- Truncation ------------------------------------------------------------

// Every prefix of a valid file loads with a clean result. Uncompressed data
// must be complete; run-length data may stop early, keeping what was decoded
// and leaving the rest 0.
TEST(BmpTruncation, EveryPrefixGivesACleanResult) {
  struct Case {
    const char* name;
    Bytes file;
    bool runLength;
  };
  RleImage rle8 = MakeRle(13, 4, 8), rle4 = MakeRle(9, 4, 4);
  const Case cases[] = {
      {"8 bits, 40-byte header", Build(Small(40, 5, 8)), false},
      {"4 bits, OS/2 1.x", Build(Small(12, 7, 4)), false},
      {"24 bits, OS/2 1.x", Build(Small(12, 3, 24)), false},
      {"16-bit bit fields, 124-byte header",
       Build({.headerSize = 124, .bitCount = 16, .compression = BI_BITFIELDS,
              .masks = {0xF800, 0x07E0, 0x001F}, .pixels = Pattern(16)}),
       false},
      {"bitmap array", BuildArray({Small(12, 2, 1), Small(40, 2, 8)}), false},
      {"RLE8", Build(RleLayout(13, 4, 8, rle8.data)), true},
      {"RLE4", Build(RleLayout(9, 4, 4, rle4.data)), true},
  };
  TempDir dir;
  std::string path = dir.File("cut.bmp");
  std::size_t before = GlobalLiveBlocks();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes full;
    std::size_t offBits = 0, complete = 0;
    {
      _TDIB codec;
      WriteFileBytes(path, c.file);
      ASSERT_EQ(LoadInto(codec, path), kOk);
      full.assign(codec.Bits, codec.Bits + codec.ImageSize);
      offBits = codec.OffBits;
      complete = c.runLength ? offBits + 1 : offBits + std::size_t(codec.ImageSize);
    }
    for (std::size_t n = 0; n < c.file.size(); ++n) {
      SCOPED_TRACE(n);
      WriteFileBytes(path, Bytes(c.file.begin(), c.file.begin() + std::ptrdiff_t(n)));
      _TDIB codec;
      int code = LoadInto(codec, path);
      if (n < complete) {
        ASSERT_NE(code, kOk);
        continue;
      }
      // Past the end of the bitmap (an array's first entry) nothing is missing;
      // cut run-length data leave each pixel decoded or 0.
      ASSERT_EQ(code, kOk);
      for (LONG i = 0; i < codec.ImageSize; ++i)
        for (int nibble : {0x0F, 0xF0}) {
          int got = codec.Bits[i] & nibble, want = full[i] & nibble;
          ASSERT_TRUE(got == want || (c.runLength && got == 0)) << "byte " << i;
        }
    }
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

// --- Building and writing packed DIBs ----------------------------------------

TEST(BmpEmptyDib, HasTheGeometryAZeroTableAndZeroRows) {
  struct Case {
    LONG width, height;
    WORD bits;
    int colors;
    std::size_t stride;
  };
  for (Case c : {Case{33, 5, 1, 2, 8}, Case{3, 2, 4, 16, 4}, Case{5, 3, 8, 256, 8},
                 Case{1, 1, 24, 0, 4}, Case{7, 2, 32, 0, 28}}) {
    SCOPED_TRACE(c.bits);
    _TDIB dib(c.width, c.height, c.bits);
    ASSERT_NE(dib.Header, nullptr);
    const BYTE* block = reinterpret_cast<const BYTE*>(dib.Header);
    const BITMAPINFOHEADER& h = *dib.Header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, c.width);
    EXPECT_EQ(h.biHeight, c.height);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, c.bits);
    EXPECT_EQ(h.biCompression, BI_RGB);
    EXPECT_EQ(h.biSizeImage, c.stride * c.height);
    EXPECT_EQ(h.biXPelsPerMeter, 2953);
    EXPECT_EQ(h.biYPelsPerMeter, 2953);
    EXPECT_EQ(h.biClrUsed, DWORD(c.colors));
    EXPECT_EQ(reinterpret_cast<const BYTE*>(dib.Palette), block + 40);
    EXPECT_EQ(dib.Bits, block + 40 + 4 * c.colors);
    EXPECT_EQ(GlobalSize(dib.Handle), 40 + 4 * c.colors + c.stride * c.height);
    EXPECT_TRUE(std::all_of(block + 40, block + GlobalSize(dib.Handle), [](BYTE b) { return !b; }));
  }
}

TEST(BmpEmptyDib, WithoutMemoryHasNoBlock) {
  std::size_t before = GlobalLiveBlocks();
  {
    GlobalFailAllocation(1);
    _TDIB failed(10, 10, 8);
    EXPECT_EQ(failed.Handle, nullptr);
    EXPECT_EQ(failed.Header, nullptr);
    EXPECT_EQ(failed.Bits, nullptr);
    EXPECT_EQ(failed.Palette, nullptr);
    _TDIB absurd(100000, 100000, 32);
    EXPECT_EQ(absurd.Handle, nullptr);
    _TDIB negative(-5, 3, 24);
    EXPECT_EQ(negative.Handle, nullptr);
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

class BmpWriteTest : public BmpTest {
 protected:
  // Writes the held packed DIB and returns the file's bytes.
  Bytes Write(HGLOBAL dib, int* code) {
    std::string out = Dir.File("out.bmp");
    TFileHandle file(_open(out.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC));
    _TDIB writer;
    *code = writer.WriteDIB(file.Get(), dib);
    return ReadFileBytes(out);
  }
};

TEST_F(BmpWriteTest, FileHeaderPointsAtTheRowsAndRoundTrips) {
  struct Case {
    const char* name;
    Bytes source;
    DWORD offBits;
  };
  const Case cases[] = {
      {"24 bits", Build({.bitCount = 24, .pixels = Pattern(24)}), 54},
      {"8 bits, full table", Build({.palette = Table(256), .pixels = Pattern(8)}), 1078},
      {"1 bit", Build({.bitCount = 1, .palette = Table(2), .pixels = Pattern(8)}), 62},
      // Where the table is shorter than the bit count allows, or masks come
      // first, the rows are not at 54 + a full table: the offset follows them.
      {"8 bits, 16 colours", Build({.coloursUsed = 16, .palette = Table(16), .pixels = Pattern(8)}),
       54 + 64},
      {"16-bit bit fields",
       Build({.bitCount = 16, .compression = BI_BITFIELDS, .masks = {0xF800, 0x07E0, 0x001F},
              .pixels = Pattern(16)}),
       66},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(Load(c.source), kOk);
    int code = -1;
    Bytes written = Write(Codec.Handle, &code);
    ASSERT_EQ(code, kOk);
    std::size_t blockSize = GlobalSize(Codec.Handle);
    ASSERT_EQ(written.size(), 14 + blockSize);
    EXPECT_EQ(written[0], 'B');
    EXPECT_EQ(written[1], 'M');
    EXPECT_EQ(Get32(written, 2), 14 + blockSize);
    EXPECT_EQ(Get32(written, 6), 0u);
    EXPECT_EQ(Get32(written, 10), c.offBits);
    EXPECT_EQ(0, std::memcmp(&written[14], Block(), blockSize));

    _TDIB again;
    ASSERT_EQ(LoadInto(again, Dir.File("out.bmp")), kOk);
    ASSERT_EQ(GlobalSize(again.Handle), blockSize);
    EXPECT_EQ(0, std::memcmp(again.Header, Block(), blockSize));
  }
}

TEST_F(BmpWriteTest, NullHandleAndFailedWritesAreReported) {
  int code = -1;
  Write(nullptr, &code);
  EXPECT_EQ(code, kErrNullHandle);

  _TDIB dib(4, 4, 24);
  WriteFileBytes(Path, {});
  TFileHandle readOnly(_open(Path.c_str(), _O_RDONLY));
  EXPECT_EQ(_TDIB().WriteDIB(readOnly.Get(), dib.Handle), kErrWrite);
  EXPECT_EQ(GlobalLockCount(dib.Handle), 1u);  // the writer's lock is gone again
}

// --- Files written by other programs -----------------------------------------

std::vector<fs::path> CorpusFiles(const std::string& under) {
  return FilesUnder(fs::path(CorpusDir()) / "bmp" / under, {".bmp", ".dib"});
}

bool UnderAny(const fs::path& file, std::initializer_list<const char*> dirs) {
  std::string rel = fs::relative(file, fs::path(CorpusDir()) / "bmp").string();
  return std::any_of(dirs.begin(), dirs.end(),
                     [&](const char* d) { return rel.rfind(std::string(d) + "/", 0) == 0; });
}

// Files among the readable ones that the codec refuses on purpose.
const std::map<std::string, int> kRefusedOnPurpose = {
    {"bmpsuite/q/pal2.bmp", kErrBitCount},              // 2 bits per pixel: not a BMP depth
    {"bmpsuite/q/pal2color.bmp", kErrBitCount},         // the same in colour
    {"bmpsuite/q/rgba64.bmp", kErrBitCount},            // 64 bits per pixel
    {"bmpsuite/q/rgb24jpeg.bmp", kErrBitCount},         // JPEG inside (bit count 0)
    {"bmpsuite/q/rgb24png.bmp", kErrBitCount},          // PNG inside (bit count 0)
    {"bmpsuite/q/rgba32abf.bmp", kErrCompression},      // alpha bit fields (compression 6)
    {"bmpsuite/q/pal1huffmsb.bmp", kErrCompression},    // OS/2 Huffman 1D
    {"bmpsuite/q/rgb24rle24.bmp", kErrCompression},     // OS/2 RLE24
    {"image-rs/rgb24rle24.bmp", kErrCompression},       // OS/2 RLE24
    {"pillow/clipboard.dib", kErrSignature},            // clipboard DIB without file header
    {"pillow/l2rgb_read.bmp", kErrVariant},             // planes 12336: a malformed header
};

// Files the codec reads by the format's rules where ImageMagick 6 does not;
// they must load, and are not compared with it.
const std::map<std::string, const char*> kMagickDiffers = {
    // ImageMagick takes the colour table of an OS/2 2.0 header of 64 bytes
    // from the wrong place; the table's 4-byte entries follow the header.
    {"bmpsuite/q/pal8os2v2.bmp", "OS/2 2.0 colour table"},
    {"bmpsuite/q/pal8os2v2-sz.bmp", "OS/2 2.0 colour table"},
    {"os2/candybarz/purple_TXTR_010.BMP", "OS/2 2.0 colour table"},
    {"os2/candybarz/purple_pbuttons.bmp", "OS/2 2.0 colour table"},
    {"os2/candybarz/res_themeBuilder.bmp", "OS/2 2.0 colour table"},
    {"os2/fm2/ipf_drive.bmp", "OS/2 2.0 colour table"},
    {"os2/fm2/ledoff.bmp", "OS/2 2.0 colour table"},
    {"os2/fm2/walk2.bmp", "OS/2 2.0 colour table"},
    {"os2/gbm/g01bw_os2_21.bmp", "OS/2 2.0 colour table"},
    // ImageMagick does not follow the "BA" chain to the first bitmap; the
    // arrays are checked against the files they wrap instead.
    {"bmpsuite/x/ba-bm.bmp", "bitmap array"},
    {"derived/ba_os2v1_2entries_8bit_1bit.bmp", "bitmap array"},
    {"os2/xwp/ecsminilogo.bmp", "bitmap array"},
    {"os2/xwp/xwpminilogo.bmp", "bitmap array"},
    // Mask channels of 1 to 4 or 7 bits are not scaled to the full range.
    {"bmpsuite/q/rgb16-231.bmp", "mask scaling"},
    {"bmpsuite/q/rgb16-3103.bmp", "mask scaling"},
    {"bmpsuite/q/rgb32-7187.bmp", "mask scaling"},
    {"bmpsuite/q/rgba16-1924.bmp", "mask scaling"},
    {"bmpsuite/q/rgba16-4444.bmp", "mask scaling"},
    {"bmpsuite/q/rgba32-61754.bmp", "mask scaling"},
    {"image-rs/V3_A4_R4_G4_B4.bmp", "mask scaling"},
};

// The colour of pixel (x, y), y counted from the top, as 0xRRGGBB; -1 for an
// index beyond the colour table.
struct Channel {
  int shift = 0;
  DWORD max = 0;
};
Channel ChannelOf(DWORD mask) {
  Channel c;
  if (!mask) return c;
  while (!(mask >> c.shift & 1)) ++c.shift;
  c.max = mask >> c.shift;
  return c;
}

long DibColour(const _TDIB& codec, int x, int y) {
  const BITMAPINFOHEADER& h = *codec.Header;
  std::size_t stride = Stride(h.biWidth, h.biBitCount);
  const BYTE* row = codec.Bits + stride * (h.biHeight - 1 - y);
  int bits = h.biBitCount;
  if (bits <= 8) {
    int index = row[x * bits / 8] >> (8 - bits - x * bits % 8) & ((1 << bits) - 1);
    if (index >= codec.Colors) return -1;
    const RGBQUAD& q = codec.Palette[index];
    return q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue;
  }
  if (bits == 24) return row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
  DWORD v = bits == 16 ? DWORD(row[2 * x] | row[2 * x + 1] << 8)
                       : DWORD(row[4 * x] | row[4 * x + 1] << 8 | row[4 * x + 2] << 16 |
                               DWORD(row[4 * x + 3]) << 24);
  DWORD defaults16[] = {0x7C00, 0x03E0, 0x001F}, defaults32[] = {0xFF0000, 0xFF00, 0xFF};
  const DWORD* masks = codec.Masks ? codec.Masks : bits == 16 ? defaults16 : defaults32;
  long colour = 0;
  for (int i = 0; i < 3; ++i) {
    Channel c = ChannelOf(masks[i]);
    DWORD value = c.max ? ((v >> c.shift & c.max) * 255 + c.max / 2) / c.max : 0;
    colour = colour << 8 | long(value);
  }
  return colour;
}

// Channels scaled from other than 8 bits may round differently by one.
int Tolerance(const _TDIB& codec) {
  if (codec.BitCount == 16) return 1;
  if (codec.BitCount != 32 || !codec.Masks) return 0;
  for (int i = 0; i < 3; ++i)
    if (ChannelOf(codec.Masks[i]).max != 0xFF) return 1;
  return 0;
}

// Pixels whose colours differ, with the first of them described.
int CountMismatches(const _TDIB& codec, const Bytes& rgb, std::string& first) {
  int width = codec.Header->biWidth, height = codec.Header->biHeight, tolerance = Tolerance(codec);
  int mismatches = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      long ours = DibColour(codec, x, y);
      const BYTE* theirs = &rgb[3 * (std::size_t(y) * width + x)];
      long magick = theirs[0] << 16 | theirs[1] << 8 | theirs[2];
      for (int ch = 0; ch < 3; ++ch) {
        int a = ours < 0 ? -1000 : int(ours >> (16 - 8 * ch) & 0xFF);
        if (std::abs(a - theirs[ch]) <= tolerance) continue;
        if (mismatches++ == 0)
          first = testing::PrintToString(std::vector<long>{x, y, ours, magick});
        break;
      }
    }
  return mismatches;
}

TEST(BmpCorpus, PixelsMatchImageMagick) {
  SKIP_WITHOUT_CORPUS();
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  std::set<std::string> refused;
  int compared = 0;
  for (const fs::path& file : CorpusFiles("")) {
    if (UnderAny(file, {"bad", "unsupported"})) continue;
    std::string name = fs::relative(file, fs::path(CorpusDir()) / "bmp").string();
    SCOPED_TRACE(name);
    _TDIB codec;
    int code = LoadInto(codec, file.string());
    if (code != kOk) {
      refused.insert(name);
      auto known = kRefusedOnPurpose.find(name);
      EXPECT_TRUE(known != kRefusedOnPurpose.end() && known->second == code) << "code " << code;
      continue;
    }
    if (kMagickDiffers.count(name)) continue;
    // ImageMagick warns about many damaged files it reads all the same.
    Bytes rgb = ImageMagickPixels(file.string(), {.firstImage = true, .despiteWarnings = true});
    std::size_t size = std::size_t(codec.Header->biWidth) * codec.Header->biHeight * 3;
    if (rgb.size() != size) continue;  // ImageMagick cannot read it, or sees another size
    ++compared;
    std::string first;
    EXPECT_EQ(CountMismatches(codec, rgb, first), 0) << "first at x, y, ours, theirs: " << first;
  }
  EXPECT_EQ(refused.size(), kRefusedOnPurpose.size());
  EXPECT_GT(compared, 100);
}

// The entries of the corpus's bitmap arrays are copies of single files there.
TEST(BmpCorpus, BitmapArrayEntriesEqualTheFilesTheyWrap) {
  SKIP_WITHOUT_CORPUS();
  struct Case {
    const char* array;
    const char* options;
    const char* single;
  };
  const Case cases[] = {
      {"bmpsuite/x/ba-bm.bmp", nullptr, "bmpsuite/g/pal8os2.bmp"},
      {"derived/ba_os2v1_2entries_8bit_1bit.bmp", nullptr, "generated/netpbm_os2_8bit.bmp"},
      {"derived/ba_os2v1_2entries_8bit_1bit.bmp", "index=1", "generated/netpbm_os2_1bit.bmp"},
      {"derived/ba_win3_3entries_24_4_1bit.bmp", "index=0", "generated/rose_bmp3_24.bmp"},
      {"derived/ba_win3_3entries_24_4_1bit.bmp", "index=1", "generated/plasma97x61_bmp3_4bit.bmp"},
      {"derived/ba_win3_3entries_24_4_1bit.bmp", "index=2", "generated/plasma97x61_bmp3_1bit.bmp"},
  };
  fs::path root = fs::path(CorpusDir()) / "bmp";
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.array << " " << (c.options ? c.options : ""));
    _TDIB fromArray, single;
    ASSERT_EQ(LoadInto(fromArray, (root / c.array).string(), c.options), kOk);
    ASSERT_EQ(LoadInto(single, (root / c.single).string()), kOk);
    ASSERT_EQ(fromArray.DibSize, single.DibSize);
    EXPECT_EQ(0, std::memcmp(fromArray.Header, single.Header, std::size_t(single.DibSize)));
  }
  const RefusalCase refusals[] = {
      {"derived/ba_win3_3entries_24_4_1bit.bmp", {}, kErrNoSuchImage},  // index 3 of 0..2
      {"bad/derived/ba_next_offset_past_eof.bmp", {}, kErrSignature},
      {"bad/derived/ba_second_header_not_BA.bmp", {}, kErrSignature},
  };
  for (const RefusalCase& c : refusals) {
    SCOPED_TRACE(c.name);
    _TDIB codec;
    const char* options = c.code == kErrNoSuchImage ? "index=3" : "index=1";
    EXPECT_EQ(LoadInto(codec, (root / c.name).string(), options), c.code);
  }
}

// Malformed files and variants the codec does not read: a clean code or an
// image whose header agrees with its block, never a crash.
TEST(BmpCorpus, BadAndUnsupportedFilesFailCleanly) {
  SKIP_WITHOUT_CORPUS();
  std::vector<fs::path> files = CorpusFiles("bad");
  for (const fs::path& file : CorpusFiles("unsupported")) files.push_back(file);
  fs::path crashers = fs::path(TestDataDir()) / "bmp" / "crashers";
  if (fs::is_directory(crashers))
    for (const auto& entry : fs::directory_iterator(crashers)) files.push_back(entry.path());
  ASSERT_FALSE(files.empty());
  std::size_t before = GlobalLiveBlocks();
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.string());
    _TDIB codec, second;
    LoadInto(second, file.string(), "index=1");  // the array walk, for broken arrays
    int code = LoadInto(codec, file.string());
    if (UnderAny(file, {"unsupported"})) {
      EXPECT_EQ(code, kErrCompression);
    }
    if (code != kOk) continue;
    const BITMAPINFOHEADER& h = *codec.Header;
    EXPECT_GT(h.biWidth, 0);
    EXPECT_GT(h.biHeight, 0);
    EXPECT_EQ(GlobalSize(codec.Handle), std::size_t(codec.DibSize));
    EXPECT_EQ(std::size_t(codec.ImageSize), Stride(h.biWidth, h.biBitCount) * h.biHeight);
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}
}  // namespace
