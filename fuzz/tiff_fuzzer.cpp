// Arbitrary bytes through the TIFF reader, by path as the loader hands it a
// file.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/tiff.h"
#include "platform/core/lowio.h"

namespace {
// A few bytes of LZW or PackBits may claim a picture of up to 2 GiB, which
// is legal; allocating and poisoning such blocks costs the fuzzer far more
// than the handful of rows the data fill, without reaching new code.
constexpr std::uint64_t kMaxPixels = 16u << 20;

bool AsksForHugePicture(const char* path) {
  TFileHandle file(_open(path, _O_RDONLY | _O_BINARY));
  TTIF probe;
  return probe.ReadHeader(file.Get(), nullptr) == kOk &&
         std::uint64_t(probe.Width) * std::uint64_t(probe.Height) > kMaxPixels;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* path = PathForBytes(data, size);
  if (AsksForHugePicture(path)) return 0;
  TTIF codec;
  codec.Load(path);
  return 0;
}
