// The drawing side of the platform layer on QtGui: the DIB drawn as a QImage,
// polygon regions, the platform's errors and the screen's metrics.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <stdexcept>

#include "platform/core/dib.h"
#include "platform/core/wintypes.h"

// Errors raised by the platform itself. The programs do not catch them; the
// application object reports them (see TApplication::Run).
class TXOwl : public std::runtime_error {
 public:
  explicit TXOwl(const char* text) : std::runtime_error(text) {}
};

// A drawing object the system could not make.
class TXGdi : public TXOwl {
 public:
  TXGdi() : TXOwl("GDI failure") {}
};

class TColor {
 public:
  static constexpr COLORREF White = RGB(255, 255, 255);
  constexpr TColor(BYTE r, BYTE g, BYTE b) : Value(RGB(r, g, b)) {}
  constexpr operator COLORREF() const { return Value; }

 private:
  COLORREF Value;
};

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

COLORREF ColorRefFromRgb(QRgb rgb);

// The picture of a packed DIB (1, 4, 8, 16, 24 or 32 bits per pixel,
// uncompressed or with bit-field masks) as a top-down image. Colour-table
// indices beyond the table show black; rows that the block does not hold stay
// black. A null image for anything else.
QImage DibToQImage(const TDib& dib);

// Polygon fill modes.
constexpr int ALTERNATE = 1;
constexpr int WINDING = 2;

// A region made from a polygon. The polygon covers the pixels inside its
// outline, its right and bottom edges excluded, as GDI's polygon regions do.
class TRegion {
 public:
  // Throws TXGdi when the system makes no region of the points: fewer than
  // two, or none at all.
  TRegion(const POINT* points, int count, int fillMode);
  const QRegion& GetRegion() const { return Region; }

 private:
  QRegion Region;
};

// A device context: drawing on a painter that the owner has set up.
class TDC {
 public:
  explicit TDC(QPaintDevice* device) : Painter(device) {}
  TDC(const TDC&) = delete;
  TDC& operator=(const TDC&) = delete;

  // Draws the whole DIB 1:1 with its top-left corner at dest's top-left,
  // showing the part of the picture from src on that fits into dest.
  // Returns the number of scan lines drawn.
  int SetDIBitsToDevice(const RECT& dest, const POINT& src, const TDib& dib);

 protected:
  QPainter Painter;
};

// The program's record of its environment: the primary screen's device
// capabilities. With the programs' high-DPI scaling off, a pixel here is a
// device pixel.
struct TInfoStruct {
  TInfoStruct();
  int ScreenWidth;   // HORZRES
  int ScreenHeight;  // VERTRES
  int BitsPixel;     // BITSPIXEL
};
