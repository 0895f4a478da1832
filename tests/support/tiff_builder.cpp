#include "tests/support/tiff_builder.h"

#include <algorithm>
#include <map>

namespace {
constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstFree = 258;
constexpr int kTableSize = 4096;

class MsbBitWriter {
 public:
  void Put(std::uint32_t code, int width) {
    Accumulator = (Accumulator << width) | code;
    Count += width;
    while (Count >= 8) {
      Out.push_back(std::uint8_t(Accumulator >> (Count - 8)));
      Count -= 8;
    }
  }
  Bytes Finish() {
    if (Count > 0) Out.push_back(std::uint8_t(Accumulator << (8 - Count)));
    Count = 0;
    return Out;
  }

 private:
  Bytes Out;
  std::uint64_t Accumulator = 0;
  int Count = 0;
};

// The encoder is one entry ahead of the decoder, so it widens its codes when
// its next free code reaches a power of two: the decoder, one entry behind,
// then sits at 2^n - 1, where TIFF LZW widens early.
struct LzwEncoder {
  MsbBitWriter bits;
  std::map<std::pair<int, int>, int> table;
  int next = kFirstFree;
  int width = 9;
  bool clearWhenFull = true;

  void Reset() {
    table.clear();
    next = kFirstFree;
    width = 9;
  }
  // Emits a code and counts the entry the decoder adds for it.
  void Emit(int code, int prefix, int byte) {
    bits.Put(std::uint32_t(code), width);
    if (next < kTableSize) {
      if (byte >= 0) table[{prefix, byte}] = next;
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    if (clearWhenFull && next == kTableSize - 2) {
      bits.Put(kClear, width);
      Reset();
    }
  }
};

std::uint16_t FieldElementBytes(std::uint16_t type) { return type == 3 ? 2 : 4; }

std::uint32_t FieldCount(const TiffField& field) {
  return std::uint32_t(field.type == 5 ? field.values.size() / 2 : field.values.size());
}

// Bytes the values take outside the IFD; 0 when they sit in the entry.
std::size_t OutOfLine(const TiffField& field) {
  std::size_t bytes = field.values.size() * FieldElementBytes(field.type);
  return field.valueField >= 0 || bytes <= 4 ? 0 : (bytes + 1) & ~std::size_t(1);
}

class TiffWriter {
 public:
  explicit TiffWriter(bool bigEndian) : Big(bigEndian) {}
  void Put16(std::uint32_t v) { PutBytes(v, 2); }
  void Put32(std::uint32_t v) { PutBytes(v, 4); }
  void PutValues(const TiffField& field) {
    for (std::uint32_t v : field.values) PutBytes(v, FieldElementBytes(field.type));
  }
  void Append(const Bytes& bytes) { Out.insert(Out.end(), bytes.begin(), bytes.end()); }
  void PadTo(std::size_t size) { Out.resize(std::max(Out.size(), size), 0); }
  std::size_t Size() const { return Out.size(); }
  Bytes Take() { return std::move(Out); }

 private:
  void PutBytes(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) Out.push_back(std::uint8_t(v >> (8 * (Big ? n - 1 - i : i))));
  }
  bool Big;
  Bytes Out;
};

Bytes Difference(const Bytes& rows, std::size_t rowBytes, std::size_t samples) {
  Bytes out = rows;
  for (std::size_t start = 0; start + rowBytes <= out.size(); start += rowBytes)
    for (std::size_t i = rowBytes; i-- > samples;)
      out[start + i] = std::uint8_t(rows[start + i] - rows[start + i - samples]);
  return out;
}

std::vector<Bytes> EncodeStrips(const TiffShape& shape) {
  if (!shape.rawStrips.empty()) return shape.rawStrips;
  std::size_t rowBytes = TiffRowBytes(shape);
  std::uint32_t rps = shape.rowsPerStrip ? shape.rowsPerStrip : std::max(shape.height, 1u);
  std::vector<Bytes> strips;
  for (std::uint64_t y = 0; y < std::max(shape.height, 1u); y += rps) {
    std::size_t begin = std::min(shape.rows.size(), y * rowBytes);
    std::size_t end = std::min(shape.rows.size(), (y + std::size_t(rps)) * rowBytes);
    Bytes strip(shape.rows.begin() + long(begin), shape.rows.begin() + long(end));
    if (shape.predictor == 2) strip = Difference(strip, rowBytes, shape.bitsPerSample.size());
    if (shape.compression == 5) strip = TiffLzwEncode(strip);
    if (shape.compression == 32773) strip = PackBitsEncode(strip);
    strips.push_back(strip);
  }
  return strips;
}

void SetField(std::vector<TiffField>& fields, const TiffField& field) {
  auto same = [&](const TiffField& f) { return f.tag == field.tag; };
  fields.erase(std::remove_if(fields.begin(), fields.end(), same), fields.end());
  if (!field.values.empty()) fields.push_back(field);
}

std::vector<TiffField> BuildFields(const TiffShape& shape, const std::vector<Bytes>& strips) {
  std::vector<TiffField> fields = {
      {256, 4, {shape.width}},
      {257, 4, {shape.height}},
      {258, 3, {shape.bitsPerSample.begin(), shape.bitsPerSample.end()}},
      {259, 3, {shape.compression}},
      {262, 3, {shape.photometric}},
      {273, shape.stripArrayType, std::vector<std::uint32_t>(strips.size(), 0)},
      {277, 3, {std::uint32_t(shape.bitsPerSample.size())}},
      {279, shape.stripArrayType, {}},
  };
  for (const Bytes& strip : strips) fields.back().values.push_back(std::uint32_t(strip.size()));
  if (shape.rowsPerStrip) fields.push_back({278, 4, {shape.rowsPerStrip}});
  if (shape.predictor != 1) fields.push_back({317, 3, {shape.predictor}});
  if (!shape.colorMap.empty())
    fields.push_back({320, 3, {shape.colorMap.begin(), shape.colorMap.end()}});
  for (const TiffField& field : shape.fields) SetField(fields, field);
  std::sort(fields.begin(), fields.end(),
            [](const TiffField& a, const TiffField& b) { return a.tag < b.tag; });
  return fields;
}

std::size_t OutOfLineBytes(const std::vector<TiffField>& fields) {
  std::size_t total = 0;
  for (const TiffField& f : fields) total += OutOfLine(f);
  return total;
}

void WriteIfd(TiffWriter& out, const std::vector<TiffField>& fields) {
  std::size_t extra = out.Size() + 2 + 12 * fields.size() + 4;
  out.Put16(std::uint32_t(fields.size()));
  for (const TiffField& f : fields) {
    out.Put16(f.tag);
    out.Put16(f.type);
    out.Put32(FieldCount(f));
    if (f.valueField >= 0) {
      out.Put32(std::uint32_t(f.valueField));
    } else if (OutOfLine(f)) {
      out.Put32(std::uint32_t(extra));
      extra += OutOfLine(f);
    } else {
      std::size_t at = out.Size();
      out.PutValues(f);
      out.PadTo(at + 4);
    }
  }
  out.Put32(0);
  for (const TiffField& f : fields)
    if (OutOfLine(f)) {
      out.PutValues(f);
      out.PadTo((out.Size() + 1) & ~std::size_t(1));
    }
}

// Strips start at even offsets; the file ends with the last strip's byte.
void WriteStrips(TiffWriter& out, const std::vector<Bytes>& strips, bool padLast) {
  for (std::size_t s = 0; s < strips.size(); ++s) {
    out.Append(strips[s]);
    if (padLast || s + 1 < strips.size()) out.PadTo((out.Size() + 1) & ~std::size_t(1));
  }
}
}  // namespace

Bytes TiffLzwEncode(const Bytes& data, bool clearWhenFull) {
  LzwEncoder encoder;
  encoder.clearWhenFull = clearWhenFull;
  encoder.bits.Put(kClear, 9);
  int current = -1;
  for (std::uint8_t byte : data) {
    if (current < 0) {
      current = byte;
      continue;
    }
    auto found = encoder.table.find({current, byte});
    if (found != encoder.table.end()) {
      current = found->second;
      continue;
    }
    encoder.Emit(current, current, byte);
    current = byte;
  }
  if (current >= 0) encoder.Emit(current, current, -1);
  encoder.bits.Put(kEnd, encoder.width);
  return encoder.bits.Finish();
}

Bytes PackCodesMsbFirst(const std::vector<std::pair<int, int>>& codesAndWidths) {
  MsbBitWriter bits;
  for (auto [code, width] : codesAndWidths) bits.Put(std::uint32_t(code), width);
  return bits.Finish();
}

Bytes PackBitsEncode(const Bytes& data) {
  Bytes out = {0x80};
  std::size_t i = 0;
  while (i < data.size()) {
    std::size_t run = 1;
    while (i + run < data.size() && run < 128 && data[i + run] == data[i]) ++run;
    if (run >= 2) {
      out.push_back(std::uint8_t(1 - int(run)));
      out.push_back(data[i]);
      i += run;
      continue;
    }
    std::size_t literal = 1;
    while (i + literal < data.size() && literal < 128 &&
           !(i + literal + 1 < data.size() && data[i + literal] == data[i + literal + 1]))
      ++literal;
    out.push_back(std::uint8_t(literal - 1));
    out.insert(out.end(), data.begin() + long(i), data.begin() + long(i + literal));
    i += literal;
  }
  return out;
}

std::size_t TiffRowBytes(const TiffShape& shape) {
  std::size_t bits = 0;
  for (std::uint16_t b : shape.bitsPerSample) bits += b;
  return (std::size_t(shape.width) * bits + 7) / 8;
}

Bytes BuildTiff(const TiffShape& shape) {
  std::vector<Bytes> strips = EncodeStrips(shape);
  std::vector<TiffField> fields = BuildFields(shape, strips);
  std::size_t ifdBytes = 2 + 12 * fields.size() + 4 + OutOfLineBytes(fields);
  std::size_t stripStart = shape.ifdFirst ? 8 + ifdBytes : 8;
  bool builtOffsets = std::none_of(shape.fields.begin(), shape.fields.end(),
                                   [](const TiffField& f) { return f.tag == 273; });
  for (TiffField& f : fields) {
    if (f.tag != 273 || !builtOffsets) continue;
    std::size_t at = stripStart;
    for (std::size_t s = 0; s < strips.size(); ++s) {
      f.values[s] = std::uint32_t(at);
      at += (strips[s].size() + 1) & ~std::size_t(1);
    }
  }
  TiffWriter out(shape.bigEndian);
  out.Append(shape.bigEndian ? Bytes{'M', 'M'} : Bytes{'I', 'I'});
  out.Put16(42);
  if (shape.ifdFirst) {
    out.Put32(8);
    WriteIfd(out, fields);
    WriteStrips(out, strips, false);
  } else {
    std::size_t stripBytes = 0;
    for (const Bytes& s : strips) stripBytes += (s.size() + 1) & ~std::size_t(1);
    out.Put32(std::uint32_t(8 + stripBytes));
    WriteStrips(out, strips, true);
    WriteIfd(out, fields);
  }
  return out.Take();
}
