#include "contour/contour_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "contour/tracer.h"
#include "tests/support/contour_fixtures.h"
#include "tests/support/test_support.h"

namespace {
const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kRed = RGB(255, 0, 0);

bool InRect(int x, int y) { return x >= 10 && x <= 19 && y >= 5 && y <= 14; }

std::vector<BYTE> MaskOf(HGLOBAL block, COLORREF key) {
  TDib dib(block, AutoDelete);
  std::vector<BYTE> mask(std::size_t(dib.Width()) * dib.Height(), 0xEE);
  BuildContourMask(dib, key, mask.data());
  return mask;
}

TEST(ContourMask, TwentyFourBitComparesAllThreeChannels) {
  // Colours that differ from the key in one channel each are object.
  const COLORREF row[4] = {kWhite, RGB(254, 255, 255), RGB(255, 254, 255), RGB(255, 255, 254)};
  auto mask = MaskOf(MakePackedDib(4, 2, 24, [&](int x, int) { return row[x]; }), kWhite);
  EXPECT_EQ(mask, (std::vector<BYTE>{0, 1, 1, 1, 0, 1, 1, 1}));
}

TEST(ContourMask, RowsAreTopDown) {
  auto mask = MaskOf(MakePackedDib(1, 3, 24, [](int, int y) { return y == 0 ? kRed : kWhite; }),
                     kWhite);
  EXPECT_EQ(mask, (std::vector<BYTE>{1, 0, 0}));
}

TEST(ContourMask, EightBitMatchesColoursNotIndices) {
  // White stands under indices 0 and 2; index 3 lies beyond the 3-entry
  // table and counts as object.
  std::vector<COLORREF> table = {kWhite, kRed, kWhite};
  auto mask = MaskOf(MakePackedDib(4, 1, 8, [](int x, int) { return std::uint32_t(x); }, table),
                     kWhite);
  EXPECT_EQ(mask, (std::vector<BYTE>{0, 1, 0, 1}));
}

TEST(ContourFile, RedRectangleGivesThe36PointFileByteForByte) {
  HGLOBAL block = MakePackedDib(300, 200, 24, [](int x, int y) { return InRect(x, y) ? kRed : kWhite; });
  auto mask = MaskOf(block, kWhite);
  std::vector<POINT> points(mask.size());
  int n = TraceContour(200, 300, mask.data(), points.data());
  ASSERT_EQ(n, 36);
  TempDir dir;
  ASSERT_TRUE(WriteContourFile(dir.File("r.QuorinDaten").c_str(), 300, 200, points.data(), n));

  EXPECT_EQ(ReadFileBytes(dir.File("r.QuorinDaten")),
            ContourFileBytes(300, 200, RectangleBorder(10, 5, 19, 14)));
}

TEST(ContourFile, NoContourStillWritesTheHeader) {
  TempDir dir;
  ASSERT_TRUE(WriteContourFile(dir.File("e").c_str(), 7, 9, nullptr, 0));
  EXPECT_EQ(ReadFileBytes(dir.File("e")), ContourFileBytes(7, 9, {}));
}

TEST(ContourFile, WideImagesKeepLow16BitsOfWidthButFullCoordinates) {
  TempDir dir;
  POINT p[2] = {{70000, 1}, {70001, 1}};
  ASSERT_TRUE(WriteContourFile(dir.File("w").c_str(), 70000, 3, p, 2));
  ContourFile back;
  ASSERT_EQ(ReadContourFile(dir.File("w").c_str(), back), ContourReadResult::Ok);
  EXPECT_EQ(back.width, 70000 & 0xFFFF);
  EXPECT_EQ(back.points, (std::vector<POINT>(p, p + 2)));
}

TEST(ContourFile, FailureIsReportedAndLeavesNothingBehind) {
  TempDir dir;
  POINT p[1] = {{1, 1}};
  EXPECT_FALSE(WriteContourFile(dir.File("missing/x.QuorinDaten").c_str(), 1, 1, p, 1));
  // A directory in the target's place stays as it is.
  std::filesystem::create_directory(dir.File("taken"));
  EXPECT_FALSE(WriteContourFile(dir.File("taken").c_str(), 1, 1, p, 1));
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("taken")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(ContourFile, ReadingRefusesFilesWithoutMagicOrShortOfTheirCount) {
  TempDir dir;
  Bytes good = ContourFileBytes(2, 2, {{0, 0}});
  struct Case {
    Bytes bytes;
    ContourReadResult expected;
  } cases[] = {
      {good, ContourReadResult::Ok},
      {Bytes(good.begin(), good.end() - 1), ContourReadResult::Truncated},
      {Bytes(good.begin(), good.begin() + 10), ContourReadResult::Truncated},
      {Bytes{'Q', 'U', 'O'}, ContourReadResult::NoMagic},
      {Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ContourReadResult::NoMagic},
  };
  for (const Case& c : cases) {
    WriteFileBytes(dir.File("c"), c.bytes);
    ContourFile out;
    EXPECT_EQ(ReadContourFile(dir.File("c").c_str(), out), c.expected) << c.bytes.size();
  }
}

TEST(ContourFileName, KeepsQuorinDatenAnywhereElseReplacesTheExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"/d/pic.gif", "/d/pic.QuorinDaten"},
      {"/d/pic", "/d/pic.QuorinDaten"},
      {"/d/x.quorindaten", "/d/x.quorindaten"},
      {"/d/x.QuorinDaten.alt", "/d/x.QuorinDaten.alt"},
      {"/d.v/pic", "/d.v/pic.QuorinDaten"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(FixContourFileName(in), out) << in;
}
}  // namespace
