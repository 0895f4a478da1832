// ImageMagick as the peer of the readers' benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>

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
