#include "platform/core/command_line.h"

namespace {
std::vector<std::string>& Args() {
  static std::vector<std::string> args;
  return args;
}
}  // namespace

void SetCommandLineArgs(int argc, const char* const* argv) {
  Args().assign(argv, argv + (argc > 0 && argv ? argc : 0));
}

const std::vector<std::string>& GetCommandLineArgs() { return Args(); }
