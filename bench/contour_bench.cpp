// Mask building and tracing on 16-megapixel pictures, each beside a plain
// memory pass over the same bytes as the baseline.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "contour/contour_file.h"
#include "contour/tracer.h"
#include "platform/core/dib.h"
#include "platform/core/global_memory.h"

namespace {
constexpr LONG kSide = 4000;  // 16 megapixels

// A packed DIB of kSide x kSide with a disc of colour 1 on background 0
// (8 bits, table white/black) or black on white (24 bits).
HGLOBAL MakePicture(WORD bitCount) {
  const DWORD stride = ((kSide * bitCount + 31) / 32) * 4;
  const DWORD colours = bitCount == 8 ? 256 : 0;
  const std::size_t size = 40 + colours * 4 + std::size_t(stride) * kSide;
  HGLOBAL block = GlobalAlloc(GHND, size);
  auto* base = static_cast<BYTE*>(GlobalLock(block));
  auto* h = reinterpret_cast<BITMAPINFOHEADER*>(base);
  *h = {40, kSide, kSide, 1, bitCount, 0, stride * kSide, 2953, 2953, colours, 0};
  auto* table = reinterpret_cast<RGBQUAD*>(base + 40);
  if (colours) table[0] = {255, 255, 255, 0};
  BYTE* bits = base + 40 + colours * 4;
  const long r = kSide / 3, c = kSide / 2;
  for (LONG y = 0; y < kSide; ++y) {
    BYTE* row = bits + std::size_t(y) * stride;
    for (LONG x = 0; x < kSide; ++x) {
      bool inside = (x - c) * (x - c) + (y - c) * (y - c) < r * r;
      if (bitCount == 8) row[x] = inside ? 1 : 0;
      else std::memset(row + 3 * x, inside ? 0 : 255, 3);
    }
  }
  GlobalUnlock(block);
  return block;
}

void BM_BuildMask(benchmark::State& state) {
  TDib dib(MakePicture(WORD(state.range(0))), AutoDelete);
  std::vector<BYTE> mask(std::size_t(kSide) * kSide);
  for (auto _ : state) {
    BuildContourMask(dib, RGB(255, 255, 255), mask.data());
    benchmark::DoNotOptimize(mask.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dib.BitsSize()));
}
BENCHMARK(BM_BuildMask)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

// Baseline: read the same pixel bytes and write one byte per pixel.
void BM_MemoryPass(benchmark::State& state) {
  TDib dib(MakePicture(WORD(state.range(0))), AutoDelete);
  std::vector<BYTE> mask(std::size_t(kSide) * kSide);
  const std::size_t bytesPerPixel = std::size_t(state.range(0)) / 8;
  for (auto _ : state) {
    const BYTE* bits = dib.GetBits();
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = bits[i * bytesPerPixel];
    benchmark::DoNotOptimize(mask.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(dib.BitsSize()));
}
BENCHMARK(BM_MemoryPass)->Arg(24)->Arg(8)->Unit(benchmark::kMillisecond);

std::vector<BYTE> BlobMask() {
  TDib dib(MakePicture(8), AutoDelete);
  std::vector<BYTE> mask(std::size_t(kSide) * kSide);
  BuildContourMask(dib, RGB(255, 255, 255), mask.data());
  return mask;
}

void BM_TraceBlob(benchmark::State& state) {
  std::vector<BYTE> mask = BlobMask();
  // Lazily zeroed, as the programs allocate it: only written points cost.
  HGLOBAL polygon = GlobalAlloc(GHND, mask.size() * sizeof(POINT));
  auto* points = static_cast<POINT*>(GlobalLock(polygon));
  int n = 0;
  for (auto _ : state) {
    n = TraceContour(kSide, kSide, mask.data(), points);
    benchmark::DoNotOptimize(n);
  }
  state.counters["points"] = n;
  GlobalUnlock(polygon);
  GlobalFree(polygon);
}
BENCHMARK(BM_TraceBlob)->Unit(benchmark::kMillisecond);

// Baseline for the trace: one pass over the mask, as the start scan makes.
void BM_MaskScan(benchmark::State& state) {
  std::vector<BYTE> mask(std::size_t(kSide) * kSide, 0);
  for (auto _ : state) {
    std::size_t sum = 0;
    for (BYTE b : mask) sum += b;
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_MaskScan)->Unit(benchmark::kMillisecond);
}  // namespace
