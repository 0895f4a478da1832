#include "imagelib/row_conversions.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/support/test_support.h"

namespace {

Bytes From555(WORD value) {
  Bytes out(3);
  BYTE in[2] = {BYTE(value), BYTE(value >> 8)};
  Rgb555ToRgb24(in, out.data(), 1);
  return out;
}

TEST(Rgb555, ChannelsWidenToTheirTopFiveBits) {
  struct Case {
    WORD value;
    Bytes bgr;
  } cases[] = {
      {0x7FFF, {248, 248, 248}},
      {0x8000, {0, 0, 0}},  // bit 15 carries no colour
      {0x001F, {248, 0, 0}},
      {0x03E0, {0, 248, 0}},
      {0x7C00, {0, 0, 248}},
      {0x0421, {8, 8, 8}},
  };
  for (const Case& c : cases) EXPECT_EQ(From555(c.value), c.bgr) << std::hex << c.value;
}

TEST(Rgb555, EveryValueSurvivesTheRoundTripWithBit15Cleared) {
  for (unsigned value = 0; value < 0x10000; ++value) {
    Bytes bgr = From555(WORD(value));
    BYTE back[2];
    Rgb24ToRgb555(bgr.data(), back, 1);
    ASSERT_EQ(unsigned(back[0] | back[1] << 8), value & 0x7FFF) << std::hex << value;
  }
}

TEST(Rgb32, DropsAndLeavesTheFourthByte) {
  const BYTE wide[] = {10, 20, 30, 40, 1, 2, 3, 4};
  BYTE narrow[6] = {};
  Rgb32ToRgb24(wide, narrow, 2);
  EXPECT_EQ(Bytes(narrow, narrow + 6), (Bytes{10, 20, 30, 1, 2, 3}));

  BYTE again[8] = {0, 0, 0, 99, 0, 0, 0, 99};
  Rgb24ToRgb32(narrow, again, 2);
  EXPECT_EQ(Bytes(again, again + 8), (Bytes{10, 20, 30, 99, 1, 2, 3, 99}));
}

TEST(Mono, ThresholdWeighsGreenMost) {
  struct Case {
    BYTE blue, green, red;
    int bit;
  } cases[] = {
      {128, 128, 128, 1}, {127, 127, 127, 0}, {0, 255, 0, 1},
      {0, 0, 255, 0},     {255, 0, 0, 0},     {255, 255, 255, 1},
  };
  for (const Case& c : cases) {
    BYTE pixel[3] = {c.blue, c.green, c.red};
    BYTE out = 0x55;
    Rgb24ToMono(pixel, &out, 1);
    EXPECT_EQ(out, c.bit ? 0x80 : 0x00) << int(c.blue) << "," << int(c.green) << "," << int(c.red);
  }
}

TEST(Mono, PacksMostSignificantBitFirstAndStartsEachByteAfresh) {
  // white, black, white, white, black x4, white
  const int pattern[9] = {1, 0, 1, 1, 0, 0, 0, 0, 1};
  Bytes row;
  for (int bit : pattern) row.insert(row.end(), 3, bit ? 255 : 0);
  BYTE packed[2] = {0xFF, 0xFF};
  Rgb24ToMono(row.data(), packed, 9);
  EXPECT_EQ(packed[0], 0xB0);
  EXPECT_EQ(packed[1], 0x80);

  Bytes back(27);
  MonoToRgb24(packed, back.data(), 9);
  EXPECT_EQ(back, row);
}

// Black, red, green, blue, white, then greys 16 .. 240 so that some nearest
// indices lie beyond 15.
TPalette TestPalette() {
  std::vector<PALETTEENTRY> entries = {
      {0, 0, 0, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {255, 255, 255, 0}};
  for (int grey = 16; grey <= 240; grey += 16) entries.push_back({BYTE(grey), BYTE(grey), BYTE(grey), 0});
  return TPalette(entries.data(), entries.size());
}

TEST(PaletteRows, Index8LooksUpNearestAndBack) {
  TPalette palette = TestPalette();
  // blue, green, red: near-red, pure blue, grey 240 (index 19), white
  const BYTE rgb[] = {10, 5, 250, 255, 0, 0, 238, 238, 238, 255, 255, 255};
  BYTE indices[4];
  Rgb24ToIndex8(rgb, indices, 4, palette);
  EXPECT_EQ(Bytes(indices, indices + 4), (Bytes{1, 3, 19, 4}));

  const BYTE lookups[] = {1, 3, 200};  // 200 lies beyond the palette
  Bytes bgr(9, 0x77);
  Index8ToRgb24(lookups, bgr.data(), 3, palette);
  EXPECT_EQ(bgr, (Bytes{0, 0, 255, 255, 0, 0, 0, 0, 0}));
}

TEST(PaletteRows, Index4PacksHighNibbleFirstAndLimitsTo15) {
  TPalette palette = TestPalette();
  const BYTE indices[] = {1, 2, 15, 16, 200};
  BYTE packed[3] = {0xFF, 0xFF, 0xFF};
  Index8ToIndex4(indices, packed, 5);
  EXPECT_EQ(Bytes(packed, packed + 3), (Bytes{0x12, 0xFF, 0xF0}));

  // red, grey 240 (nearest index 19, kept to 15), blue
  const BYTE rgb[] = {0, 0, 255, 240, 240, 240, 255, 0, 0};
  BYTE nearest[2] = {0xFF, 0xFF};
  Rgb24ToIndex4(rgb, nearest, 3, palette);
  EXPECT_EQ(Bytes(nearest, nearest + 2), (Bytes{0x1F, 0x30}));

  Bytes bgr(9);
  const BYTE pair[] = {0x31, 0x40};
  Index4ToRgb24(pair, bgr.data(), 3, palette);
  EXPECT_EQ(bgr, (Bytes{255, 0, 0, 0, 0, 255, 255, 255, 255}));
}

// Every conversion, run once into a separate row and once inside one buffer:
// widening with the source placed at the end of the destination, narrowing
// from the same start. Both must give the same row.
TEST(RowConversions, InPlaceGivesTheSameRowAsSeparateBuffers) {
  using Convert = std::function<void(const BYTE*, BYTE*, DWORD)>;
  TPalette palette = TestPalette();
  auto withPalette = [&](void (*f)(const BYTE*, BYTE*, DWORD, const TPalette&)) -> Convert {
    return [&palette, f](const BYTE* from, BYTE* to, DWORD n) { f(from, to, n, palette); };
  };
  struct Case {
    const char* name;
    int fromBits, toBits;
    Convert convert;
  } cases[] = {
      {"Rgb24ToRgb32", 24, 32, Rgb24ToRgb32},
      {"Rgb32ToRgb24", 32, 24, Rgb32ToRgb24},
      {"Rgb24ToRgb555", 24, 16, Rgb24ToRgb555},
      {"Rgb555ToRgb24", 16, 24, Rgb555ToRgb24},
      {"Rgb24ToIndex8", 24, 8, withPalette(Rgb24ToIndex8)},
      {"Index8ToRgb24", 8, 24, withPalette(Index8ToRgb24)},
      {"Index8ToIndex4", 8, 4, Index8ToIndex4},
      {"Rgb24ToIndex4", 24, 4, withPalette(Rgb24ToIndex4)},
      {"Index4ToRgb24", 4, 24, withPalette(Index4ToRgb24)},
      {"Rgb24ToMono", 24, 1, Rgb24ToMono},
      {"MonoToRgb24", 1, 24, MonoToRgb24},
  };
  const DWORD count = 13;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::size_t fromBytes = (count * c.fromBits + 7) / 8;
    std::size_t toBytes = (count * c.toBits + 7) / 8;
    Bytes source(fromBytes);
    for (std::size_t i = 0; i < fromBytes; ++i) source[i] = BYTE(i * 37 + 11);

    Bytes expected(toBytes, 0);
    c.convert(source.data(), expected.data(), count);

    std::size_t toOffset = 0, fromOffset = 0;
    if (toBytes > fromBytes) fromOffset = toBytes - fromBytes;
    Bytes shared(std::max(fromBytes, toBytes), 0);
    std::copy(source.begin(), source.end(), shared.begin() + fromOffset);
    c.convert(shared.data() + fromOffset, shared.data() + toOffset, count);
    // The fourth byte of a 32-bit pixel is not written by the conversion.
    if (c.toBits == 32)
      for (std::size_t i = 3; i < toBytes; i += 4) shared[i] = expected[i];
    EXPECT_EQ(Bytes(shared.begin(), shared.begin() + toBytes), expected);
  }
}

}  // namespace
