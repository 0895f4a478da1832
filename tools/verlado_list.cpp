// verlado-list: writes, reads and runs verlado's copy lists.
//
//   verlado-list make LIST [--flag N] < PAIRS   one "source<TAB>target" per line
//   verlado-list show LIST                     "source<TAB>target<TAB>flag" as stored
//   verlado-list run LIST                      copy without a window
//
// run: progress on stdout, the message list on stderr; exit 0 clean, 1 with
// warnings, 2 error or cancelled (Ctrl-C stops before the next file, as the
// window's "Abbruch" does).
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "verlado_app/copy_engine.h"

namespace {
constexpr const char* kUsageText =
    "usage: verlado-list make LIST [--flag N] < PAIRS   (one \"source<TAB>target\" per line)\n"
    "       verlado-list show LIST\n"
    "       verlado-list run LIST\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "verlado-list: %s\n%s", problem.c_str(), kUsageText);
  return 2;
}

int Make(const std::string& list, int flag) {
  std::vector<TCopyInfo> entries;
  std::string line;
  for (int number = 1; std::getline(std::cin, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    std::size_t tab = line.find('\t');
    if (tab == std::string::npos)
      return Usage("line " + std::to_string(number) + ": expected source<TAB>target");
    entries.push_back({line.substr(0, tab), line.substr(tab + 1), char(flag)});
  }
  if (!WriteCopyListFile(list.c_str(), entries)) {
    std::fprintf(stderr, "verlado-list: %s: cannot write the list (a path too long, or the "
                         "file cannot be written)\n", list.c_str());
    return 3;
  }
  return 0;
}

int Show(const std::string& list) {
  std::vector<TCopyInfo> entries;
  switch (ReadCopyListEntries(list.c_str(), entries)) {
    case CopyListResult::Ok: break;
    case CopyListResult::CannotOpen:
      std::fprintf(stderr, "verlado-list: %s: cannot open the list\n", list.c_str());
      return 1;
    case CopyListResult::Corrupt:
      std::fprintf(stderr, "verlado-list: %s: the list is damaged (shorter than its counts "
                           "say)\n", list.c_str());
      return 1;
  }
  for (const TCopyInfo& e : entries)
    std::printf("%s\t%s\t%u\n", e.Source.c_str(), e.Target.c_str(), unsigned(static_cast<unsigned char>(e.Flag)));
  return 0;
}

volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// The engine with progress lines on the console; Ctrl-C asks it to stop.
class TConsoleCopyManager : public TCopyManager {
 public:
  void Progress(int index, int count, const std::string& source,
                const std::string& target) override {
    std::printf("[%d/%d] %s -> %s\n", index, count, source.c_str(), target.c_str());
    std::fflush(stdout);
  }

 protected:
  bool BreakKeyPressed() override { return interrupted != 0; }
};

void PrintMessages(const std::vector<std::string>& messages) {
  for (std::string text : messages) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

int RunList(const std::string& list) {
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  TConsoleCopyManager manager;
  bool ok = manager.ReadCopyList(list.c_str()) && manager.Run();
  PrintMessages(manager.Messages);
  if (!ok) return 2;
  return manager.Messages.empty() ? 0 : 1;
}

bool ParseFlag(const std::string& text, int& flag) {
  std::size_t used = 0;
  try {
    flag = std::stoi(text, &used);
  } catch (const std::exception&) {
    return false;
  }
  return used == text.size() && flag >= 0 && flag <= 255;
}

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("missing arguments");
  const std::string& command = args[0];
  if (command == "show" && args.size() == 2) return Show(args[1]);
  if (command == "run" && args.size() == 2) return RunList(args[1]);
  if (command == "make" && args.size() == 2) return Make(args[1], 0);
  int flag = 0;
  if (command == "make" && args.size() == 4 && args[2] == "--flag")
    return ParseFlag(args[3], flag) ? Make(args[1], flag) : Usage("--flag takes 0 to 255");
  return Usage("wrong arguments for '" + command + "'");
}
}  // namespace

int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
