#include "platform/core/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/core/lowio.h"

namespace {
std::string FolderOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : target.substr(0, slash);
}

// A short hidden name in the target's folder (so a rename stays on one file
// system), whatever the length of the target's own name.
std::string TempNameBeside(const std::string& target) {
  static std::random_device seed;
  std::string folder = FolderOf(target);
  char name[24];
  std::snprintf(name, sizeof name, "%s.tmp-%08x", folder.back() == '/' ? "" : "/",
                unsigned(seed()));
  return folder + name;
}

std::string ProcPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }
}  // namespace

TAtomicFile::TAtomicFile(const std::string& target) : Target(target) {
  if (target.empty() || target.back() == '/') return;
  // An unnamed file in the target's folder: nothing shows in the folder
  // until Commit links it, and nothing is left if the program dies first.
  Fd = ::open(FolderOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (Fd < 0) OpenNamedTemp();
}

// For file systems without unnamed files.
void TAtomicFile::OpenNamedTemp() {
  for (int attempt = 0; attempt < 100 && Fd < 0; ++attempt) {
    TempPath = TempNameBeside(Target);
    // O_EXCL: never reuse a name that exists; 0666 lets the umask decide.
    Fd = ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd < 0 && errno != EEXIST) break;
  }
  if (Fd < 0) TempPath.clear();
}

TAtomicFile::~TAtomicFile() {
  if (Fd < 0) return;
  ::close(Fd);
  if (!TempPath.empty()) ::unlink(TempPath.c_str());
}

void TAtomicFile::Write(const void* data, std::size_t size) {
  if (Fd < 0 || Failed) return;
  if (size && _write(Fd, data, size) != long(size)) Failed = true;
}

bool TAtomicFile::Commit() {
  return Commit([] { return true; });
}

bool TAtomicFile::Commit(const std::function<bool()>& mayReplace) {
  if (Fd < 0 || Failed) return false;
  bool ok = TempPath.empty() ? LinkUnnamed(mayReplace) : RenameNamed(mayReplace);
  ok = ::close(Fd) == 0 && ok;
  Fd = -1;
  if (!ok && !TempPath.empty()) ::unlink(TempPath.c_str());
  TempPath.clear();
  return ok;
}

bool TAtomicFile::RenameNamed(const std::function<bool()>& mayReplace) {
  if (::access(Target.c_str(), F_OK) == 0 && !mayReplace()) return false;
  return ::rename(TempPath.c_str(), Target.c_str()) == 0;
}

// Links the open file to name: straight from the handle where the process
// may do that, else through its /proc entry. errno tells why it failed.
bool TAtomicFile::LinkTo(const std::string& self, const std::string& name) const {
  if (::linkat(Fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  if (errno != EPERM && errno != ENOENT) return false;
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Gives the unnamed file the target's name: directly when the name is
// free, else under a temporary name that then replaces the target.
bool TAtomicFile::LinkUnnamed(const std::function<bool()>& mayReplace) {
  const std::string self = ProcPath(Fd);
  if (LinkTo(self, Target)) return true;
  if (errno != EEXIST || !mayReplace()) return false;
  for (int attempt = 0; attempt < 100; ++attempt) {
    TempPath = TempNameBeside(Target);
    if (LinkTo(self, TempPath)) return ::rename(TempPath.c_str(), Target.c_str()) == 0;
    if (errno != EEXIST) break;
  }
  TempPath.clear();
  return false;
}
