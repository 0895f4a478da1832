// The contour tracer: the outer boundary of the first object met by a
// row-by-row scan of a contour mask, as a closed polygon of pixel positions.
//
// The mask holds height x width bytes, row 0 at the top; non-zero is object.
// The method is an 8-neighbour radial sweep: around the current boundary
// pixel the neighbours are tried clockwise, starting just after the previous
// boundary pixel, and the trace ends at the first return to the start pixel.
#pragma once

#include "platform/core/wintypes.h"

// Writes the polygon to points (room for width * height points; the start
// pixel first, not repeated at the end) and returns its point count, or 0
// when there is no contour: no object pixel, an isolated start pixel, a step
// without a candidate, or a trace that would need width * height points or
// more. Also 0 when width * height does not fit a 32-bit signed integer.
int TraceContour(int height, int width, const BYTE* mask, POINT* points);

// One step: the first object pixel clockwise after previous around current.
bool FindNextContourPoint(int height, int width, const BYTE* mask, POINT previous,
                          POINT current, POINT& next);

// The neighbour of current one eighth of a turn clockwise after previous.
POINT NextNeighbour(POINT previous, POINT current);
