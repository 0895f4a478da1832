// Input files the benchmarks generate at start.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

// A file under $TMPDIR (or /tmp) holding the given bytes, removed when the
// object goes. suffix is the file-type text the readers and tools see.
class TBenchFile {
 public:
  TBenchFile(const std::vector<std::uint8_t>& bytes, const std::string& suffix) {
    const char* dir = std::getenv("TMPDIR");
    Path = std::string(dir && *dir ? dir : "/tmp") + "/quorin-bench-XXXXXX" + suffix;
    int fd = mkstemps(Path.data(), int(suffix.size()));
    if (fd < 0) return;
    for (std::size_t done = 0; done < bytes.size();) {
      ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
      if (n <= 0) break;
      done += std::size_t(n);
    }
    close(fd);
  }
  ~TBenchFile() { unlink(Path.c_str()); }
  TBenchFile(const TBenchFile&) = delete;
  TBenchFile& operator=(const TBenchFile&) = delete;

  std::string Path;
};
