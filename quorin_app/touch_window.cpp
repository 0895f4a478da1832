#include "quorin_app/touch_window.h"

#include "contour/key_colour.h"
#include "platform/ui/dc.h"
#include "platform/ui/input.h"
#include "quorin_app/resources.h"

int ColourPicked = 0;
COLORREF PickedColour = 0;

TTouchWindow::TTouchWindow(TWindow* parent, TDib* dib) : TDialog(parent, IDD_TOUCH), Dib(dib) {
  ColourPicked = 0;
}

void TTouchWindow::SetupWindow() {
  TDialog::SetupWindow();
  TInfoStruct screen;
  SetWindowPos(nullptr, 0, 0, screen.ScreenWidth, screen.ScreenHeight,
               SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  ShowWindow(SW_SHOW);
  SetCursor(nullptr, IDC_CROSS);
}

void TTouchWindow::EvPaint() {
  if (!Dib || !Dib->IsOK()) return;
  TPaintDC dc(*this);
  dc.SetDIBitsToDevice(RECT{0, 0, Dib->Width(), Dib->Height()}, POINT{0, 0}, *Dib);
}

void TTouchWindow::EvLButtonDown(UINT, const POINT& point) {
  if (!Dib || !Dib->IsOK()) return;
  if (point.x < 0 || point.y < 0 || point.x >= Dib->Width() || point.y >= Dib->Height()) return;
  ColourPicked = 1;
  PickedColour = TClientDC(*this).GetPixel(point.x, point.y);
  // For 24-bit and 256-colour images the image's own value, whatever the
  // display made of it.
  PickedColour = KeyColourForClick(*Dib, point.x, point.y, PickedColour);
  CloseWindow(IDOK);
}
