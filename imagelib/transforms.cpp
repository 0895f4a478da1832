// Whole-image transforms of the packed DIB held by TBitmap_Base, and the
// lookup tables they use.
#include "imagelib/transforms.h"

#include <cstdint>
#include <cstring>

#include "imagelib/bitmap_base.h"
#include "platform/core/global_memory.h"
#include "platform/core/locked_block.h"

TUtilVarMan UtilVarMan;

namespace {

BYTE ReverseBits(unsigned b) {
  BYTE r = 0;
  for (int k = 0; k < 8; ++k)
    if (b & (1u << k)) r = BYTE(r | (0x80 >> k));
  return r;
}

}  // namespace

void TUtilVarMan::FillMirrorTables() {
  for (unsigned b = 0; b < 256; ++b) {
    BYTE reversed = ReverseBits(b);
    Area[b] = reversed;
    Area[256 + b] = BYTE(b << 4 | b >> 4);
    for (unsigned shift = 1; shift < 8; ++shift) {
      Area[512 * shift + b] = BYTE(reversed << shift);
      Area[512 * shift + 256 + b] = BYTE(reversed >> (8 - shift));
    }
  }
}

namespace {

// What the transforms can do with the held image.
enum class THeld { Nothing, Rows, Inconsistent };

// The rows that Width, Height and BitCount describe must lie inside the held
// block; members changed by hand after loading must not send the transforms
// past its end.
THeld HeldRows(const TBitmap_Base& image, std::uint64_t stride) {
  if (!image.Handle || !image.Bits || !image.Header || image.Height <= 0 || stride == 0)
    return THeld::Nothing;
  auto offset = std::uint64_t(image.Bits - reinterpret_cast<const BYTE*>(image.Header));
  std::uint64_t size = GlobalSize(image.Handle);
  // Divided rather than multiplied: absurd members must not wrap around.
  bool fits = offset <= size && std::uint64_t(image.Height) <= (size - offset) / stride;
  return fits ? THeld::Rows : THeld::Inconsistent;
}

// Reverses a packed row of byteCount bytes byte by byte: output byte j takes
// high[] of input byte byteCount-1-j, ORed with low[] of the input byte
// before that (low may be null when the pixels fill whole bytes).
void MirrorPackedRow(const BYTE* in, BYTE* out, std::size_t byteCount, const BYTE* high,
                     const BYTE* low) {
  for (std::size_t j = 0; j < byteCount; ++j) {
    BYTE value = high[in[byteCount - 1 - j]];
    if (low && j + 1 < byteCount) value = BYTE(value | low[in[byteCount - 2 - j]]);
    out[j] = value;
  }
}

// 1 bit: reversing whole bytes leaves the pixels `shift` bits too far right
// when the width is not a multiple of 8; the shifted tables pull them back.
void MirrorRow1(const BYTE* in, BYTE* out, DWORD width) {
  std::size_t bytes = (std::size_t(width) + 7) / 8;
  unsigned shift = unsigned(bytes * 8 - width);
  if (shift == 0)
    MirrorPackedRow(in, out, bytes, UtilVarMan.BitReversal(), nullptr);
  else
    MirrorPackedRow(in, out, bytes, UtilVarMan.ShiftedReversalHigh(shift),
                    UtilVarMan.ShiftedReversalLow(shift));
}

// 4 bits: with an even width each byte keeps its pair and swaps its nibbles.
// With an odd width every output byte takes the high nibble of one input byte
// and the low nibble of the byte before it, in place, so no swap is needed.
void MirrorRow4(const BYTE* in, BYTE* out, DWORD width) {
  std::size_t bytes = (std::size_t(width) + 1) / 2;
  if (width % 2 == 0) {
    MirrorPackedRow(in, out, bytes, UtilVarMan.NibbleSwap(), nullptr);
    return;
  }
  for (std::size_t j = 0; j < bytes; ++j) {
    BYTE value = BYTE(in[bytes - 1 - j] & 0xF0);
    if (j + 1 < bytes) value = BYTE(value | (in[bytes - 2 - j] & 0x0F));
    out[j] = value;
  }
}

// 8 and 24 bits: whole pixels of pixelBytes bytes in reverse order.
void MirrorRowBytes(const BYTE* in, BYTE* out, DWORD width, std::size_t pixelBytes) {
  for (std::size_t x = 0; x < width; ++x)
    std::memcpy(out + x * pixelBytes, in + (width - 1 - x) * pixelBytes, pixelBytes);
}

void MirrorRow(const BYTE* in, BYTE* out, DWORD width, DWORD bitCount) {
  switch (bitCount) {
    case 1: MirrorRow1(in, out, width); break;
    case 4: MirrorRow4(in, out, width); break;
    default: MirrorRowBytes(in, out, width, bitCount / 8); break;
  }
}

}  // namespace

int TBitmap_Base::FlipVertical() {
  std::uint64_t stride = RowStride64(Width, BitCount);
  THeld held = HeldRows(*this, stride);
  if (held != THeld::Rows) return held == THeld::Nothing ? kOk : kErrCorrupt;
  TLockedBlock temp(stride);
  if (!temp.Get()) return kErrMemory;
  for (LONG top = 0, bottom = Height - 1; top < bottom; ++top, --bottom) {
    BYTE* a = Bits + std::uint64_t(top) * stride;
    BYTE* b = Bits + std::uint64_t(bottom) * stride;
    std::memcpy(temp.Get(), a, stride);
    std::memcpy(a, b, stride);
    std::memcpy(b, temp.Get(), stride);
  }
  return kOk;
}

int TBitmap_Base::MirrorHorizontal() {
  if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 24) return kOk;
  std::uint64_t stride = RowStride64(Width, BitCount);
  THeld held = HeldRows(*this, stride);
  if (held != THeld::Rows) return held == THeld::Nothing ? kOk : kErrCorrupt;
  // Rows are assembled in a zero-filled scratch row and copied back whole,
  // so the padding after the last pixel comes back as zeros.
  TLockedBlock temp(stride);
  if (!temp.Get()) return kErrMemory;
  UtilVarMan.FillMirrorTables();
  for (LONG y = 0; y < Height; ++y) {
    BYTE* row = Bits + std::uint64_t(y) * stride;
    MirrorRow(row, temp.Get(), Width, BitCount);
    std::memcpy(row, temp.Get(), stride);
  }
  return kOk;
}
