// Decoding 16-megapixel PCX files (true colour in three planes and 256
// colours) through TPCX, beside ImageMagick's convert turning the same file
// into a BMP as a whole process.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "imagelib/pcx.h"

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

void PutRle(std::FILE* out, const std::vector<std::uint8_t>& line) {
  for (std::size_t i = 0; i < line.size();) {
    std::size_t n = 1;
    while (i + n < line.size() && line[i + n] == line[i] && n < 63) ++n;
    if (n > 1 || line[i] >= 0xC0) std::fputc(int(0xC0 | n), out);
    std::fputc(line[i], out);
    i += n;
  }
}

class PcxFile {
 public:
  explicit PcxFile(int planes) {
    char name[] = "/tmp/quorin-bench-XXXXXX.pcx";
    int fd = mkstemps(name, 4);
    Path = name;
    std::FILE* out = fdopen(fd, "wb");
    Write(out, planes);
    std::fclose(out);
  }
  ~PcxFile() { unlink(Path.c_str()); }
  std::string Path;

 private:
  static void Write(std::FILE* out, int planes) {
    std::uint8_t header[128] = {10, 5, 1, 8};
    header[8] = header[10] = std::uint8_t((kSide - 1) & 0xFF);
    header[9] = header[11] = std::uint8_t((kSide - 1) >> 8);
    header[65] = std::uint8_t(planes);
    header[66] = std::uint8_t(kSide & 0xFF);
    header[67] = std::uint8_t(kSide >> 8);
    std::fwrite(header, 1, sizeof header, out);
    for (int y = 0; y < kSide; ++y)
      for (int p = 0; p < planes; ++p) PutRle(out, PlaneLine(y, p));
    if (planes == 1) {
      std::fputc(12, out);
      for (int i = 0; i < 768; ++i) std::fputc(i / 3 ^ (i % 3) * 85, out);
    }
  }
};

const PcxFile& File(int planes) {
  static const PcxFile trueColour(3), palette(1);
  return planes == 3 ? trueColour : palette;
}

void BM_TPCX_Load(benchmark::State& state) {
  const std::string& path = File(int(state.range(0))).Path;
  for (auto _ : state) {
    TPCX codec;
    if (codec.Load(path.c_str()) != kOk) state.SkipWithError("TPCX::Load failed");
    benchmark::DoNotOptimize(codec.Bits);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
// Argument: planes (3 = 24 bits, 1 = 8 bits).
BENCHMARK(BM_TPCX_Load)->Arg(3)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: ImageMagick reading the PCX and writing a BMP to a pipe.
void BM_ImageMagick_ConvertToBmp(benchmark::State& state) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) {
    state.SkipWithError("ImageMagick convert not installed");
    return;
  }
  std::string command = "convert '" + File(int(state.range(0))).Path + "' bmp:- >/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("convert failed");
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_ImageMagick_ConvertToBmp)
    ->Arg(3)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
}  // namespace
