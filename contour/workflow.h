// The one piece of work Quorin does: ask for an image, let the user click the
// background colour, trace the object's contour, write the contour file and
// turn the main window into a window cut to the contour that shows the image.
#pragma once

#include "platform/core/dib.h"
#include "platform/ui/input.h"
#include "platform/ui/window.h"

// The picture the shaped main window shows: null until the workflow went
// through. Owned by the main window's client, which deletes it.
extern TDib* PreviewDib;

// Runs the workflow once with the (hidden) main window. Every early end
// (a dialog cancelled, an image not loaded or not traceable, no memory)
// leaves PreviewDib null. A contour of no points raises the platform's GDI
// error after the contour file is written.
void RunContourWorkflow(TWindow* mainWindow);

// The wait cursor, with the mouse captured to a window, for as long as the
// object lives.
class TWaitCursor {
 public:
  explicit TWaitCursor(TWindow* window);
  ~TWaitCursor();
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  HCURSOR PreviousCursor;
  HWND CapturedWindow = nullptr;
};
