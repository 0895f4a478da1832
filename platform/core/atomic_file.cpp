#include "platform/core/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/core/lowio.h"

TAtomicFile::TAtomicFile(const std::string& target) : Target(target) {
  if (target.empty() || target.back() == '/') return;
  // A short hidden name in the same folder (so the rename stays on one file
  // system), whatever the length of the target's own name.
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::random_device seed;
  for (int attempt = 0; attempt < 100 && Fd < 0; ++attempt) {
    char name[24];
    std::snprintf(name, sizeof name, ".tmp-%08x", unsigned(seed()));
    TempPath = folder + name;
    // O_EXCL: never reuse a name that exists; 0666 lets the umask decide.
    Fd = ::open(TempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd < 0 && errno != EEXIST) break;
  }
}

TAtomicFile::~TAtomicFile() {
  if (Fd >= 0) {
    ::close(Fd);
    ::unlink(TempPath.c_str());
  }
}

void TAtomicFile::Write(const void* data, std::size_t size) {
  if (Fd < 0 || Failed) return;
  if (size && _write(Fd, data, size) != long(size)) Failed = true;
}

bool TAtomicFile::Commit() {
  if (Fd < 0) return false;
  bool ok = !Failed && ::close(Fd) == 0;
  Fd = -1;
  if (ok && ::rename(TempPath.c_str(), Target.c_str()) == 0) return true;
  ::unlink(TempPath.c_str());
  return false;
}
