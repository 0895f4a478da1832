// ImageMagick as the reference decoder of the comparison tests: the one
// place that runs its convert program.
#pragma once

#include <string>

#include "tests/support/test_support.h"

// True when ImageMagick's convert is on the PATH.
bool HaveImageMagick();

// What to ask convert for; the defaults give every image of the file (one
// for most formats) as red, green, blue bytes.
struct MagickRequest {
  // Only the first image of a file that may hold several ("file[0]").
  bool firstImage = false;
  // One grey byte per pixel instead of red, green, blue.
  bool grey = false;
  // Take what convert wrote even when it ends with a non-zero status, as it
  // does after warnings about a damaged but readable file.
  bool despiteWarnings = false;
};

// The file's picture as ImageMagick decodes it, 8 bits per sample, top row
// first. Empty when convert fails or writes nothing.
Bytes ImageMagickPixels(const std::string& file, const MagickRequest& request = {});
