// Writing a file so that readers never see it half-written: the bytes go to
// a new unnamed file in the target's folder (a hidden temporary one where
// the file system has no unnamed files), which takes the target's place only
// when every byte is written. A failed or interrupted write leaves an
// existing target untouched and nothing behind.
#pragma once

#include <cstddef>
#include <functional>
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
  // The same, but an existing target is replaced only when mayReplace says
  // so (it is asked only then, so a new file costs no extra look).
  bool Commit(const std::function<bool()>& mayReplace);

 private:
  void OpenNamedTemp();
  bool LinkUnnamed(const std::function<bool()>& mayReplace);
  bool RenameNamed(const std::function<bool()>& mayReplace);
  bool LinkTo(const std::string& self, const std::string& name) const;

  std::string Target;
  std::string TempPath;  // empty while the file has no name
  int Fd = -1;
  bool Failed = false;
};
