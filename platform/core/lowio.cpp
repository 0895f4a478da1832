#include "platform/core/lowio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {
int PosixFlags(int flags) {
  int result = O_CLOEXEC;
  switch (flags & 3) {
    case _O_WRONLY: result |= O_WRONLY; break;
    case _O_RDWR: result |= O_RDWR; break;
    default: result |= O_RDONLY; break;
  }
  if (flags & _O_CREAT) result |= O_CREAT;
  if (flags & _O_TRUNC) result |= O_TRUNC;
  if (flags & _O_EXCL) result |= O_EXCL;
  return result;
}
}  // namespace

int _open(const char* path, int flags, int mode) {
  if (!path) return -1;
  int fd;
  do {
    fd = ::open(path, PosixFlags(flags), mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  // A directory opens on POSIX but cannot be read as a file.
  struct stat st;
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return -1;
  }
  return fd;
}

long _read(int fd, void* buffer, std::size_t count) {
  if (fd < 0) return -1;
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(fd, out + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done ? long(done) : -1;
    if (n == 0) break;
    done += std::size_t(n);
  }
  return long(done);
}

long _write(int fd, const void* buffer, std::size_t count) {
  if (fd < 0) return -1;
  auto* in = static_cast<const char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, in + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return done ? long(done) : -1;
    done += std::size_t(n);
  }
  return long(done);
}

std::int64_t _lseek(int fd, std::int64_t offset, int origin) {
  if (fd < 0) return -1;
  int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
  return ::lseek(fd, off_t(offset), whence);
}

std::int64_t _filelength(int fd) {
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) return -1;
  return st.st_size;
}

int _close(int fd) { return fd < 0 ? -1 : ::close(fd); }
