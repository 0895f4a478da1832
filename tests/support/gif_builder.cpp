#include "tests/support/gif_builder.h"

#include <unordered_map>

#include "tests/support/byte_writer.h"

namespace {
int SizeFieldFor(std::size_t colours) {
  int field = 0;
  while ((std::size_t(2) << field) < colours) ++field;
  return field;
}

void PutTable(Bytes& out, const std::vector<COLORREF>& table) {
  for (COLORREF c : table) {
    out.push_back(GetRValue(c));
    out.push_back(GetGValue(c));
    out.push_back(GetBValue(c));
  }
}

// The rows in the order an interlaced image sends them.
Bytes Interlace(const Bytes& indices, int width, int height) {
  Bytes out;
  const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int row = start[pass]; row < height; row += step[pass])
      out.insert(out.end(), indices.begin() + std::ptrdiff_t(row) * width,
                 indices.begin() + std::ptrdiff_t(row + 1) * width);
  return out;
}
}  // namespace

void GifBitWriter::Put(int code, int width) {
  Accumulator |= std::uint32_t(code) << Count;
  Count += width;
  while (Count >= 8) {
    Out.push_back(std::uint8_t(Accumulator));
    Accumulator >>= 8;
    Count -= 8;
  }
}

Bytes GifBitWriter::Finish() const {
  Bytes out = Out;
  if (Count > 0) out.push_back(std::uint8_t(Accumulator));
  return out;
}

Bytes LzwEncode(const Bytes& indices, int minCodeSize, bool clearWhenFull) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  int codeSize = minCodeSize + 1, next = end + 1, prefix = -1;
  std::unordered_map<int, int> table;  // prefix << 8 | index -> code
  GifBitWriter out;
  out.Put(clear, codeSize);
  for (std::uint8_t c : indices) {
    if (prefix < 0) {
      prefix = c;
      continue;
    }
    auto found = table.find(prefix << 8 | c);
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    out.Put(prefix, codeSize);
    if (next < 4096) {
      table[prefix << 8 | c] = next++;
      if (next > (1 << codeSize) && codeSize < 12) ++codeSize;
    } else if (clearWhenFull) {
      out.Put(clear, codeSize);
      table.clear();
      next = end + 1;
      codeSize = minCodeSize + 1;
    }
    prefix = c;
  }
  if (prefix >= 0) out.Put(prefix, codeSize);
  out.Put(end, codeSize);
  return out.Finish();
}

Bytes PackCodes(const std::vector<std::pair<int, int>>& codesAndWidths) {
  GifBitWriter out;
  for (auto [code, width] : codesAndWidths) out.Put(code, width);
  return out.Finish();
}

Bytes SubBlocks(const Bytes& data, std::size_t blockSize) {
  Bytes out;
  for (std::size_t at = 0; at < data.size(); at += blockSize) {
    std::size_t n = std::min(blockSize, data.size() - at);
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), data.begin() + std::ptrdiff_t(at),
               data.begin() + std::ptrdiff_t(at + n));
  }
  out.push_back(0);
  return out;
}

GifBuilder::GifBuilder(int width, int height, std::vector<COLORREF> globalTable, int sizeField)
    : Width(width),
      Height(height),
      SizeField(sizeField >= 0 ? sizeField : SizeFieldFor(globalTable.size())),
      Global(std::move(globalTable)) {}

GifBuilder& GifBuilder::Signature(const std::string& sixBytes) {
  Sig = sixBytes;
  return *this;
}

GifBuilder& GifBuilder::Background(int index) {
  BackgroundIndex = index;
  return *this;
}

GifBuilder& GifBuilder::Extension(int label, const std::vector<Bytes>& subBlocks) {
  Body.push_back(0x21);
  Body.push_back(std::uint8_t(label));
  for (const Bytes& block : subBlocks) {
    Body.push_back(std::uint8_t(block.size()));
    Body.insert(Body.end(), block.begin(), block.end());
  }
  Body.push_back(0);
  return *this;
}

GifBuilder& GifBuilder::GraphicControl(int flags, int delay, int transparentIndex) {
  return Extension(0xF9, {{std::uint8_t(flags), std::uint8_t(delay), std::uint8_t(delay >> 8),
                           std::uint8_t(transparentIndex)}});
}

GifBuilder& GifBuilder::Comment(const std::string& text) {
  return Extension(0xFE, {Bytes(text.begin(), text.end())});
}

GifBuilder& GifBuilder::Loop(int count) {
  const std::string name = "NETSCAPE2.0";
  return Extension(0xFF, {Bytes(name.begin(), name.end()),
                          {1, std::uint8_t(count), std::uint8_t(count >> 8)}});
}

GifBuilder& GifBuilder::Image(const GifImage& image) {
  Body.push_back(0x2C);
  Append16(Body, image.left);
  Append16(Body, image.top);
  Append16(Body, image.width);
  Append16(Body, image.height);
  int packed = image.interlaced ? 0x40 : 0;
  if (!image.localTable.empty()) packed |= 0x80 | SizeFieldFor(image.localTable.size());
  Body.push_back(std::uint8_t(packed));
  PutTable(Body, image.localTable);

  std::size_t colours = image.localTable.empty() ? Global.size() : image.localTable.size();
  int minCodeSize = image.minCodeSize ? image.minCodeSize : std::max(2, SizeFieldFor(colours) + 1);
  Body.push_back(std::uint8_t(minCodeSize));
  Bytes stream = image.codeStream;
  if (stream.empty()) {
    Bytes rows = image.interlaced ? Interlace(image.indices, image.width, image.height)
                                  : image.indices;
    stream = LzwEncode(rows, minCodeSize, image.clearWhenFull);
  }
  Bytes blocks = SubBlocks(stream);
  Body.insert(Body.end(), blocks.begin(), blocks.end());
  return *this;
}

GifBuilder& GifBuilder::Raw(const Bytes& bytes) {
  Body.insert(Body.end(), bytes.begin(), bytes.end());
  return *this;
}

Bytes GifBuilder::Build(bool trailer) const {
  Bytes out(Sig.begin(), Sig.end());
  Append16(out, Width);
  Append16(out, Height);
  out.push_back(std::uint8_t((Global.empty() ? 0 : 0x80) | SizeField));
  out.push_back(std::uint8_t(BackgroundIndex));
  out.push_back(0);
  PutTable(out, Global);
  out.insert(out.end(), Body.begin(), Body.end());
  if (trailer) out.push_back(0x3B);
  return out;
}

Bytes PatternIndices(int width, int height, int colours, unsigned seed) {
  Bytes out(std::size_t(width) * height);
  unsigned state = seed;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      state = state * 1103515245u + 12345u;
      bool noise = ((x / 7 + y / 5) & 3) == 0;
      unsigned v = noise ? state >> 16 : unsigned(x / 9 + y / 4);
      out[std::size_t(y) * width + x] = std::uint8_t(v % unsigned(colours));
    }
  return out;
}
