// Decoding a 16-megapixel JPEG through LoadJPEG, beside libjpeg-turbo alone
// decoding the same file into a plain RGB buffer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_files.h"
#include "imagelib/jpeg.h"
#include "tests/support/jpeg_encoder.h"

namespace {
constexpr JDIMENSION kSide = 4096;  // 16 megapixels

// A photo-like picture (smooth gradients with fine texture), quality 90 and
// the library's default 4:2:0 sampling.
std::vector<std::uint8_t> EncodePicture() {
  auto fillRow = [](int rowIndex, JSAMPLE* row) {
    const JDIMENSION y = JDIMENSION(rowIndex);
    for (JDIMENSION x = 0; x < kSide; ++x) {
      row[3 * x] = JSAMPLE(x / 16 + ((x * y) >> 5 & 15));
      row[3 * x + 1] = JSAMPLE(y / 16 + ((x ^ y) & 31));
      row[3 * x + 2] = JSAMPLE((x + y) / 32 + ((x * 7 + y * 13) & 7));
    }
  };
  return EncodeJpeg(int(kSide), int(kSide), 3, JCS_RGB, fillRow,
                    [](jpeg_compress_struct& cinfo) { jpeg_set_quality(&cinfo, 90, TRUE); });
}

const std::string& Path() {
  static const TBenchFile file(EncodePicture(), ".jpg");
  return file.Path;
}

void BM_LoadJPEG(benchmark::State& state) {
  const std::string& path = Path();
  for (auto _ : state) {
    HGLOBAL dib = LoadJPEG(path.c_str());
    if (!dib) state.SkipWithError("LoadJPEG failed");
    GlobalFree(dib);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_LoadJPEG)->Unit(benchmark::kMillisecond)->UseRealTime();

// The peer: the same decoder with the same defaults, into one RGB image.
void BM_LibjpegTurboAlone(benchmark::State& state) {
  const std::string& path = Path();
  for (auto _ : state) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    std::size_t stride = std::size_t(cinfo.output_width) * cinfo.output_components;
    auto image = std::make_unique_for_overwrite<JSAMPLE[]>(stride * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW rows[1] = {image.get() + stride * cinfo.output_scanline};
      jpeg_read_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(in);
    benchmark::DoNotOptimize(image.get());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kSide * kSide);
}
BENCHMARK(BM_LibjpegTurboAlone)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
