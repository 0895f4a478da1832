#include "util/string_streams.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imagelib/bmp.h"
#include "platform/core/lowio.h"

namespace {
// The stored text: up to the first NUL, as a C string would be.
std::size_t StoredLength(const std::string& text) { return std::strlen(text.c_str()); }

std::string UpToNul(std::string text) {
  text.resize(std::strlen(text.c_str()));
  return text;
}

void PutLE(BYTE* at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = BYTE(value >> (8 * i));
}

std::uint32_t GetLE(const BYTE* at, int bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= std::uint32_t(at[i]) << (8 * i);
  return v;
}

long WriteLongs(const LONG* values, int count, int file) {
  BYTE bytes[16];
  for (int i = 0; i < count; ++i) PutLE(bytes + 4 * i, std::uint32_t(values[i]), 4);
  return _write(file, bytes, std::size_t(count) * 4);
}

long ReadLongs(LONG* values, int count, int file) {
  BYTE bytes[16] = {};
  long got = _read(file, bytes, std::size_t(count) * 4);
  for (int i = 0; i < count; ++i) values[i] = LONG(GetLE(bytes + 4 * i, 4));
  return got;
}
}  // namespace

long WriteString(const std::string& text, int file) {
  const std::size_t length = StoredLength(text);
  if (length > kMaxStoredString) return -1;
  BYTE prefix[2];
  PutLE(prefix, std::uint32_t(length), 2);
  long result = _write(file, prefix, 2);
  if (length && result == 2) result = _write(file, text.data(), length);
  return result;
}

bool ReadString(std::string& out, int file) {
  BYTE prefix[2];
  out.clear();
  if (_read(file, prefix, 2) != 2) return false;
  const std::size_t length = GetLE(prefix, 2);
  std::string text(length, '\0');
  long got = length ? _read(file, text.data(), length) : 0;
  text.resize(got > 0 ? std::size_t(got) : 0);
  out = UpToNul(std::move(text));
  return std::size_t(got) == length;
}

bool ReadString(std::string& out, ByteCursor& in) {
  const std::size_t length = in.u16le();
  const std::size_t available = std::min(length, in.remaining());
  std::string text(reinterpret_cast<const char*>(in.here()), in.failed() ? 0 : available);
  in.skip(length);
  out = UpToNul(std::move(text));
  return !in.failed();
}

void WriteStreamString(const std::string& text, std::FILE* stream) {
  const std::size_t length = StoredLength(text);
  if (!stream || length > kMaxStoredString) return;
  BYTE prefix[2];
  PutLE(prefix, std::uint32_t(length), 2);
  std::fwrite(prefix, 1, 2, stream);
  if (length) std::fwrite(text.data(), 1, length, stream);
}

bool ReadStreamString(std::string& out, std::FILE* stream) {
  BYTE prefix[2];
  out.clear();
  if (!stream || std::fread(prefix, 1, 2, stream) != 2) return false;
  const std::size_t length = GetLE(prefix, 2);
  std::string text(length, '\0');
  std::size_t got = length ? std::fread(text.data(), 1, length, stream) : 0;
  text.resize(got);
  out = UpToNul(std::move(text));
  return got == length;
}

long WriteLong(LONG value, int file) { return WriteLongs(&value, 1, file); }
long ReadLong(LONG& value, int file) { return ReadLongs(&value, 1, file); }

long WritePair(const TLongPair& pair, int file) {
  const LONG v[2] = {pair.first, pair.second};
  return WriteLongs(v, 2, file);
}

long ReadPair(TLongPair& pair, int file) {
  LONG v[2];
  long got = ReadLongs(v, 2, file);
  pair = {v[0], v[1]};
  return got;
}

long WriteRect(const RECT& rect, int file) {
  const LONG v[4] = {rect.left, rect.top, rect.right, rect.bottom};
  return WriteLongs(v, 4, file);
}

long ReadRect(RECT& rect, int file) {
  LONG v[4];
  long got = ReadLongs(v, 4, file);
  rect = {v[0], v[1], v[2], v[3]};
  return got;
}

namespace {
// The stored font record, field by field in stored order.
struct FontLayout {
  BYTE bytes[kStoredFontRecordSize] = {};
  std::size_t at = 0;
  void Put(std::uint32_t v, int n) {
    PutLE(bytes + at, v, n);
    at += std::size_t(n);
  }
  std::uint32_t Get(int n) {
    std::uint32_t v = GetLE(bytes + at, n);
    at += std::size_t(n);
    return v;
  }
};

template <typename Field, typename Layout>
void EachFontField(TFontRecord& r, Layout&& visit) {
  visit(reinterpret_cast<Field*>(&r.Flags), 4);
  for (LONG* v : {&r.Height, &r.Width, &r.Escapement, &r.Orientation, &r.Weight})
    visit(reinterpret_cast<Field*>(v), 4);
  for (BYTE* b : {&r.Italic, &r.Underline, &r.StrikeOut, &r.CharSet, &r.OutPrecision,
                  &r.ClipPrecision, &r.Quality, &r.PitchAndFamily})
    visit(reinterpret_cast<Field*>(b), 1);
  for (char& c : r.FaceName) visit(reinterpret_cast<Field*>(&c), 1);
  visit(reinterpret_cast<Field*>(&r.PointSize), 4);
  visit(reinterpret_cast<Field*>(&r.Color), 4);
  visit(reinterpret_cast<Field*>(&r.FontType), 2);
  visit(reinterpret_cast<Field*>(&r.SizeMin), 4);
  visit(reinterpret_cast<Field*>(&r.SizeMax), 4);
}
}  // namespace

long WriteFontRecord(const TFontRecord& record, int file) {
  FontLayout layout;
  TFontRecord copy = record;
  EachFontField<void>(copy, [&](void* field, int n) {
    std::uint32_t v = 0;
    std::memcpy(&v, field, std::size_t(n));
    layout.Put(v, n);
  });
  return _write(file, layout.bytes, sizeof layout.bytes);
}

long ReadFontRecord(TFontRecord& record, int file) {
  FontLayout layout;
  long got = _read(file, layout.bytes, sizeof layout.bytes);
  record = TFontRecord{};
  EachFontField<void>(record, [&](void* field, int n) {
    std::uint32_t v = layout.Get(n);
    std::memcpy(field, &v, std::size_t(n));
  });
  return got;
}

HGLOBAL ReadBitmapFile(int file) {
  BYTE header[14];
  if (_read(file, header, sizeof header) != long(sizeof header)) return nullptr;
  if (GetLE(header, 2) != 19778) return nullptr;  // "BM"
  const std::uint32_t fileSize = GetLE(header + 2, 4);
  if (fileSize < 14 + sizeof(BITMAPINFOHEADER) || fileSize > kMaxDibBytes) return nullptr;
  const std::size_t size = fileSize - 14;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  // A file shorter than its header says would leave the block half filled.
  bool complete = _read(file, GlobalLock(block), size) == long(size);
  GlobalUnlock(block);
  return complete ? block : GlobalFree(block);
}

bool WriteBitmapFile(int file, const HGLOBAL* dib) {
  if (!dib || !*dib) return false;
  _TDIB codec;
  codec.SetDescriptor("OS/2 1.x, 2.0, Windows 3.0 Bitmap", "BMP DIB RLE RL4 RL8", 255);
  return codec.WriteDIB(file, *dib) == kOk;
}
