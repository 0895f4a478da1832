#include "contour/tracer.h"

#include <cstdint>
#include <cstring>

POINT NextNeighbour(POINT p, POINT c) {
  if (p.y < c.y) {
    if (p.x < c.x) return {c.x, c.y - 1};      // up-left -> up
    if (p.x == c.x) return {c.x + 1, c.y - 1};  // up -> up-right
    return {c.x + 1, c.y};                      // up-right -> right
  }
  if (p.y == c.y && p.x > c.x) return {c.x + 1, c.y + 1};  // right -> down-right
  if (p.y > c.y) {
    if (p.x > c.x) return {c.x, c.y + 1};       // down-right -> down
    if (p.x == c.x) return {c.x - 1, c.y + 1};  // down -> down-left
    return {c.x - 1, c.y};                      // down-left -> left
  }
  return {c.x - 1, c.y - 1};  // left, or p == c -> up-left
}

bool FindNextContourPoint(int height, int width, const BYTE* mask, POINT previous,
                          POINT current, POINT& next) {
  for (int tries = 0; tries < 9; ++tries) {
    POINT q = NextNeighbour(previous, current);
    if (q.x >= 0 && q.x < width && q.y >= 0 && q.y < height &&
        mask[std::size_t(q.y) * std::size_t(width) + std::size_t(q.x)] != 0) {
      next = q;
      return true;
    }
    previous = q;
  }
  return false;
}

namespace {
// Index of the first non-zero byte, or count when there is none. memchr
// cannot look for "not zero", so skip zero words first.
std::size_t FirstObjectPixel(const BYTE* mask, std::size_t count) {
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, mask + i, 8);
    if (word) break;
  }
  while (i < count && mask[i] == 0) ++i;
  return i;
}
}  // namespace

int TraceContour(int height, int width, const BYTE* mask, POINT* points) {
  if (height <= 0 || width <= 0) return 0;
  std::int64_t bound64 = std::int64_t(height) * width;
  if (bound64 > INT32_MAX) return 0;
  const int bound = int(bound64);

  std::size_t first = FirstObjectPixel(mask, std::size_t(bound));
  if (first == std::size_t(bound)) return 0;
  const POINT start{LONG(first % std::size_t(width)), LONG(first / std::size_t(width))};

  points[0] = start;
  // The first direction comes from the upper-right neighbour, so the sweep
  // begins with the right neighbour and the polygon runs clockwise.
  POINT previous{start.x + 1, start.y - 1};
  POINT current = start;
  for (int n = 1; n < bound; ++n) {
    POINT next;
    if (!FindNextContourPoint(height, width, mask, previous, current, next)) return 0;
    if (next == start) return n;
    points[n] = next;
    previous = current;
    current = next;
  }
  return 0;
}
