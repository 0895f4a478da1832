// The window-free core of the contour extraction: separating object from
// background by a key colour, and the contour file (".QuorinDaten").
//
// Contour file, all numbers little-endian, no gaps:
//   0  6  "QUORIN"
//   6  2  width  (low 16 bits)
//   8  2  height (low 16 bits)
//  10  4  point count n (signed)
//  14  8n points, x then y, signed 32-bit each, y = 0 at the top
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/dib.h"
#include "platform/core/wintypes.h"

// Fills width * height mask bytes (row 0 = top row of the picture): 0 where
// the pixel's colour equals the key colour (red | green << 8 | blue << 16),
// 1 elsewhere. For 8 and 24 bits per pixel only. An 8-bit index beyond the
// colour table counts as object.
void BuildContourMask(const TDib& image, COLORREF key, BYTE* mask);

// Writes the contour file for the first n points. False when the file cannot
// be created or fully written; a failed write leaves no partial file behind
// and an existing file of that name untouched.
bool WriteContourFile(const char* path, LONG width, LONG height, const POINT* points, int n);

// A contour file as read back.
struct ContourFile {
  WORD width = 0;
  WORD height = 0;
  std::vector<POINT> points;
};

// The name under which a contour file is saved: kept when it contains
// ".QuorinDaten" anywhere (any letter case), else with its extension replaced
// by ".QuorinDaten". An empty name stays empty.
std::string FixContourFileName(const std::string& path);

enum class ContourReadResult { Ok, CannotOpen, NoMagic, Truncated };

// Reads a contour file; refuses one without the magic or shorter than its
// count says.
ContourReadResult ReadContourFile(const char* path, ContourFile& out);
