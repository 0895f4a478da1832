// How the readers' benchmarks time a file: through one of our readers, and
// through ImageMagick's convert as the peer.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "imagelib/bitmap_base.h"

// Times Reader::Load on the file, each picture freed before the next load;
// counts the pictures' pixels and DIB bytes.
template <typename Reader>
void TimeReaderLoad(benchmark::State& state, const std::string& path) {
  std::int64_t pixels = 0, bytes = 0;
  for (auto _ : state) {
    Reader reader;
    if (reader.Load(path.c_str()) != kOk) {
      state.SkipWithError("Load failed");
      break;
    }
    benchmark::DoNotOptimize(reader.Bits);
    pixels = std::int64_t(reader.Width) * reader.Height;
    bytes = reader.ImageSize;
  }
  state.SetItemsProcessed(std::int64_t(state.iterations()) * pixels);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * bytes);
}

// Times ImageMagick's convert reading the file and writing a BMP to a pipe,
// as a whole process (start-up included); pixels is the picture's size.
inline void TimeImageMagickToBmp(benchmark::State& state, const std::string& path,
                                 std::int64_t pixels) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0) {
    state.SkipWithError("ImageMagick convert not installed");
    return;
  }
  std::string command = "convert '" + path + "' bmp:- >/dev/null";
  for (auto _ : state)
    if (std::system(command.c_str()) != 0) state.SkipWithError("convert failed");
  state.SetItemsProcessed(std::int64_t(state.iterations()) * pixels);
}
