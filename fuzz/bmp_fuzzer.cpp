// Feeds arbitrary bytes to the BMP/DIB codec, once as the loader does (no
// options) and once with the options that reach the bitmap-array walk and
// the colour swap.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    _TDIB codec;
    LoadFromBytes(codec, data, size);
  }
  _TDIB codec;
  LoadFromBytes(codec, data, size, "inv invb index=1");
  return 0;
}
