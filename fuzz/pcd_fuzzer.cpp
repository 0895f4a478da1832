// Arbitrary bytes through the Photo CD reader, at each resolution it knows
// and at one it does not.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/pcd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TPCD codec;
  codec.Resolution = int(size % 4);
  LoadFromBytes(codec, data, size);
  return 0;
}
