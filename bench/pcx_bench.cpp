// Decoding 16-megapixel PCX files (true colour in three planes and 256
// colours) through TPCX, beside ImageMagick's convert turning the same file
// into a BMP as a whole process.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/reader_timing.h"
#include "imagelib/pcx.h"
#include "tests/support/byte_writer.h"

namespace {
constexpr int kSide = 4096;  // 16 megapixels

// A scanned-looking picture: stretches of 1 to 12 equal bytes with values
// drifting along the line, so the file mixes runs and single bytes as real
// PCX files do.
std::vector<std::uint8_t> PlaneLine(int y, int plane) {
  std::vector<std::uint8_t> line(kSide);
  std::uint32_t state = std::uint32_t(y * 7919 + plane * 104729 + 1);
  for (int x = 0; x < kSide;) {
    state = state * 1103515245u + 12345u;
    int length = 1 + int(state >> 16) % 12;
    std::uint8_t value = std::uint8_t((x / 16 + y / 16 + plane * 60) + (state >> 24 & 15));
    for (int i = 0; i < length && x < kSide; ++i) line[std::size_t(x++)] = value;
  }
  return line;
}

void PutRle(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& line) {
  for (std::size_t i = 0; i < line.size();) {
    std::size_t n = 1;
    while (i + n < line.size() && line[i + n] == line[i] && n < 63) ++n;
    if (n > 1 || line[i] >= 0xC0) out.push_back(std::uint8_t(0xC0 | n));
    out.push_back(line[i]);
    i += n;
  }
}

// The file: header, run-length plane lines and, for one plane, the
// 256-colour palette at the end.
std::vector<std::uint8_t> PcxBytes(int planes) {
  std::vector<std::uint8_t> file = {10, 5, 1, 8};
  file.resize(128);
  Put16(file, 8, kSide - 1);
  Put16(file, 10, kSide - 1);
  file[65] = std::uint8_t(planes);
  Put16(file, 66, kSide);
  for (int y = 0; y < kSide; ++y)
    for (int p = 0; p < planes; ++p) PutRle(file, PlaneLine(y, p));
  if (planes == 1) {
    file.push_back(12);
    for (int i = 0; i < 768; ++i) file.push_back(std::uint8_t(i / 3 ^ (i % 3) * 85));
  }
  return file;
}

const TBenchFile& File(int planes) {
  static const TBenchFile trueColour(PcxBytes(3), ".pcx"), palette(PcxBytes(1), ".pcx");
  return planes == 3 ? trueColour : palette;
}

void BM_TPCX_Load(benchmark::State& state) {
  TimeReaderLoad<TPCX>(state, File(int(state.range(0))).Path);
}
// Argument: planes (3 = 24 bits, 1 = 8 bits).
BENCHMARK(BM_TPCX_Load)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: ImageMagick reading the PCX and writing a BMP to a pipe.
void BM_ImageMagick_ConvertToBmp(benchmark::State& state) {
  TimeImageMagickToBmp(state, File(int(state.range(0))).Path, std::int64_t(kSide) * kSide);
}
BENCHMARK(BM_ImageMagick_ConvertToBmp)
    ->Arg(3)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
}  // namespace
