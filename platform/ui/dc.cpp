#include "platform/ui/dc.h"

#include <QPixmap>

TPaintDC::TPaintDC(TWindow& window) : TDC(window.GetHandle()) {
  QWidget* widget = window.GetHandle();
  QWidget* top = widget->window();
  if (top->mask().isEmpty()) return;
  Painter.setClipRegion(top->mask().translated(-widget->mapTo(top, QPoint(0, 0))));
}

COLORREF TClientDC::GetPixel(int x, int y) const {
  if (!Widget || !Widget->rect().contains(x, y)) return CLR_INVALID;
  QImage pixel = Widget->grab(QRect(x, y, 1, 1)).toImage();
  return pixel.isNull() ? CLR_INVALID : ColorRefFromRgb(pixel.pixel(0, 0));
}
