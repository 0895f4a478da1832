#include "imagelib/pcx.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imagelib/byte_cursor.h"
#include "platform/core/lowio.h"

namespace {
// Unsupported pair of bits per pixel and planes.

// Offsets in the 128-byte header; only its first 70 bytes are used.
enum HeaderOffset : std::size_t {
  kManufacturer = 0,
  kVersion = 1,
  kEncoding = 2,
  kBitsPerPlane = 3,
  kWindow = 4,  // xmin, ymin, xmax, ymax
  kHeaderPalette = 16,
  kPlanes = 65,
  kBytesPerLine = 66,
  kUsedHeaderBytes = 70,
  kPixelData = 128,
};

constexpr BYTE kManufacturerZSoft = 10;
constexpr BYTE kEncodingRle = 1;
constexpr BYTE kEndPaletteMarker = 12;
constexpr int kEndPaletteBytes = 1 + 256 * 3;
constexpr int kHeaderPaletteBytes = 16 * 3;

// DIB bit count of a (bits per plane, planes) pair; 0 for pairs not read.
DWORD BitCountForLayout(BYTE bitsPerPlane, BYTE planes) {
  if (bitsPerPlane == 1 && planes == 1) return 1;
  if (bitsPerPlane == 1 && planes == 4) return 4;
  if (bitsPerPlane == 4 && planes == 1) return 4;
  if (bitsPerPlane == 8 && planes == 1) return 8;
  if (bitsPerPlane == 8 && planes == 3) return 24;
  return 0;
}

void FillFromTriples(RGBQUAD* table, const BYTE* triples, int count) {
  for (int i = 0; i < count; ++i)
    table[i] = RGBQUAD{triples[3 * i + 2], triples[3 * i + 1], triples[3 * i], 0};
}

// Writes as much of the pending run as fits into length bytes.
DWORD TakePending(BYTE* dest, DWORD length, TPCX::TRunState& run) {
  DWORD n = std::min(DWORD(run.Count), length);
  std::memset(dest, run.Value, n);
  run.Count -= int(n);
  return n;
}

using TLineBuffer = std::unique_ptr<BYTE, decltype(&std::free)>;
}  // namespace

struct TPCX::TLineSource {
  int File;
  AHEAD Reader;
  TRunState Run;
  // One buffer per plane, each with room for BytesPerLine and for the bytes
  // a planar row takes its pixels from.
  BYTE* Line;
  DWORD LineSize;
};

int TPCX::ReadHeader(int file, const char* options) {
  Truncate = HasOption(options, "trunc") ? 1 : 0;
  BYTE header[kUsedHeaderBytes];
  if (_lseek(file, 0, SEEK_SET) != 0 || _read(file, header, sizeof header) != long(sizeof header))
    return kErrShortRead;
  ByteCursor cursor(header, sizeof header);
  if (header[kManufacturer] != kManufacturerZSoft) return kErrSignature;
  Version = header[kVersion];
  if (Version == 4 || Version > 5) return kErrVariant;
  if (header[kEncoding] != kEncodingRle) return kErrBitCount;
  Planes = header[kPlanes];
  BitCount = BitCountForLayout(header[kBitsPerPlane], Planes);
  if (BitCount == 0) return kErrLayout;

  cursor.seek(kWindow);
  int xMin = cursor.u16le(), yMin = cursor.u16le();
  int xMax = cursor.u16le(), yMax = cursor.u16le();
  int width = xMax - xMin + 1, height = yMax - yMin + 1;
  if (width <= 0 || height <= 0) return kErrZeroSize;
  Width = DWORD(width);
  Height = height;

  cursor.seek(kBytesPerLine);
  BytesPerLine = cursor.u16le();
  Colors = ColorsForBitCount(WORD(BitCount));
  ComputeSizes();
  return kOk;
}

int TPCX::ReadPalette(int file, RGBQUAD* colourTable) {
  if (BitCount == 1) {
    // The header palette of a monochrome file is unreliable; black and white
    // is what every such file means.
    colourTable[0] = RGBQUAD{0, 0, 0, 0};
    colourTable[1] = RGBQUAD{255, 255, 255, 0};
    return kOk;
  }
  if (BitCount == 4) {
    BYTE triples[kHeaderPaletteBytes];
    if (_lseek(file, kHeaderPalette, SEEK_SET) != kHeaderPalette ||
        _read(file, triples, sizeof triples) != long(sizeof triples))
      return kErrShortRead;
    FillFromTriples(colourTable, triples, 16);
    return kOk;
  }
  // 256 colours: the marker byte and 768 bytes of triples end the file.
  BYTE tail[kEndPaletteBytes];
  std::int64_t at = _filelength(file) - kEndPaletteBytes;
  if (at < 0 || _lseek(file, at, SEEK_SET) != at ||
      _read(file, tail, sizeof tail) != long(sizeof tail) || tail[0] != kEndPaletteMarker)
    return kErrCompression;
  FillFromTriples(colourTable, tail + 1, 256);
  return kOk;
}

void TPCX::DecodeLine(int file, AHEAD& reader, BYTE* dest, DWORD length, TRunState& run) {
  DWORD done = TakePending(dest, length, run);
  while (done < length && !run.AtEnd) {
    int byte = reader.NextByte(file);
    if (byte < 0) break;
    if (byte < 0xC0) {
      dest[done++] = BYTE(byte);
      continue;
    }
    int value = reader.NextByte(file);
    if (value < 0) break;
    run.Count = byte & 0x3F;
    run.Value = BYTE(value);
    done += TakePending(dest + done, length - done, run);
  }
  // A file cut short reads on as bytes of 255 (end of file is -1 in a byte),
  // so its missing pixels come out as 255 and the image still loads. Once the
  // end is seen the file is not asked again.
  if (done < length) {
    run.AtEnd = true;
    std::memset(dest + done, 0xFF, length - done);
  }
}

void TPCX::MergePlaneByte(BYTE planeByte, BYTE planeMask, BYTE* dest) {
  for (int pair = 0; pair < 4; ++pair) {
    int firstBit = 7 - 2 * pair;
    if (planeByte >> firstBit & 1) dest[pair] |= planeMask & 0xF0;
    if (planeByte >> (firstBit - 1) & 1) dest[pair] |= planeMask & 0x0F;
  }
}

void TPCX::NextPlaneLine(TLineSource& source, BYTE* dest) {
  DecodeLine(source.File, source.Reader, dest, BytesPerLine, source.Run);
  if (Truncate) source.Run.Count = 0;
}

void TPCX::DecodePackedRow(TLineSource& source, BYTE* row, DWORD stride) {
  // The file's bytes already have the DIB's pixel order. A scan line longer
  // than the row goes through the line buffer, so that it never spills into
  // the next row or past the last one.
  if (BytesPerLine <= stride) {
    NextPlaneLine(source, row);
    return;
  }
  NextPlaneLine(source, source.Line);
  std::memcpy(row, source.Line, stride);
}

void TPCX::DecodeFourPlaneRow(TLineSource& source, BYTE* row, DWORD stride) {
  std::memset(row, 0, stride);
  DWORD whole = Width / 8, rest = Width % 8;
  for (int plane = 0; plane < 4; ++plane) {
    BYTE mask = BYTE(0x11 << plane);
    NextPlaneLine(source, source.Line);
    for (DWORD i = 0; i < whole; ++i) MergePlaneByte(source.Line[i], mask, row + 4 * i);
    if (rest)
      MergePlaneByte(BYTE(source.Line[whole] & (0xFF << (8 - rest))), mask, row + 4 * whole);
  }
}

void TPCX::DecodeThreePlaneRow(TLineSource& source, BYTE* row) {
  BYTE* red = source.Line;
  BYTE* green = red + source.LineSize;
  BYTE* blue = green + source.LineSize;
  for (BYTE* plane : {red, green, blue}) NextPlaneLine(source, plane);
  for (DWORD x = 0; x < Width; ++x, row += 3) {
    row[0] = blue[x];
    row[1] = green[x];
    row[2] = red[x];
  }
}

int TPCX::ReadBits(int file, BYTE* bits) {
  const DWORD stride = RowStride(Width, BitCount);
  // Bytes of a plane line the planar layouts take their pixels from. A file
  // whose lines are shorter leaves the rest of the buffer 0.
  DWORD needed = Planes == 1 ? 0 : BitCount == 4 ? (Width + 7) / 8 : Width;
  DWORD lineSize = std::max<DWORD>({BytesPerLine, needed, 1});
  TLineBuffer line(static_cast<BYTE*>(std::calloc(lineSize, Planes == 3 ? 3 : 1)), &std::free);
  if (!line) return kErrMemory;
  TLineSource source{file, {}, {}, line.get(), lineSize};
  if (_lseek(file, kPixelData, SEEK_SET) != kPixelData) return kErrShortRead;

  // Scan lines run from the top of the picture, DIB rows from the bottom.
  for (LONG y = Height - 1; y >= 0; --y) {
    BYTE* row = bits + std::size_t(y) * stride;
    if (Planes == 1)
      DecodePackedRow(source, row, stride);
    else if (Planes == 4)
      DecodeFourPlaneRow(source, row, stride);
    else
      DecodeThreePlaneRow(source, row);
  }
  return kOk;
}

int TPCX::WriteDIB(int, HGLOBAL) { return kOk; }
