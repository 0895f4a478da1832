#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "imagelib/bitmap_base.h"
#include "tests/support/test_support.h"

namespace {

// A reader that "reads" the rows it was given, so that the transforms can be
// run on a packed DIB held by a real TBitmap_Base.
class TMemoryImage : public TBitmap_Base {
 public:
  TMemoryImage(DWORD width, LONG height, DWORD bitCount, Bytes rows)
      : GivenWidth(width), GivenHeight(height), GivenBitCount(bitCount), Rows(std::move(rows)) {
    Rows.resize(RowStride(width, bitCount) * height);
    // The reader never touches the file; any valid handle number will do.
    EXPECT_EQ(LoadFromHandle(0, nullptr), kOk);
  }
  int ReadHeader(int, const char*) override {
    Width = GivenWidth;
    Height = GivenHeight;
    BitCount = GivenBitCount;
    Colors = ColorsForBitCount(WORD(BitCount));
    ComputeSizes();
    return kOk;
  }
  int ReadPalette(int, RGBQUAD*) override { return kOk; }
  int ReadBits(int, BYTE* bits) override {
    std::memcpy(bits, Rows.data(), Rows.size());
    return kOk;
  }
  int WriteDIB(int, HGLOBAL) override { return kOk; }

  Bytes HeldRows() const { return Bytes(Bits, Bits + ImageSize); }
  DWORD Stride() const { return RowStride(Width, BitCount); }

 private:
  DWORD GivenWidth;
  LONG GivenHeight;
  DWORD GivenBitCount;
  Bytes Rows;
};

// Bytes that are not a pattern of the pixel layout, including the padding.
Bytes Scrambled(std::size_t size) {
  Bytes out(size);
  std::uint32_t state = 12345;
  for (BYTE& b : out) {
    state = state * 1103515245u + 12345u;
    b = BYTE(state >> 16);
  }
  return out;
}

// Pixel x of a row as one value (24 bits: blue | green << 8 | red << 16).
std::uint32_t PixelAt(const BYTE* row, DWORD x, DWORD bitCount) {
  switch (bitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
    case 8: return row[x];
    default: return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
  }
}

// True when every bit of the row after its last pixel is zero.
bool PaddingIsZero(const BYTE* row, DWORD width, DWORD bitCount, DWORD stride) {
  for (std::size_t bit = std::size_t(width) * bitCount; bit < std::size_t(stride) * 8; ++bit)
    if (row[bit / 8] & (0x80 >> (bit % 8))) return false;
  return true;
}

TEST(MirrorHorizontal, ReversesPixelsOfEveryRowAndClearsPadding) {
  const DWORD bitCounts[] = {1, 4, 8, 24};
  const DWORD widths[] = {1, 2, 7, 8, 9, 16, 17, 33};
  for (DWORD bitCount : bitCounts) {
    for (DWORD width : widths) {
      SCOPED_TRACE(testing::Message() << bitCount << " bits, width " << width);
      const LONG height = 3;
      Bytes original = Scrambled(RowStride(width, bitCount) * height);
      TMemoryImage image(width, height, bitCount, original);
      ASSERT_EQ(image.MirrorHorizontal(), kOk);
      Bytes mirrored = image.HeldRows();
      DWORD stride = image.Stride();
      for (LONG y = 0; y < height; ++y) {
        const BYTE* before = original.data() + y * stride;
        const BYTE* after = mirrored.data() + y * stride;
        for (DWORD x = 0; x < width; ++x)
          ASSERT_EQ(PixelAt(after, x, bitCount), PixelAt(before, width - 1 - x, bitCount))
              << "row " << y << " x " << x;
        EXPECT_TRUE(PaddingIsZero(after, width, bitCount, stride)) << "row " << y;
      }
    }
  }
}

TEST(MirrorHorizontal, ExchangesTheTwoTriplesOfA24BitRow) {
  TMemoryImage image(2, 1, 24, {1, 2, 3, 4, 5, 6, 0, 0});
  ASSERT_EQ(image.MirrorHorizontal(), kOk);
  EXPECT_EQ(image.HeldRows(), (Bytes{4, 5, 6, 1, 2, 3, 0, 0}));
}

TEST(MirrorHorizontal, LeavesOtherBitCountsAsTheyAre) {
  for (DWORD bitCount : {16u, 32u}) {
    Bytes rows = Scrambled(RowStride(5, bitCount) * 2);
    TMemoryImage image(5, 2, bitCount, rows);
    EXPECT_EQ(image.MirrorHorizontal(), kOk);
    EXPECT_EQ(image.HeldRows(), rows) << bitCount;
  }
}

TEST(FlipVertical, ExchangesRowsAndKeepsTheMiddleOne) {
  for (LONG height : {3, 4}) {
    Bytes rows;
    for (LONG y = 0; y < height; ++y) rows.insert(rows.end(), 4, BYTE(y + 1));
    TMemoryImage image(4, height, 8, rows);
    ASSERT_EQ(image.FlipVertical(), kOk);
    Bytes flipped = image.HeldRows();
    for (LONG y = 0; y < height; ++y)
      EXPECT_EQ(Bytes(flipped.begin() + 4 * y, flipped.begin() + 4 * (y + 1)), Bytes(4, BYTE(height - y)))
          << "height " << height << " row " << y;
  }
}

TEST(Transforms, FailedTemporaryRowReturns1AndLeavesTheImage) {
  Bytes rows = Scrambled(RowStride(9, 4) * 3);
  TMemoryImage image(9, 3, 4, rows);
  std::size_t blocks = GlobalLiveBlocks();
  GlobalFailAllocation(1);
  EXPECT_EQ(image.FlipVertical(), 1);
  GlobalFailAllocation(1);
  EXPECT_EQ(image.MirrorHorizontal(), 1);
  GlobalFailAllocation(0);
  EXPECT_EQ(image.HeldRows(), rows);
  EXPECT_EQ(GlobalLiveBlocks(), blocks);
}

TEST(Transforms, RefuseGeometryBeyondTheHeldBlock) {
  TMemoryImage image(8, 2, 24, Scrambled(RowStride(8, 24) * 2));
  Bytes rows = image.HeldRows();
  image.Height = 1000;
  EXPECT_NE(image.FlipVertical(), kOk);
  EXPECT_NE(image.MirrorHorizontal(), kOk);
  image.Height = 2;
  image.Width = 0xFFFFFFFFu;
  EXPECT_NE(image.FlipVertical(), kOk);
  EXPECT_NE(image.MirrorHorizontal(), kOk);
  image.Width = 8;
  EXPECT_EQ(image.HeldRows(), rows);
}

}  // namespace
