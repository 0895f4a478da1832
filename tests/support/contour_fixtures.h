// Expected contours and contour files, as the tests of the tracer's users
// spell them out.
#pragma once

#include <vector>

#include "platform/core/wintypes.h"
#include "tests/support/test_support.h"

// The contour file of the points, byte for byte: "QUORIN", the low 16 bits
// of width and height, the point count, then x and y of each point.
Bytes ContourFileBytes(int width, int height, const std::vector<POINT>& points);

// The border pixels of a rectangle, clockwise from its top-left pixel: the
// contour of a filled rectangle.
std::vector<POINT> RectangleBorder(int left, int top, int right, int bottom);
