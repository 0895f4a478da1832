// Feeds arbitrary bytes to the BMP/DIB codec, once as the loader does (no
// options) and once with the options that reach the bitmap-array walk and
// the colour swap.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/bmp.h"

namespace {
// A run-length file of a few bytes may describe a 2 GiB picture.
constexpr std::uint64_t kMaxPixels = 16u << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    _TDIB codec;
    LoadUnlessHuge(codec, data, size, nullptr, kMaxPixels);
  }
  _TDIB codec;
  LoadUnlessHuge(codec, data, size, "inv invb index=1", kMaxPixels);
  return 0;
}
