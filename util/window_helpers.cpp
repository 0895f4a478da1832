#include "util/window_helpers.h"

#include "platform/gdi/gdi.h"
#include "platform/ui/dialog.h"
#include "platform/ui/input.h"

void PeekBreakKey(BOOL& flag) {
  MSG msg;
  if (!PeekInputMessage(msg) || msg.message != WM_KEYDOWN) return;
  if (msg.wParam == VK_ESCAPE || msg.wParam == VK_RETURN) flag = 1;
}

void PumpMessages() { DispatchPendingMessages(); }

namespace {
bool ControlRect(TWindow* parent, int id, RECT& rect, bool destroy, bool staticOnly) {
  if (!parent) return false;
  HWND control = GetDlgItem(parent->GetHandle(), id);
  if (!control || (staticOnly && !(GetDlgCode(control) & DLGC_STATIC))) return false;
  RECT r;
  GetWindowRect(control, r);
  POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
  ScreenToClient(parent->GetHandle(), topLeft);
  ScreenToClient(parent->GetHandle(), bottomRight);
  rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
  if (destroy) DestroyWindow(control);
  return true;
}
}  // namespace

bool GetChildRect(TWindow* parent, int id, RECT& rect) {
  return ControlRect(parent, id, rect, true, true);
}

bool GetChildRectEx(TWindow* parent, int id, RECT& rect, bool destroy) {
  return ControlRect(parent, id, rect, destroy, false);
}

void CenterWindow(TWindow* window) {
  if (!window) return;
  TInfoStruct screen;
  RECT r = window->GetWindowRect();
  int x = (screen.ScreenWidth - (r.right - r.left)) / 2;
  int y = (screen.ScreenHeight - (r.bottom - r.top)) / 2;
  window->SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
