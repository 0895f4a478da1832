// Decoding a 16-megapixel GIF: our reader against giflib's DGifSlurp.
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "bench/reader_timing.h"
#include "imagelib/gif.h"

namespace {
constexpr int kSide = 4096;  // 4096 x 4096 = 16.8 megapixels

// A photo-like picture: smooth shading with soft edges and grain, in 256
// colours, the kind of content LZW meets in scanned or rendered images.
std::vector<GifPixelType> Picture() {
  std::vector<GifPixelType> pixels(std::size_t(kSide) * kSide);
  unsigned grain = 12345;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) {
      grain = grain * 1103515245u + 12345u;
      double shade = 96 + 60 * std::sin(x / 230.0) * std::cos(y / 170.0) +
                     40 * std::sin((x + 2 * y) / 500.0) + ((grain >> 16) % 5) - 2;
      if ((x / 512 + y / 512) % 5 == 0) shade = 200 + (x % 64) / 8;  // flat-ish patches
      pixels[std::size_t(y) * kSide + x] = GifPixelType(std::clamp(shade, 0.0, 255.0));
    }
  return pixels;
}

// The picture written with giflib's encoder; false when that fails.
bool WritePicture(const std::string& name) {
  std::vector<GifColorType> colours(256);
  for (int i = 0; i < 256; ++i)
    colours[i] = {GifByteType(i), GifByteType(255 - i / 2), GifByteType(i / 3 * 2)};
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  int error = 0;
  GifFileType* gif = EGifOpenFileName(name.c_str(), false, &error);
  std::vector<GifPixelType> pixels = Picture();
  bool ok = gif && EGifPutScreenDesc(gif, kSide, kSide, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, kSide, kSide, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < kSide; ++y)
    ok = EGifPutLine(gif, &pixels[std::size_t(y) * kSide], kSide) == GIF_OK;
  if (gif) EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return ok;
}

// The file lives for the run; an empty path when it could not be written.
const std::string& PicturePath() {
  static const TBenchFile file(".gif", WritePicture);
  return file.Path;
}

void SetCounters(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * std::int64_t(kSide) * kSide);
  std::error_code ignored;
  state.counters["file_bytes"] = double(std::filesystem::file_size(PicturePath(), ignored));
}

void BM_Gif16MP_TGIF(benchmark::State& state) {
  TimeReaderLoad<TGIF>(state, PicturePath());
  SetCounters(state);
}
BENCHMARK(BM_Gif16MP_TGIF)->Unit(benchmark::kMillisecond);

void BM_Gif16MP_Giflib(benchmark::State& state) {
  const std::string& path = PicturePath();
  for (auto _ : state) {
    int error = 0;
    GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
    if (gif) {
      benchmark::DoNotOptimize(gif->SavedImages);
      DGifCloseFile(gif, &error);
    }
  }
  SetCounters(state);
}
BENCHMARK(BM_Gif16MP_Giflib)->Unit(benchmark::kMillisecond);
}  // namespace
