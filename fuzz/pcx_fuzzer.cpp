// Arbitrary bytes through the PCX reader, with and without the "trunc" option.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/pcx.h"

namespace {
// A cut-off file decodes whatever its size (the missing pixels read as 255),
// so a few header bytes can ask for up to 2 GiB of pixels. Such pictures
// only cost the fuzzer seconds and gigabytes without reaching new code.
constexpr std::uint64_t kMaxPixelBytes = 16u << 20;

bool AsksForHugePicture(const std::uint8_t* data, std::size_t size) {
  if (size < 12) return false;
  auto u16 = [&](std::size_t at) { return std::int64_t(data[at] | data[at + 1] << 8); };
  std::int64_t width = u16(8) - u16(4) + 1, height = u16(10) - u16(6) + 1;
  return width > 0 && height > 0 && std::uint64_t(width * height) * 3 > kMaxPixelBytes;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (AsksForHugePicture(data, size)) return 0;
  TPCX codec;
  LoadFromBytes(codec, data, size, size % 2 ? "trunc" : nullptr);
  return 0;
}
