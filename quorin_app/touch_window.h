// The full-screen dialog in which the user clicks the background colour.
#pragma once

#include "platform/core/dib.h"
#include "platform/ui/dialog.h"

// Set to 0 when a TTouchWindow is made and to 1 by a click inside the image.
extern int ColourPicked;
// The picked colour, red | green << 8 | blue << 16; valid while ColourPicked is 1.
extern COLORREF PickedColour;

class TTouchWindow : public TDialog {
 public:
  // The dialog shows dib (not owned; may be null) 1:1 at its top-left corner.
  TTouchWindow(TWindow* parent, TDib* dib);

 protected:
  // Covers the screen and sets the cross-hair cursor.
  void SetupWindow() override;
  void EvPaint() override;
  // A click inside the image picks its colour and closes the dialog with
  // IDOK; clicks elsewhere are ignored.
  void EvLButtonDown(UINT modKeys, const POINT& point) override;

 private:
  TDib* Dib;
};
