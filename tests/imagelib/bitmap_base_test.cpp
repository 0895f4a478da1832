#include "imagelib/bitmap_base.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/core/lowio.h"
#include "tests/support/test_support.h"

namespace {
TEST(RowStride, PadsRowsToFourBytes) {
  struct {
    DWORD width, bits, stride;
  } cases[] = {{1, 24, 4}, {33, 1, 8}, {1, 1, 4}, {4, 8, 4}, {5, 8, 8}, {3, 4, 4}, {2, 16, 4},
               {3, 16, 8}, {1, 32, 4}};
  for (auto c : cases) EXPECT_EQ(RowStride(c.width, c.bits), c.stride) << c.width << "x" << c.bits;
}

TEST(PixelAddress, AddressesTopDownAndRefusesOutside) {
  // 3 x 2 at 24 bits: stride 12; row y = 0 (top) is stored last.
  TDib dib(MakePackedDib(3, 2, 24, [](int x, int y) { return RGB(BYTE(x), BYTE(y), 7); }),
           AutoDelete);
  BYTE* top = PixelAddress(dib, 0, 0);
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top, dib.GetBits() + 12);
  EXPECT_EQ(PixelAddress(dib, 2, 1), dib.GetBits() + 6);
  EXPECT_EQ(PixelAddress(dib, 2, 0)[2], 2);  // red = x
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}})
    EXPECT_EQ(PixelAddress(dib, x, y), nullptr) << x << "," << y;
}

TEST(PixelAddress, SubBytePixelsShareTheirByte) {
  TDib dib(MakePackedDib(9, 1, 1, [](int x, int) { return x == 8 ? 1u : 0u; }, {0, 0xFFFFFF}),
           AutoDelete);
  EXPECT_EQ(PixelAddress(dib, 7, 0), dib.GetBits());
  EXPECT_EQ(PixelAddress(dib, 8, 0), dib.GetBits() + 1);
  EXPECT_EQ(*PixelAddress(dib, 8, 0), 0x80);
}

TEST(PixelAddress, NeverPointsPastABlockShorterThanItsHeaderClaims) {
  HGLOBAL block = MakePackedDib(4, 4, 8, [](int, int) { return 0u; }, {0});
  auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  h->biHeight = 1000;
  GlobalUnlock(block);
  TDib dib(block, AutoDelete);
  EXPECT_EQ(PixelAddress(dib, 0, 0), nullptr);
  EXPECT_NE(PixelAddress(dib, 0, 999), nullptr);
}

TEST(Options, MatchWholeTokensOrPrefixesWithoutCase) {
  const char* options = "INV,index=3\tTrunc";
  EXPECT_EQ(TBitmap_Base::HasOption(options, "inv"), options);
  EXPECT_EQ(TBitmap_Base::HasOption(options, "invb"), nullptr);
  EXPECT_EQ(TBitmap_Base::HasOption(options, "trunc"), options + 12);
  EXPECT_EQ(TBitmap_Base::HasOption(options, "index"), nullptr);
  EXPECT_EQ(TBitmap_Base::FindOption(options, "index="), options + 4);
  EXPECT_EQ(TBitmap_Base::FindOption(options, "INDEX="), options + 4);
  EXPECT_EQ(TBitmap_Base::HasOption(nullptr, "inv"), nullptr);
  EXPECT_EQ(TBitmap_Base::FindOption("", "inv"), nullptr);
}

TEST(Options, OnlyTheFirst103CharactersAreSeen) {
  std::string options(100, ' ');
  options += "inv";
  EXPECT_NE(TBitmap_Base::HasOption(options.c_str(), "inv"), nullptr);
  options.insert(0, " ");
  EXPECT_EQ(TBitmap_Base::HasOption(options.c_str(), "inv"), nullptr);
}

TEST(ColorsForBitCount, FullTablesForPaletteDepthsOnly) {
  EXPECT_EQ(TBitmap_Base::ColorsForBitCount(1), 2);
  EXPECT_EQ(TBitmap_Base::ColorsForBitCount(4), 16);
  EXPECT_EQ(TBitmap_Base::ColorsForBitCount(8), 256);
  for (WORD b : {0, 2, 16, 24, 32}) EXPECT_EQ(TBitmap_Base::ColorsForBitCount(b), 0);
}

TEST(Ahead, ReadsAcrossBuffersAndKeepsReportingTheEnd) {
  TempDir dir;
  Bytes data(TBitmap_Base::AHEAD::kBufferSize + 3);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = BYTE(i * 7);
  WriteFileBytes(dir.File("a"), data);
  TFileHandle file(_open(dir.File("a").c_str(), _O_RDONLY));
  TBitmap_Base::AHEAD ahead;
  for (std::size_t i = 0; i < data.size(); ++i) ASSERT_EQ(ahead.NextByte(file.Get()), data[i]) << i;
  EXPECT_EQ(ahead.NextByte(file.Get()), -1);
  EXPECT_EQ(ahead.NextByte(file.Get()), -1);
}

// A reader whose header is whatever the test says, for the base's checks.
class FakeCodec : public TBitmap_Base {
 public:
  DWORD W = 4, Bpp = 8;
  LONG H = 4;
  int Cols = 256;
  int ReadHeader(int, const char*) override {
    Width = W;
    Height = H;
    BitCount = Bpp;
    Colors = Cols;
    ComputeSizes();
    return kOk;
  }
  int ReadPalette(int, RGBQUAD*) override { return kOk; }
  int ReadBits(int, BYTE* bits) override {
    std::memset(bits, 0x5A, std::size_t(ImageSize));
    return kOk;
  }
  int WriteDIB(int, HGLOBAL) override { return kOk; }
};

TEST(Load, FillsTheHeaderAndRefusesImpossibleSizes) {
  TempDir dir;
  WriteFileBytes(dir.File("f"), Bytes(4));
  const std::size_t blocksBefore = GlobalLiveBlocks();
  {
    FakeCodec codec;
    ASSERT_EQ(codec.Load(dir.File("f").c_str()), kOk);
    EXPECT_EQ(codec.Header->biSize, 40u);
    EXPECT_EQ(codec.Header->biSizeImage, 16u);
    EXPECT_EQ(codec.Header->biClrUsed, 256u);
    EXPECT_EQ(codec.Header->biXPelsPerMeter, 2953);
    EXPECT_EQ(codec.Bits, reinterpret_cast<BYTE*>(codec.Header) + 40 + 1024);
    EXPECT_EQ(GlobalSize(codec.Handle), 40u + 1024 + 16);
  }
  struct {
    DWORD w;
    LONG h;
    DWORD bpp;
  } absurd[] = {{0xFFFFFFFF, 0x7FFFFFFF, 32}, {70000, 70000, 24}, {0x40000000, 1, 32}, {1, -5, 8}};
  for (auto a : absurd) {
    FakeCodec codec;
    codec.W = a.w, codec.H = a.h, codec.Bpp = a.bpp;
    EXPECT_EQ(codec.Load(dir.File("f").c_str()), kErrMemory) << a.w << "x" << a.h;
  }
  FakeCodec codec;
  EXPECT_EQ(codec.Load(dir.File("missing").c_str()), kErrOpen);
  EXPECT_EQ(codec.LoadFromHandle(-1, nullptr), kErrOpen);
  EXPECT_EQ(GlobalLiveBlocks(), blocksBefore);
}
}  // namespace
