// Cursors, mouse capture and the event queue.
#pragma once

#include <QCursor>

#include "platform/ui/resources.h"
#include "platform/ui/window.h"

// System cursors.
constexpr int IDC_ARROW = 32512;
constexpr int IDC_WAIT = 32514;
constexpr int IDC_CROSS = 32515;

struct TCursorShape;
using HCURSOR = const TCursorShape*;

// A system cursor (module null); null for any other.
HCURSOR LoadCursor(TModule* module, TResId id);
Qt::CursorShape CursorShapeOf(HCURSOR cursor);
// Shows the cursor over every window of the program until the next call;
// null goes back to each window's own cursor. Returns the cursor set before.
HCURSOR SetCursor(HCURSOR cursor);

// Sends all mouse input to the window; returns the window that had it.
HWND SetCapture(HWND window);
bool ReleaseCapture();

// Messages as PeekInputMessage reports them.
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr WPARAM VK_RETURN = 0x0D;
constexpr WPARAM VK_ESCAPE = 0x1B;

struct MSG {
  UINT message = 0;
  WPARAM wParam = 0;  // for keys: VK_RETURN, VK_ESCAPE, else 0
};

// Qt gives no way to take a single event off its queue. So this delivers
// the pending events, paint among them, except the first key or mouse event,
// which it takes off instead and describes in msg. False when no key or
// mouse event was pending.
bool PeekInputMessage(MSG& msg);
// Delivers every pending event.
void DispatchPendingMessages();

// While a modal dialog or message box runs: as on Windows, where showing a
// dialog cancels any mouse capture and the dialog shows its own cursor, the
// capture is released and a cursor set with SetCursor is covered by the arrow.
class TModalScope {
 public:
  TModalScope();
  ~TModalScope();
  TModalScope(const TModalScope&) = delete;
  TModalScope& operator=(const TModalScope&) = delete;

 private:
  bool CoversCursor;
};

// The Qt parent of a dialog owned by owner: the owner when it is on the
// screen, else none, so that the dialog is centred on the screen rather than
// over a window that is not there.
QWidget* DialogOwner(HWND owner);
