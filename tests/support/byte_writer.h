// Little-endian numbers in the fixture files that tests and benchmarks build
// in memory (header only, so the benchmarks can use it too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Writes the low `size` bytes of v at `at`, least significant first. Bytes
// that would fall past the end are left out, so a header shorter than its
// fields simply loses them.
inline void PutLe(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v, int size) {
  for (int i = 0; i < size; ++i)
    if (at + std::size_t(i) < b.size()) b[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}
inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  PutLe(b, at, v, 2);
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  PutLe(b, at, v, 4);
}

inline void Append16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)});
}
inline void Append32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Append16(b, v);
  Append16(b, v >> 16);
}
