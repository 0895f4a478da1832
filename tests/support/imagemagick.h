// ImageMagick as the reference decoder of the comparison tests.
#pragma once

#include <string>

#include "tests/support/test_support.h"

// True when ImageMagick's convert can be run.
bool HaveImageMagick();

// The file's picture as ImageMagick decodes it: red, green, blue bytes per
// pixel, top row first. Empty when convert fails.
Bytes ImageMagickRgb(const std::string& file);
