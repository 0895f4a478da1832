#include "contour/tracer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// A mask drawn as text rows: '#' object, '.' background.
struct Mask {
  int width = 0, height = 0;
  std::vector<BYTE> bytes;
  explicit Mask(const std::vector<std::string>& rows) {
    height = int(rows.size());
    width = height ? int(rows[0].size()) : 0;
    for (const auto& row : rows)
      for (char c : row) bytes.push_back(c == '#');
  }
};

std::vector<POINT> Trace(const Mask& m) {
  std::vector<POINT> points(std::size_t(m.width) * m.height + 1, POINT{-7, -7});
  int n = TraceContour(m.height, m.width, m.bytes.data(), points.data());
  // The tracer must never write past width * height points.
  EXPECT_EQ(points.back(), (POINT{-7, -7}));
  points.resize(std::size_t(n));
  return points;
}

struct Case {
  const char* name;
  std::vector<std::string> rows;
  std::vector<POINT> expected;
};

class TracerCases : public ::testing::TestWithParam<Case> {};

TEST_P(TracerCases, TracesTheOuterContourClockwise) {
  EXPECT_EQ(Trace(Mask(GetParam().rows)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Contours, TracerCases,
    ::testing::Values(
        Case{"empty", {"...", "...", "..."}, {}},
        Case{"single_pixel", {"...", ".#.", "..."}, {}},
        Case{"horizontal_pair", {"....", ".##.", "...."}, {{1, 1}, {2, 1}}},
        Case{"vertical_pair", {"...", ".#.", ".#.", "..."}, {{1, 1}, {1, 2}}},
        Case{"diagonal_pair", {"....", ".#..", "..#.", "...."}, {{1, 1}, {2, 2}}},
        Case{"block_2x2", {"....", ".##.", ".##.", "...."}, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}},
        Case{"full_3x3", {"###", "###", "###"},
             {{0, 0}, {1, 0}, {2, 0}, {2, 1}, {2, 2}, {1, 2}, {0, 2}, {0, 1}}},
        Case{"thin_line_out_and_back", {"...", "###", "..."}, {{0, 1}, {1, 1}, {2, 1}, {1, 1}}},
        // The bound is the whole mask: these need as many points as it has.
        Case{"full_2x2_reaches_bound", {"##", "##"}, {}},
        Case{"full_1x2_reaches_bound", {"##"}, {}},
        Case{"start_joins_two_parts", {".#.", "#.#"}, {{1, 0}, {2, 1}}},
        Case{"topmost_object_only", {"......", "..#...", "..#...", "......", "####..", "......"},
             {{2, 1}, {2, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Tracer, NonPositiveOrOverflowingSizesGiveZero) {
  BYTE one = 1;
  POINT p[1];
  EXPECT_EQ(TraceContour(0, 5, &one, p), 0);
  EXPECT_EQ(TraceContour(5, -1, &one, p), 0);
  // 65536 x 65536 does not fit a 32-bit signed count; nothing is read.
  EXPECT_EQ(TraceContour(65536, 65536, nullptr, p), 0);
}

TEST(Tracer, RectangleInLargeMaskRunsClockwiseFromTopLeft) {
  // The red rectangle of the sample picture: columns 10..19, rows 5..14.
  std::vector<std::string> rows(200, std::string(300, '.'));
  for (int y = 5; y <= 14; ++y) rows[y].replace(10, 10, std::string(10, '#'));
  std::vector<POINT> points = Trace(Mask(rows));
  ASSERT_EQ(points.size(), 36u);
  EXPECT_EQ(points[0], (POINT{10, 5}));
  EXPECT_EQ(points[9], (POINT{19, 5}));
  EXPECT_EQ(points[10], (POINT{19, 6}));
  EXPECT_EQ(points[35], (POINT{10, 6}));
}

TEST(Tracer, ObjectTouchingEveryBorderIsTracedAlongTheBorder) {
  std::vector<std::string> rows(200, std::string(300, '#'));
  std::vector<POINT> points = Trace(Mask(rows));
  ASSERT_EQ(points.size(), 996u);
  EXPECT_EQ(points[0], (POINT{0, 0}));
  EXPECT_EQ(points[299], (POINT{299, 0}));
  EXPECT_EQ(points.back(), (POINT{0, 1}));
}

TEST(Tracer, NextNeighbourCyclesClockwise) {
  const POINT c{5, 5};
  // up-left, up, up-right, right, down-right, down, down-left, left
  const POINT ring[8] = {{4, 4}, {5, 4}, {6, 4}, {6, 5}, {6, 6}, {5, 6}, {4, 6}, {4, 5}};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(NextNeighbour(ring[i], c), ring[(i + 1) % 8]) << i;
  EXPECT_EQ(NextNeighbour(c, c), ring[0]);
}
}  // namespace
