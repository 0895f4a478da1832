// Small GIF files built in memory for the tests, with a plain LZW encoder.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

// Packs codes least significant bit first, as GIF data does.
class GifBitWriter {
 public:
  void Put(int code, int width);
  Bytes Finish() const;

 private:
  Bytes Out;
  std::uint32_t Accumulator = 0;
  int Count = 0;
};

// The LZW code stream of the indices: a clear code first, the end code
// last. When the table is full, a clear code follows unless clearWhenFull is
// false; then the table stays full and codes stay 12 bits wide.
Bytes LzwEncode(const Bytes& indices, int minCodeSize, bool clearWhenFull = true);

// Codes written with the widths given, for hand-made (often broken) streams.
Bytes PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths);

// Data cut into sub-blocks of at most blockSize bytes, then the terminator.
Bytes SubBlocks(const Bytes& data, std::size_t blockSize = 255);

struct GifImage {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool interlaced = false;
  std::vector<COLORREF> localTable;  // empty: none; else 2, 4, ... 256 entries
  Bytes indices;          // width x height, rows top to bottom as displayed
  int minCodeSize = 0;    // 0: from the table size, at least 2
  Bytes codeStream;       // when set, sent instead of the encoded indices
  bool clearWhenFull = true;
};

class GifBuilder {
 public:
  // A logical screen; the global table, when given, has 2^(sizeField + 1)
  // entries. sizeField -1 takes it from the table's size.
  GifBuilder(int width, int height, std::vector<COLORREF> globalTable = {},
             int sizeField = -1);
  GifBuilder& Signature(const std::string& sixBytes);
  GifBuilder& Background(int index);
  GifBuilder& Extension(int label, const std::vector<Bytes>& subBlocks);
  GifBuilder& GraphicControl(int flags, int delay, int transparentIndex);
  GifBuilder& Comment(const std::string& text);
  GifBuilder& Loop(int count);
  GifBuilder& Image(const GifImage& image);
  GifBuilder& Raw(const Bytes& bytes);
  Bytes Build(bool trailer = true) const;

 private:
  int Width, Height, SizeField, BackgroundIndex = 0;
  std::string Sig = "GIF89a";
  std::vector<COLORREF> Global;
  Bytes Body;
};

// Indices of a pattern that LZW compresses unevenly: runs and noise.
Bytes PatternIndices(int width, int height, int colours, unsigned seed = 1);
