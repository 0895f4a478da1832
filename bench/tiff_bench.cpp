// Decoding a 16-megapixel RGB TIFF with LZW and horizontal differencing:
// our reader (file to packed DIB) against libtiff (file to scanlines, and
// file to an RGBA raster), on the same file in one run.
#include <benchmark/benchmark.h>
#include <tiffio.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/reader_timing.h"
#include "imagelib/tiff.h"

namespace {
constexpr std::uint32_t kWidth = 4096;
constexpr std::uint32_t kHeight = 4096;

// Something like a photograph: smooth shading, a few hard edges and sensor
// noise, which keeps LZW near the ratios real pictures give.
void FillRow(std::vector<std::uint8_t>& row, std::uint32_t y, std::uint32_t& noise) {
  for (std::uint32_t x = 0; x < kWidth; ++x) {
    noise = noise * 1664525u + 1013904223u;
    int grain = int(noise >> 29) - 4;
    double shade = 96 + 60 * std::sin(x / 211.0) * std::cos(y / 157.0);
    bool inside = (x / 512 + y / 384) % 3 == 0;
    double base = inside ? 200 - shade / 3 : shade;
    for (int c = 0; c < 3; ++c) {
      int v = int(base + c * 25 * std::sin((x + y) / 300.0 + c)) + grain;
      row[3 * x + std::uint32_t(c)] = std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    }
  }
}

// The sample file, written with libtiff's own defaults for strips.
bool WriteSample(const std::string& name) {
  TIFF* tif = TIFFOpen(name.c_str(), "w");
  if (!tif) return false;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kWidth);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kHeight);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  std::vector<std::uint8_t> row(kWidth * 3);
  std::uint32_t noise = 1;
  bool ok = true;
  for (std::uint32_t y = 0; y < kHeight && ok; ++y) {
    FillRow(row, y, noise);
    ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
  }
  TIFFClose(tif);
  return ok;
}

// Written once for the run; an empty path when that failed.
const std::string& SamplePath() {
  static const TBenchFile sample(".tif", WriteSample);
  return sample.Path;
}

void SetCounters(benchmark::State& state) {
  state.SetItemsProcessed(std::int64_t(state.iterations()) * kWidth * kHeight);
  state.counters["megapixels"] = double(kWidth) * kHeight / 1e6;
  state.counters["file_MB"] = double(std::filesystem::file_size(SamplePath())) / 1e6;
}

void BM_TiffLzw_Ours(benchmark::State& state) {
  if (SamplePath().empty()) return state.SkipWithError("cannot write the sample file");
  TimeReaderLoad<TTIF>(state, SamplePath());
  SetCounters(state);
}

void BM_TiffLzw_LibtiffScanlines(benchmark::State& state) {
  if (SamplePath().empty()) return state.SkipWithError("cannot write the sample file");
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(SamplePath().c_str(), "r");
    if (!tif) return state.SkipWithError("libtiff cannot open the file");
    std::vector<std::uint8_t> row(std::size_t(TIFFScanlineSize(tif)));
    for (std::uint32_t y = 0; y < kHeight; ++y) TIFFReadScanline(tif, row.data(), y, 0);
    benchmark::DoNotOptimize(row.data());
    TIFFClose(tif);
  }
  SetCounters(state);
}

void BM_TiffLzw_LibtiffRgba(benchmark::State& state) {
  if (SamplePath().empty()) return state.SkipWithError("cannot write the sample file");
  std::vector<std::uint32_t> raster(std::size_t(kWidth) * kHeight);
  for (auto _ : state) {
    TIFF* tif = TIFFOpen(SamplePath().c_str(), "r");
    if (!tif) return state.SkipWithError("libtiff cannot open the file");
    TIFFReadRGBAImage(tif, kWidth, kHeight, raster.data(), 0);
    benchmark::DoNotOptimize(raster.data());
    TIFFClose(tif);
  }
  SetCounters(state);
}
}  // namespace

BENCHMARK(BM_TiffLzw_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzw_LibtiffScanlines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TiffLzw_LibtiffRgba)->Unit(benchmark::kMillisecond);
