// A bounded reader over bytes already in memory (a header read into a fixed
// array, a strip, a table). Reads past the end yield 0 and set a sticky
// failure flag, so a parser can read a whole structure and check once.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteCursor {
 public:
  ByteCursor(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}

  std::uint8_t u8() { return Take(1) ? Data[Pos - 1] : 0; }
  std::uint16_t u16le() { return std::uint16_t(Bytes(2, false)); }
  std::uint16_t u16be() { return std::uint16_t(Bytes(2, true)); }
  std::uint32_t u32le() { return std::uint32_t(Bytes(4, false)); }
  std::uint32_t u32be() { return std::uint32_t(Bytes(4, true)); }
  std::int32_t i32le() { return std::int32_t(u32le()); }
  void skip(std::size_t n) { Take(n); }
  void seek(std::size_t pos) {
    if (pos > Size) Failed = true;
    else Pos = pos;
  }

  std::size_t position() const { return Pos; }
  std::size_t remaining() const { return Size - Pos; }
  bool failed() const { return Failed; }
  const std::uint8_t* here() const { return Data + Pos; }

 private:
  bool Take(std::size_t n) {
    if (Failed || n > Size - Pos) {
      Failed = true;
      Pos = Size;
      return false;
    }
    Pos += n;
    return true;
  }
  std::uint64_t Bytes(std::size_t n, bool bigEndian) {
    if (!Take(n)) return 0;
    const std::uint8_t* p = Data + Pos - n;
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < n; ++i)
      v |= std::uint64_t(p[bigEndian ? i : n - 1 - i]) << (8 * (n - 1 - i));
    return v;
  }

  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Pos = 0;
  bool Failed = false;
};
