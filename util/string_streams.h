// Record streams: byte strings with a 16-bit length prefix, fixed records of
// 32-bit integers, the font-dialog record, and bitmap files read into or
// written from a packed DIB, over open low-level file handles (the string
// forms also over C streams).
//
// Stored string: length (2 bytes, unsigned, little-endian), then that many
// bytes, no terminator. Texts are stored up to their first NUL byte and read
// back up to it; the whole stored length is consumed either way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "imagelib/byte_cursor.h"
#include "platform/core/global_memory.h"
#include "platform/core/wintypes.h"

// The longest text a stored string can hold.
constexpr std::size_t kMaxStoredString = 65535;

// Writes the string; returns the result of the last low-level write (2 for
// an empty string), or -1 when the text is too long to store (nothing is
// written then).
long WriteString(const std::string& text, int file);
// Reads a stored string into out. False when the file ended before the
// length or the bytes it announces (out then holds what was read).
bool ReadString(std::string& out, int file);

// The same over bytes already in memory (a whole file read at once).
bool ReadString(std::string& out, ByteCursor& in);

// The same over a C stream; a null stream writes or reads nothing.
void WriteStreamString(const std::string& text, std::FILE* stream);
bool ReadStreamString(std::string& out, std::FILE* stream);

// Fixed records, 32-bit little-endian integers in memory order. Each returns
// the result of its (last) low-level write or read.
struct TLongPair {
  LONG first;
  LONG second;
};
long WriteLong(LONG value, int file);
long ReadLong(LONG& value, int file);
long WritePair(const TLongPair& pair, int file);
long ReadPair(TLongPair& pair, int file);
long WriteRect(const RECT& rect, int file);
long ReadRect(RECT& rect, int file);

// The font dialog's data. The stored form (82 bytes) leaves out the error,
// the device context and the style text, which read back as 0.
struct TFontRecord {
  DWORD Flags = 0;
  DWORD Error = 0;
  DWORD DC = 0;
  LONG Height = 0, Width = 0, Escapement = 0, Orientation = 0, Weight = 0;
  BYTE Italic = 0, Underline = 0, StrikeOut = 0, CharSet = 0, OutPrecision = 0,
       ClipPrecision = 0, Quality = 0, PitchAndFamily = 0;
  char FaceName[32] = {};
  LONG PointSize = 0;
  COLORREF Color = 0;
  DWORD Style = 0;
  WORD FontType = 0;
  LONG SizeMin = 0;
  LONG SizeMax = 0;
};
constexpr std::size_t kStoredFontRecordSize = 82;
long WriteFontRecord(const TFontRecord& record, int file);
long ReadFontRecord(TFontRecord& record, int file);

// Reads a BMP file from the handle's position: its 14-byte file header, then
// the rest of the file as a packed DIB in a new block. Null when the header
// is not "BM", the size is impossible, or the file is shorter than it says.
HGLOBAL ReadBitmapFile(int file);
// Writes the packed DIB as a BMP file; false for a null pointer or handle or
// a failed write.
bool WriteBitmapFile(int file, const HGLOBAL* dib);
