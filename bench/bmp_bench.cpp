// Loading 16-megapixel BMP files through _TDIB (24 bits uncompressed, and 8
// bits RLE8), beside a plain memory pass over as many bytes as the packed
// DIB's rows hold.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/reader_timing.h"
#include "imagelib/bmp.h"
#include "tests/support/byte_writer.h"

namespace {
constexpr int kSide = 4096;  // 16 megapixels

// The rows of an RLE8 picture like a scanned drawing: stretches of 1 to 24
// equal pixels, values drifting along the row. Stretches of 3 or more become
// encoded runs, shorter ones are gathered into absolute runs.
std::vector<std::uint8_t> Rle8Row(int y) {
  std::vector<std::uint8_t> out, literal;
  auto flushLiteral = [&] {
    for (std::size_t i = 0; i < literal.size();) {
      std::size_t n = std::min<std::size_t>(literal.size() - i, 255);
      if (n < 3) {
        for (std::size_t k = 0; k < n; ++k) out.insert(out.end(), {1, literal[i + k]});
      } else {
        out.insert(out.end(), {0, std::uint8_t(n)});
        out.insert(out.end(), literal.begin() + std::ptrdiff_t(i),
                   literal.begin() + std::ptrdiff_t(i + n));
        if (n % 2) out.push_back(0);
      }
      i += n;
    }
    literal.clear();
  };
  std::uint32_t state = std::uint32_t(y * 7919 + 1);
  for (int x = 0; x < kSide;) {
    state = state * 1103515245u + 12345u;
    int length = std::min(1 + int(state >> 16) % 24, kSide - x);
    std::uint8_t value = std::uint8_t(x / 16 + y / 16 + (state >> 24 & 15));
    if (length >= 3) {
      flushLiteral();
      out.insert(out.end(), {std::uint8_t(length), value});
    } else {
      literal.insert(literal.end(), std::size_t(length), value);
    }
    x += length;
  }
  flushLiteral();
  out.insert(out.end(), {0, std::uint8_t(y + 1 == kSide ? 1 : 0)});
  return out;
}

// The file and info headers of a kSide x kSide picture, and its colour table.
std::vector<std::uint8_t> Headers(int bits, int compression, int colours, std::uint32_t dataBytes) {
  std::vector<std::uint8_t> h(54);
  h[0] = 'B';
  h[1] = 'M';
  std::uint32_t offBits = 54 + 4 * std::uint32_t(colours);
  Put32(h, 2, offBits + dataBytes);
  Put32(h, 10, offBits);
  Put32(h, 14, 40);
  Put32(h, 18, kSide);
  Put32(h, 22, kSide);
  h[26] = 1;
  h[28] = std::uint8_t(bits);
  Put32(h, 30, std::uint32_t(compression));
  Put32(h, 34, dataBytes);
  for (int i = 0; i < colours; ++i)
    h.insert(h.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3), 0});
  return h;
}

std::vector<std::uint8_t> TrueColourBytes() {
  std::uint32_t stride = kSide * 3;
  std::vector<std::uint8_t> file = Headers(24, 0, 0, stride * kSide);
  file.reserve(file.size() + std::size_t(stride) * kSide);
  for (int y = 0; y < kSide; ++y)
    for (std::uint32_t i = 0; i < stride; ++i) file.push_back(std::uint8_t(i / 7 + y));
  return file;
}

std::vector<std::uint8_t> Rle8Bytes() {
  std::vector<std::uint8_t> data;
  for (int y = 0; y < kSide; ++y) {
    std::vector<std::uint8_t> row = Rle8Row(y);
    data.insert(data.end(), row.begin(), row.end());
  }
  std::vector<std::uint8_t> file = Headers(8, 1, 256, std::uint32_t(data.size()));
  file.insert(file.end(), data.begin(), data.end());
  return file;
}

const TBenchFile& File(bool rle8) {
  static const TBenchFile trueColour(TrueColourBytes(), ".bmp"), runLength(Rle8Bytes(), ".bmp");
  return rle8 ? runLength : trueColour;
}

// Argument: 0 = 24 bits uncompressed, 1 = 8 bits RLE8.
void BM_TDIB_Load(benchmark::State& state) {
  TimeReaderLoad<_TDIB>(state, File(state.range(0) == 1).Path);
}
BENCHMARK(BM_TDIB_Load)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The baseline: copying the rows' bytes (3 or 1 per pixel) into a fresh
// zero-filled block, as a loader must at the least.
void BM_BmpMemoryPass(benchmark::State& state) {
  std::size_t bytes = std::size_t(kSide) * kSide * (state.range(0) == 1 ? 1 : 3);
  std::vector<std::uint8_t> source(bytes, 0x5A);
  for (auto _ : state) {
    auto* target = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    std::memcpy(target, source.data(), bytes);
    benchmark::DoNotOptimize(target);
    std::free(target);
  }
  state.SetItemsProcessed(std::int64_t(state.iterations()) * kSide * kSide);
  state.SetBytesProcessed(std::int64_t(state.iterations() * bytes));
}
BENCHMARK(BM_BmpMemoryPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
}  // namespace
