// Arbitrary bytes through the Targa codec, as the loader hands it a file.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TTGA codec;
  LoadFromBytes(codec, data, size);
  return 0;
}
