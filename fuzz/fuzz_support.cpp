#include "fuzz/fuzz_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "imagelib/bitmap_base.h"

namespace {
int memoryFile = -1;
char memoryPath[64];

int Fill(const std::uint8_t* data, std::size_t size) {
  if (memoryFile < 0) memoryFile = memfd_create("fuzz-input", 0);
  if (memoryFile < 0 || ftruncate(memoryFile, 0) != 0) return -1;
  if (size && pwrite(memoryFile, data, size, 0) != ssize_t(size)) return -1;
  lseek(memoryFile, 0, SEEK_SET);
  return memoryFile;
}
}  // namespace

int LoadFromBytes(TBitmap_Base& codec, const std::uint8_t* data, std::size_t size,
                  const char* options) {
  int fd = Fill(data, size);
  return fd < 0 ? -1 : codec.LoadFromHandle(fd, options);
}

int LoadUnlessHuge(TBitmap_Base& codec, const std::uint8_t* data, std::size_t size,
                   const char* options, std::uint64_t maxPixels) {
  int fd = Fill(data, size);
  if (fd < 0) return -1;
  if (codec.ReadHeader(fd, options) == kOk &&
      std::uint64_t(codec.Width) * std::uint64_t(codec.Height > 0 ? codec.Height : 0) > maxPixels)
    return -1;
  lseek(fd, 0, SEEK_SET);
  return codec.LoadFromHandle(fd, options);
}

const char* PathForBytes(const std::uint8_t* data, std::size_t size) {
  int fd = Fill(data, size);
  if (fd < 0) return "";
  std::snprintf(memoryPath, sizeof memoryPath, "/proc/self/fd/%d", fd);
  return memoryPath;
}
