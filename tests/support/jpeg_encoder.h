// JPEG files encoded in memory with libjpeg, for the tests and benchmarks of
// the JPEG bridge (header only, so the benchmarks can use it too).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

// Before jpeglib.h, whose TRUE and FALSE macros would otherwise clash with
// the constants there.
#include "platform/core/wintypes.h"

#include <jpeglib.h>

// Fills row y with width x components samples in the file's component order.
using JpegRowFiller = std::function<void(int y, JSAMPLE* row)>;
// Changes parameters after libjpeg's defaults (quality, sampling, colour space).
using JpegTuner = std::function<void(jpeg_compress_struct&)>;

// The JPEG file of the picture, made with libjpeg's defaults for its colour
// space and then tune.
inline std::vector<std::uint8_t> EncodeJpeg(int width, int height, int components,
                                            J_COLOR_SPACE space, const JpegRowFiller& fillRow,
                                            const JpegTuner& tune = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = JDIMENSION(width);
  cinfo.image_height = JDIMENSION(height);
  cinfo.input_components = components;
  cinfo.in_color_space = space;
  jpeg_set_defaults(&cinfo);
  if (tune) tune(cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> row(std::size_t(width) * std::size_t(components));
  for (int y = 0; y < height; ++y) {
    fillRow(y, row.data());
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}
