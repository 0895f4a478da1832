// Reading a 16-megapixel run-length Targa file with TTGA, beside ImageMagick
// converting the same file to BMP as a whole process.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/reader_timing.h"
#include "imagelib/tga.h"

namespace {
constexpr unsigned kSide = 4096;  // 16 megapixels
constexpr unsigned kBlock = 32;   // pixels per packet

// Type 10, 24 bits, bottom-left origin: flat blocks as repeat packets, every
// fourth block noisy as a raw packet, about 14 MB in all.
std::vector<std::uint8_t> MakeTarga() {
  std::vector<std::uint8_t> file = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    kSide & 0xFF, kSide >> 8, kSide & 0xFF, kSide >> 8, 24, 0};
  std::uint32_t noise = 12345;
  for (unsigned y = 0; y < kSide; ++y)
    for (unsigned x = 0; x < kSide; x += kBlock) {
      unsigned block = x / kBlock + y / 8;
      if (block % 4 == 0) {
        file.push_back(kBlock - 1);
        for (unsigned i = 0; i < kBlock * 3; ++i) {
          noise = noise * 1664525u + 1013904223u;
          file.push_back(std::uint8_t(noise >> 24));
        }
        continue;
      }
      file.insert(file.end(), {0x80 | (kBlock - 1), std::uint8_t(block), std::uint8_t(y), std::uint8_t(x >> 4)});
    }
  return file;
}

const std::string& TargaPath() {
  static const TBenchFile file(MakeTarga(), ".tga");
  return file.Path;
}

void BM_TTGA_LoadRle(benchmark::State& state) {
  TimeReaderLoad<TTGA>(state, TargaPath());
}
BENCHMARK(BM_TTGA_LoadRle)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: ImageMagick reading the Targa and writing a BMP to a pipe.
void BM_ImageMagick_TgaToBmp(benchmark::State& state) {
  TimeImageMagickToBmp(state, TargaPath(), std::int64_t(kSide) * kSide);
}
BENCHMARK(BM_ImageMagick_TgaToBmp)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
