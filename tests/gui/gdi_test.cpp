// Drawing side of the platform layer: the DIB as the windows show it, and
// polygon regions.
#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <vector>

#include "platform/gdi/gdi.h"
#include "tests/support/qt_support.h"

namespace {
// A packed DIB block: header, masks (bit fields), colour table, rows.
HGLOBAL MakeDib(int width, int height, int bits, DWORD compression, const std::vector<DWORD>& masks,
                const std::vector<RGBQUAD>& colours, const std::vector<BYTE>& rows) {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = WORD(bits);
  h.biCompression = compression;
  h.biClrUsed = DWORD(colours.size());
  std::size_t size = sizeof h + masks.size() * 4 + colours.size() * 4 + rows.size();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  auto* p = static_cast<BYTE*>(GlobalLock(block));
  auto put = [&p](const void* data, std::size_t size) {
    if (size) std::memcpy(p, data, size);
    p += size;
  };
  put(&h, sizeof h);
  put(masks.data(), masks.size() * 4);
  put(colours.data(), colours.size() * 4);
  put(rows.data(), rows.size());
  GlobalUnlock(block);
  return block;
}

constexpr RGBQUAD kBlack{0, 0, 0, 0}, kRed{0, 0, 255, 0}, kGreen{0, 255, 0, 0},
    kBlue{255, 0, 0, 0};

struct PixelCase {
  const char* name;
  int bits;
  DWORD compression;
  std::vector<DWORD> masks;
  std::vector<RGBQUAD> colours;
  std::vector<BYTE> row;  // one row of two pixels, padded to 4 bytes
  QRgb left, right;
};
void PrintTo(const PixelCase& c, std::ostream* os) { *os << c.name; }

class DibToQImageTest : public testing::TestWithParam<PixelCase> {};

TEST_P(DibToQImageTest, ShowsEachLayoutsColours) {
  const PixelCase& c = GetParam();
  TDib dib(MakeDib(2, 1, c.bits, c.compression, c.masks, c.colours, c.row), AutoDelete);
  QImage image = DibToQImage(dib);
  ASSERT_EQ(image.size(), QSize(2, 1));
  EXPECT_EQ(image.pixel(0, 0), c.left);
  EXPECT_EQ(image.pixel(1, 0), c.right);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, DibToQImageTest,
    testing::Values(
        PixelCase{"bits1", 1, BI_RGB, {}, {kBlack, kRed}, {0x40, 0, 0, 0}, qRgb(0, 0, 0), qRgb(255, 0, 0)},
        // Index 15 lies beyond the 4-entry table: black.
        PixelCase{"bits4", 4, BI_RGB, {}, {kBlack, kRed, kGreen, kBlue}, {0x3F, 0, 0, 0},
                  qRgb(0, 0, 255), qRgb(0, 0, 0)},
        PixelCase{"bits8", 8, BI_RGB, {}, {kBlack, kGreen}, {1, 200, 0, 0}, qRgb(0, 255, 0), qRgb(0, 0, 0)},
        PixelCase{"bits16", 16, BI_RGB, {}, {}, {0x00, 0x7C, 0xE0, 0x03}, qRgb(248, 0, 0), qRgb(0, 248, 0)},
        PixelCase{"bits16masks565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, {}, {0xE0, 0x07, 0x1F, 0x00},
                  qRgb(0, 252, 0), qRgb(0, 0, 248)},
        PixelCase{"bits24", 24, BI_RGB, {}, {}, {10, 20, 30, 40, 50, 60, 0, 0}, qRgb(30, 20, 10), qRgb(60, 50, 40)},
        PixelCase{"bits32", 32, BI_RGB, {}, {}, {1, 2, 3, 0, 4, 5, 6, 0}, qRgb(3, 2, 1), qRgb(6, 5, 4)},
        // Red in the low byte: the masks, not the byte order, decide.
        PixelCase{"bits32masks", 32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000}, {}, {1, 2, 3, 0, 4, 5, 6, 0},
                  qRgb(1, 2, 3), qRgb(4, 5, 6)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DibToQImage, RowsMissingFromTheBlockStayBlack) {
  // Two rows claimed, one stored: the stored one is the bottom row.
  TDib dib(MakeDib(1, 2, 24, BI_RGB, {}, {}, {255, 255, 255, 0}), AutoDelete);
  QImage image = DibToQImage(dib);
  ASSERT_EQ(image.size(), QSize(1, 2));
  EXPECT_EQ(image.pixel(0, 0), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(0, 1), qRgb(255, 255, 255));
}

TEST(DibToQImage, RefusesWhatItCannotShow) {
  TDib rle(MakeDib(2, 1, 8, BI_RLE8, {}, {kBlack}, {0, 0, 0, 0}), AutoDelete);
  TDib noMasks(MakeDib(2, 1, 16, BI_BITFIELDS, {}, {}, {}), AutoDelete);
  TDib noHeader(GlobalAlloc(GHND, 10), AutoDelete);
  EXPECT_TRUE(DibToQImage(rle).isNull());
  EXPECT_TRUE(DibToQImage(noMasks).isNull());
  EXPECT_TRUE(DibToQImage(noHeader).isNull());
}

TEST(TRegion, TooFewPointsRaiseTheGdiError) {
  POINT one{3, 4};
  for (int count : {0, 1}) {
    try {
      TRegion region(&one, count, WINDING);
      ADD_FAILURE() << count << " points made a region";
    } catch (const TXGdi& error) {
      EXPECT_STREQ(error.what(), "GDI failure");
    }
  }
}

TEST(TRegion, CoversThePolygonWithoutItsRightAndBottomEdges) {
  const POINT square[] = {{10, 5}, {19, 5}, {19, 14}, {10, 14}};
  TRegion region(square, 4, WINDING);
  EXPECT_EQ(region.GetRegion(), QRegion(10, 5, 9, 9));
}

TEST(TRegion, FillModeDecidesTheMiddleOfAStar) {
  // A five-pointed star drawn in one stroke: its middle is wound twice.
  const POINT star[] = {{50, 0}, {79, 90}, {2, 34}, {97, 34}, {20, 90}};
  EXPECT_TRUE(TRegion(star, 5, WINDING).GetRegion().contains(QPoint(50, 50)));
  EXPECT_FALSE(TRegion(star, 5, ALTERNATE).GetRegion().contains(QPoint(50, 50)));
}
}  // namespace
