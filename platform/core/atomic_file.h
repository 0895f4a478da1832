// Writing a file so that readers never see it half-written: the bytes go to
// a new unnamed file in the target's folder (a hidden temporary one where
// the file system has no unnamed files), which takes the target's place only
// when every byte is written. A failed or interrupted write leaves an
// existing target untouched and nothing behind.
#pragma once

#include <cstddef>
#include <string>

class TAtomicFile {
 public:
  // Creates the temporary file in the target's folder (mode 0666 less the
  // umask, like any new file).
  explicit TAtomicFile(const std::string& target);
  // Removes the temporary file unless Commit succeeded.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  bool IsOpen() const { return Fd >= 0; }
  // The open handle, for writers that take one; report their failure with
  // MarkFailed.
  int Handle() const { return Fd; }
  void MarkFailed() { Failed = true; }
  // Appends bytes; a failure is remembered and makes Commit fail.
  void Write(const void* data, std::size_t size);
  // Closes the file and renames it over the target; false on any failure.
  bool Commit();

 private:
  void OpenNamedTemp();
  bool LinkUnnamed();

  std::string Target;
  std::string TempPath;  // empty while the file has no name
  int Fd = -1;
  bool Failed = false;
};
