#include "tests/support/imagemagick.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace {
// The full path of convert from the PATH, or "" (the command runner needs a
// path, not a name).
std::string ConvertProgram() {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    std::string candidate = (dir.empty() ? "." : dir) + "/convert";
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return {};
}
}  // namespace

bool HaveImageMagick() { return !ConvertProgram().empty(); }

Bytes ImageMagickPixels(const std::string& file, const MagickRequest& request) {
  TempDir dir;
  std::string out = dir.File("picture.raw");
  CommandResult result =
      RunCommand({ConvertProgram(), file + (request.firstImage ? "[0]" : ""), "-depth", "8",
                  (request.grey ? "gray:" : "rgb:") + out});
  bool finished = result.status == 0 || (result.status > 0 && request.despiteWarnings);
  return finished ? ReadFileBytes(out) : Bytes();
}
