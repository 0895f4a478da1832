// Low-level file handles of the C run-time library, on POSIX descriptors.
//
// Every reader of the image library works on such a handle. Reads and writes
// loop over short transfers and interrupted calls, so a result below the
// request means end of file or an error, never a transient condition.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int _O_RDONLY = 0x0000;
constexpr int _O_WRONLY = 0x0001;
constexpr int _O_RDWR = 0x0002;
constexpr int _O_CREAT = 0x0100;
constexpr int _O_TRUNC = 0x0200;
constexpr int _O_EXCL = 0x0400;
constexpr int _O_BINARY = 0x8000;  // no effect here; files are always binary

constexpr int _S_IREAD = 0400;
constexpr int _S_IWRITE = 0200;


// Returns a handle >= 0, or -1 when the file cannot be opened.
int _open(const char* path, int flags, int mode = 0666);
// Returns the number of bytes read (less than count only at end of file or
// on an error), or -1 when nothing could be read because of an error.
long _read(int fd, void* buffer, std::size_t count);
// Returns the number of bytes written, or -1.
long _write(int fd, const void* buffer, std::size_t count);
// Returns the new position, or -1.
std::int64_t _lseek(int fd, std::int64_t offset, int origin);
// Returns the file's length, or -1.
std::int64_t _filelength(int fd);
int _close(int fd);

// True when exactly count bytes were read.
inline bool ReadExactly(int fd, void* buffer, std::size_t count) {
  return _read(fd, buffer, count) == long(count);
}
// True when the position is now offset from the file's start.
inline bool SeekTo(int fd, std::int64_t offset) { return _lseek(fd, offset, 0) == offset; }

// Closes the handle when the scope ends.
class TFileHandle {
 public:
  explicit TFileHandle(int fd = -1) : Fd(fd) {}
  ~TFileHandle() {
    if (Fd >= 0) _close(Fd);
  }
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  int Get() const { return Fd; }
  bool IsOpen() const { return Fd >= 0; }

 private:
  int Fd;
};
