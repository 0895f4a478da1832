// Arbitrary bytes through the GIF reader, first image and a later one.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "imagelib/gif.h"

namespace {
// A screen or an image of up to 65535 x 65535 pixels is legal: the DIB and
// the index block may reach 2 GiB, and the rows of an image that covers the
// screen are copied even when its data are a handful of bytes. Such inputs
// cost the fuzzer seconds and gigabytes (the sanitizer maps every block it
// hands out) without reaching new code.
constexpr std::uint64_t kMaxPixels = 16u << 20;

class TBlockWalk {
 public:
  TBlockWalk(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}

  // True when the screen or an image found by walking the blocks the way
  // the reader does asks for more than kMaxPixels.
  bool AsksForHugePicture() {
    if (Size < 13) return false;
    if (Area(6) > kMaxPixels) return true;
    At = 13 + TableBytes(Data[10]);
    while (At < Size) {
      std::uint8_t introducer = Data[At++];
      if (introducer == 0x21) {
        ++At;  // label
        SkipSubBlocks();
      } else if (introducer == 0x2C) {
        if (At + 9 > Size) return false;
        if (Area(At + 4) > kMaxPixels) return true;
        At += 9 + TableBytes(Data[At + 8]) + 1;  // descriptor, table, code size
        SkipSubBlocks();
      } else if (introducer != 0) {
        return false;
      }
    }
    return false;
  }

 private:
  std::uint64_t U16(std::size_t at) const { return Data[at] | Data[at + 1] << 8; }
  std::uint64_t Area(std::size_t at) const { return U16(at) * U16(at + 2); }
  static std::size_t TableBytes(std::uint8_t packed) {
    return packed & 0x80 ? std::size_t(3) << ((packed & 7) + 1) : 0;
  }
  void SkipSubBlocks() {
    while (At < Size && Data[At] != 0) At += Data[At] + 1u;
    ++At;
  }

  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t At = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (TBlockWalk(data, size).AsksForHugePicture()) return 0;
  TGIF codec;
  codec.ImageIndex = size % 3 == 0 ? 1 : 0;
  LoadFromBytes(codec, data, size);
  return 0;
}
