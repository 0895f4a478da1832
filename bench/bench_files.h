// Input files the benchmarks generate at start.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

// The folder for the benchmarks' files: $TMPDIR, else /tmp.
inline std::string BenchTempDir() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir ? dir : "/tmp";
}

// A file under BenchTempDir(), removed when the object goes. suffix is the
// file-type text the readers and tools see. Path is empty when the file
// could not be made or written.
class TBenchFile {
 public:
  // write fills the file at the path it is given (for peer libraries that
  // write files by name); false when it failed.
  TBenchFile(const std::string& suffix, const std::function<bool(const std::string&)>& write) {
    std::string name = BenchTempDir() + "/quorin-bench-XXXXXX" + suffix;
    int fd = mkstemps(name.data(), int(suffix.size()));
    if (fd < 0) return;
    close(fd);
    if (write(name)) Path = name;
    else unlink(name.c_str());
  }
  // The file holds bytes.
  TBenchFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix)
      : TBenchFile(suffix, [&bytes](const std::string& name) { return WriteBytes(name, bytes); }) {}
  ~TBenchFile() {
    if (!Path.empty()) unlink(Path.c_str());
  }
  TBenchFile(const TBenchFile&) = delete;
  TBenchFile& operator=(const TBenchFile&) = delete;

  std::string Path;

 private:
  static bool WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::FILE* out = std::fopen(name.c_str(), "wb");
    if (!out) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && written;
  }
};
