#include "imagelib/pcd.h"

TChromaMan ChromaMan;

namespace {
// Repeats the last stored chrominance value once, so that the last odd
// column interpolates with itself.
void ExtendByLast(BYTE* chroma, int half) { chroma[half] = chroma[half - 1]; }

void InterpolateChannel(const BYTE* c, const BYTE* cn, BYTE* upper, BYTE* lower, int width) {
  for (int x = 0; x < width; x += 2) {
    int k = x / 2;
    upper[x] = c[k];
    upper[x + 1] = BYTE((c[k] + c[k + 1]) >> 1);
    lower[x] = BYTE((c[k] + cn[k]) >> 1);
    lower[x + 1] = BYTE((c[k] + c[k + 1] + cn[k] + cn[k + 1]) >> 2);
  }
}

// PhotoYCC to RGB with fixed coefficients; the value is cut toward zero
// first and then limited to a byte.
BYTE Limit(double value) {
  int v = int(value);
  return BYTE(v < 0 ? 0 : v > 255 ? 255 : v);
}
}  // namespace

void TChromaMan::Interpolate(int storedWidth) {
  int half = storedWidth / 2;
  for (BYTE* chroma : {C1(), C2(), C1n(), C2n()}) ExtendByLast(chroma, half);
  InterpolateChannel(C1(), C1n(), U0(), U1(), storedWidth);
  InterpolateChannel(C2(), C2n(), V0(), V1(), storedWidth);
}

void TChromaMan::PixelToBgr(int x, bool lower, BYTE* bgr) {
  double y = 1.3584 * (lower ? Y1() : Y0())[x];
  double u = double((lower ? U1() : U0())[x]) - 156;
  double v = double((lower ? V1() : V0())[x]) - 137;
  bgr[0] = Limit(y + 2.2179 * u);
  bgr[1] = Limit(y - 0.9271435 * v - 0.4302726 * u);
  bgr[2] = Limit(y + 1.8215 * v);
}
