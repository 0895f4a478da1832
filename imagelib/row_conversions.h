// Conversions of one row of pixels between the layouts of the packed DIB.
//
// Layouts: 24 bits blue, green, red; 32 bits blue, green, red and an ignored
// fourth byte; 16 bits (555) a little-endian value with blue in bits 0-4,
// green in 5-9, red in 10-14 and bit 15 ignored; 4 and 1 bits with the
// leftmost pixel in the high nibble or the most significant bit.
//
// Every routine converts count pixels from the first to the last and reads a
// source pixel completely before it writes the destination pixel. So from and
// to may share memory when the destination starts at or before the source and
// never overtakes the unread source: a row can be widened in place by placing
// the narrow pixels at its end, or narrowed in place from its start.
#pragma once

#include "platform/core/dib.h"
#include "platform/core/wintypes.h"

// The three bytes of each pixel copied; the fourth destination byte is left.
void Rgb24ToRgb32(const BYTE* from, BYTE* to, DWORD count);
// Bytes 0, 1, 2 of each pixel copied, byte 3 dropped.
void Rgb32ToRgb24(const BYTE* from, BYTE* to, DWORD count);

// The top five bits of each channel; bit 15 zero.
void Rgb24ToRgb555(const BYTE* from, BYTE* to, DWORD count);
// Each channel's five bits become its top five; the low three bits are zero.
void Rgb555ToRgb24(const BYTE* from, BYTE* to, DWORD count);

// The index of the palette entry nearest to each colour.
void Rgb24ToIndex8(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette);
// The palette entry of each index; an index beyond the palette gives black.
void Index8ToRgb24(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette);

// Each index limited to 15, two per byte. With an odd count the low nibble of
// the last byte is zero.
void Index8ToIndex4(const BYTE* from, BYTE* to, DWORD count);
// The nearest palette index (limited to 15, so that a large palette cannot
// spill into the neighbouring pixel), two per byte.
void Rgb24ToIndex4(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette);
// Each 4-bit index looked up in the palette; beyond the palette gives black.
void Index4ToRgb24(const BYTE* from, BYTE* to, DWORD count, const TPalette& palette);

// 1 when 77 red + 151 green + 28 blue reaches 32768, else 0; eight pixels per
// byte. Bits after the last pixel of the last byte are zero.
void Rgb24ToMono(const BYTE* from, BYTE* to, DWORD count);
// 1 gives white, 0 black.
void MonoToRgb24(const BYTE* from, BYTE* to, DWORD count);
