#include "tests/support/contour_fixtures.h"

#include "tests/support/byte_writer.h"

Bytes ContourFileBytes(int width, int height, const std::vector<POINT>& points) {
  Bytes bytes{'Q', 'U', 'O', 'R', 'I', 'N'};
  Append16(bytes, std::uint32_t(width));
  Append16(bytes, std::uint32_t(height));
  Append32(bytes, std::uint32_t(points.size()));
  for (const POINT& p : points) {
    Append32(bytes, std::uint32_t(p.x));
    Append32(bytes, std::uint32_t(p.y));
  }
  return bytes;
}

std::vector<POINT> RectangleBorder(int left, int top, int right, int bottom) {
  std::vector<POINT> points;
  for (int x = left; x <= right; ++x) points.push_back({x, top});
  for (int y = top + 1; y <= bottom; ++y) points.push_back({right, y});
  for (int x = right - 1; x >= left; --x) points.push_back({x, bottom});
  for (int y = bottom - 1; y > top; --y) points.push_back({left, y});
  return points;
}
