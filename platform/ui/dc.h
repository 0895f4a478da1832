// Device contexts of windows.
#pragma once

#include <QPointer>

#include "platform/gdi/gdi.h"
#include "platform/ui/window.h"

// Painting a window, inside its paint handler only. A window cut to a region
// is painted only inside that region.
class TPaintDC : public TDC {
 public:
  explicit TPaintDC(TWindow& window);
};

// Reading what a window shows.
class TClientDC {
 public:
  explicit TClientDC(TWindow& window) : Widget(window.GetHandle()) {}
  // The colour the window shows at (x, y) of its client area; CLR_INVALID
  // outside it.
  COLORREF GetPixel(int x, int y) const;

 private:
  QPointer<QWidget> Widget;
};
