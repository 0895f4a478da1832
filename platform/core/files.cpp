#include "platform/core/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/core/atomic_file.h"
#include "platform/core/lowio.h"

int _access(const char* path, int mode) { return path ? ::access(path, mode) : -1; }

int _mkdir(const char* path) { return path ? ::mkdir(path, 0777) : -1; }

char* _getcwd(char* buffer, int size) {
  if (!buffer || size <= 0) return nullptr;
  return ::getcwd(buffer, std::size_t(size));
}

int _chdir(const char* path) { return path ? ::chdir(path) : -1; }

namespace {
constexpr std::size_t kKernelCopyChunk = std::size_t(1) << 30;
constexpr std::size_t kBufferedCopyChunk = std::size_t(1) << 20;

bool CopyByReadWrite(int in, int out) {
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferedCopyChunk]);
  if (!buffer) return false;
  for (;;) {
    long n = _read(in, buffer.get(), kBufferedCopyChunk);
    if (n <= 0) return n == 0;
    if (_write(out, buffer.get(), std::size_t(n)) != n) return false;
  }
}

// Errors with which copy_file_range declines a pair of files it cannot
// handle (other file system types, old kernels, special files) rather than
// reporting a failed transfer.
bool KernelCopyDeclined(int error) {
  return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP;
}

// Lets the kernel move the data (and share extents where the file system
// can); falls back to a buffered loop where it declines. A first call that
// reports end of file may come from a file whose size the kernel does not
// know (proc-like files), so that case is read the ordinary way too.
// A file whose size is known is done once that many bytes are copied,
// without a further call to find its end.
bool CopyContents(int in, int out, std::int64_t knownSize) {
  std::int64_t copied = 0;
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kKernelCopyChunk, 0);
    if (n > 0) {
      copied += n;
      if (knownSize > 0 && copied >= knownSize) return true;
      continue;
    }
    if (n == 0) return copied > 0 || CopyByReadWrite(in, out);
    if (errno == EINTR) continue;
    return copied == 0 && KernelCopyDeclined(errno) && CopyByReadWrite(in, out);
  }
}

bool TakeOverMetadata(int fd, const struct stat& from, bool ownerWritable) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1] = from.st_mtim;
  mode_t mode = from.st_mode & 0777;
  if (ownerWritable) mode |= S_IRUSR | S_IWUSR;
  return ::fchmod(fd, mode) == 0 && ::futimens(fd, times) == 0;
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
}  // namespace

CopyOutcome CopyFileTo(const char* source, const char* target, bool failIfExists,
                       bool ownerWritable) {
  if (!source || !target || !*target) return CopyOutcome::Failed;
  // A copy that cannot be made may still be a copy onto the file itself.
  auto notCopied = [&] {
    return IsSameFile(source, target) ? CopyOutcome::SameFile : CopyOutcome::Failed;
  };
  // Non-blocking, so that a named pipe given as source cannot hang the open.
  TFileHandle in(::open(source, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat from;
  if (!in.IsOpen() || ::fstat(in.Get(), &from) != 0 || !S_ISREG(from.st_mode))
    return notCopied();

  TAtomicFile temp(target);
  if (!temp.IsOpen() || !CopyContents(in.Get(), temp.Handle(), from.st_size) ||
      !TakeOverMetadata(temp.Handle(), from, ownerWritable))
    return notCopied();
  // Only an existing target is looked at, and only once the copy is made: a
  // new file costs no extra look-up in a folder that may hold thousands.
  CopyOutcome outcome = CopyOutcome::Copied;
  bool committed = temp.Commit([&] {
    struct stat existing;
    if (::stat(target, &existing) == 0 && SameInode(from, existing))
      outcome = CopyOutcome::SameFile;
    else if (failIfExists)
      outcome = CopyOutcome::Failed;
    return outcome == CopyOutcome::Copied;
  });
  if (committed) return CopyOutcome::Copied;
  return outcome == CopyOutcome::SameFile ? outcome : CopyOutcome::Failed;
}

BOOL CopyFileA(const char* source, const char* target, BOOL failIfExists) {
  return CopyFileTo(source, target, failIfExists, false) == CopyOutcome::Copied;
}

bool IsSameFile(const char* a, const char* b) {
  struct stat sa, sb;
  return a && b && ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && SameInode(sa, sb);
}

bool SetFileOwnerWritable(const char* path) {
  struct stat st;
  if (!path || ::stat(path, &st) != 0) return false;
  const mode_t wanted = (st.st_mode & 07777) | S_IRUSR | S_IWUSR;
  return wanted == (st.st_mode & 07777) || ::chmod(path, wanted) == 0;
}

namespace {
// Copies text into buffer when it fits with its terminator; returns the
// length, or 0 (buffer emptied) when it does not fit.
DWORD CopyOut(const std::string& text, char* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  if (text.size() >= size) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return DWORD(text.size());
}
}  // namespace

DWORD GetModuleFileName(char* buffer, DWORD size) {
  char link[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", link, sizeof link);
  std::string path = n > 0 && std::size_t(n) < sizeof link ? std::string(link, std::size_t(n)) : "";
  return CopyOut(path, buffer, size);
}

DWORD GetTempPath(DWORD size, char* buffer) {
  const char* env = std::getenv("TMPDIR");
  std::string dir = env && *env ? env : "/tmp";
  if (dir.back() != '/') dir += '/';
  return CopyOut(dir, buffer, size);
}

UINT GetTempFileName(const char* dir, const char* prefix, char* out) {
  if (!out) return 0;
  out[0] = '\0';
  if (!dir) return 0;
  std::string pattern = dir;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix ? prefix : "";
  pattern += "XXXXXX";
  if (pattern.size() >= std::size_t(MAX_PATH)) return 0;
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return 0;
  ::close(fd);
  std::memcpy(out, name.data(), name.size());
  return 1;
}

namespace {
std::string ParentOf(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  std::size_t slash = path.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

std::string AbsoluteFromWorkingDirectory(const char* path) {
  std::string result = path ? path : "";
  if (!result.empty() && result[0] == '/') return result;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return "";
  return std::string(cwd) + "/" + result;
}
}  // namespace

std::uint64_t GetDiskCapacity(const char* path) {
  std::string at = AbsoluteFromWorkingDirectory(path);
  if (at.empty()) return 0;
  for (;;) {
    struct statvfs fs;
    if (::statvfs(at.c_str(), &fs) == 0) return std::uint64_t(fs.f_blocks) * fs.f_frsize;
    if ((errno != ENOENT && errno != ENOTDIR) || at == "/") return 0;
    at = ParentOf(at);
  }
}
