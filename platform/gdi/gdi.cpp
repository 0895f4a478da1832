#include "platform/gdi/gdi.h"

#include <QGuiApplication>
#include <QPolygon>
#include <QScreen>

COLORREF ColorRefFromRgb(QRgb rgb) { return RGB(BYTE(qRed(rgb)), BYTE(qGreen(rgb)), BYTE(qBlue(rgb))); }

TRegion::TRegion(const POINT* points, int count, int fillMode) {
  if (!points || count < 2) throw TXGdi();
  QPolygon polygon(count);
  for (int i = 0; i < count; ++i) polygon.setPoint(i, points[i].x, points[i].y);
  Region = QRegion(polygon, fillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
}

int TDC::SetDIBitsToDevice(const RECT& dest, const POINT& src, const TDib& dib) {
  QImage image = DibToQImage(dib);
  if (image.isNull()) return 0;
  QRect source(src.x, src.y, dest.right - dest.left, dest.bottom - dest.top);
  source &= image.rect();
  if (source.isEmpty()) return 0;
  Painter.drawImage(QPoint(dest.left + source.x() - src.x, dest.top + source.y() - src.y), image,
                    source);
  return source.height();
}

TInfoStruct::TInfoStruct() : ScreenWidth(0), ScreenHeight(0), BitsPixel(0) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  ScreenWidth = screen->geometry().width();
  ScreenHeight = screen->geometry().height();
  BitsPixel = screen->depth();
}
