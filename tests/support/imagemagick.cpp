#include "tests/support/imagemagick.h"

#include <cstdlib>

bool HaveImageMagick() { return std::system("command -v convert >/dev/null 2>&1") == 0; }

Bytes ImageMagickRgb(const std::string& file) {
  TempDir dir;
  std::string out = dir.File("picture.rgb");
  std::string command = "convert '" + file + "' -depth 8 rgb:'" + out + "'";
  if (std::system(command.c_str()) != 0) return {};
  return ReadFileBytes(out);
}
