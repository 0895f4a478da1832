// The key colour taken from a click on the picture.
#pragma once

#include "platform/core/dib.h"
#include "platform/core/wintypes.h"

// The colour a display shows for pixel (x, y) of the picture (y = 0 at the
// top): colour-table images through their table, 16-bit as 5-5-5, 24 and
// 32 bits as blue, green, red. Black outside the picture.
COLORREF PixelColour(const TDib& image, LONG x, LONG y);

// The key colour for a click at (x, y) where the screen showed `shown`: for an
// image without a colour table the pixel's own value, for a table of exactly
// 256 entries the entry of the pixel's index, for any other table the entry
// nearest to the shown colour. So for 24- and 8-bit pictures the key is the
// value the mask is built against, whatever the display made of it.
COLORREF KeyColourForClick(const TDib& image, LONG x, LONG y, COLORREF shown);
