// Small TIFF files built in memory for the tests: one IFD, stripped, in
// either byte order, with TIFF's LZW (most significant bit first, early
// change) and PackBits encoders.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

// The TIFF LZW code stream of the bytes: a clear code first, the end code
// last; when the table fills, a clear code follows unless clearWhenFull is
// false, and then the table stays full with 12-bit codes.
Bytes TiffLzwEncode(const Bytes& data, bool clearWhenFull = true);

// Codes written most significant bit first with the widths given, for
// hand-made (often broken) LZW streams.
Bytes PackCodesMsbFirst(const std::vector<std::pair<int, int>>& codesAndWidths);

// PackBits: runs of equal bytes as repeat packets, the rest as literals; a
// no-op byte (-128) leads, as some writers emit one.
Bytes PackBitsEncode(const Bytes& data);

// One IFD entry: SHORT (3), LONG (4) or RATIONAL (5, values in numerator,
// denominator pairs). An entry without values removes the tag. With a
// valueField of 0 or more, the entry's value field holds that number and the
// values only give the count: an offset anywhere, also outside the file.
struct TiffField {
  std::uint16_t tag;
  std::uint16_t type;
  std::vector<std::uint32_t> values;
  std::int64_t valueField = -1;
};

struct TiffShape {
  bool bigEndian = false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t photometric = 1;
  std::vector<std::uint16_t> bitsPerSample = {8};  // one entry per sample
  std::uint16_t compression = 1;
  std::uint16_t predictor = 1;
  std::uint32_t rowsPerStrip = 0;       // 0: no RowsPerStrip tag, one strip
  std::uint16_t stripArrayType = 4;     // SHORT or LONG strip offsets and counts
  std::vector<std::uint16_t> colorMap;  // all reds, greens, blues; empty: no tag
  // Pixel rows top first, samples packed as in the file, before differencing.
  Bytes rows;
  // Strip data sent as it is instead of encoding rows (one per strip).
  std::vector<Bytes> rawStrips;
  bool ifdFirst = false;  // the IFD right after the header instead of at the end
  std::vector<TiffField> fields;  // added, or replacing the built ones
};

// Bytes per row in the file for the shape's width and samples.
std::size_t TiffRowBytes(const TiffShape& shape);

Bytes BuildTiff(const TiffShape& shape);
