// Windows of the platform layer on Qt Widgets. A window object (TWindow and
// its classes) is shown by one Qt widget, its peer, made by Create() and gone
// after Destroy(); the peer hands the events the window classes handle on to
// their virtual handlers.
#pragma once

#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/core/wintypes.h"
#include "platform/gdi/gdi.h"
#include "platform/ui/resources.h"

using HWND = QWidget*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWDEFAULT = 10;

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
// The style is applied when it is set; the flag is taken and changes nothing.
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;

constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;

// Modifier flags of mouse handlers.
constexpr UINT MK_LBUTTON = 0x0001;
constexpr UINT MK_SHIFT = 0x0004;
constexpr UINT MK_CONTROL = 0x0008;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

class TApplication;

// Style, position and size with which the window is created.
struct TWindowAttr {
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, W = 0, H = 0;
};

class TWindow {
 public:
  explicit TWindow(TWindow* parent, const char* title = nullptr, TModule* module = nullptr);
  virtual ~TWindow();
  TWindow(const TWindow&) = delete;
  TWindow& operator=(const TWindow&) = delete;

  TWindowAttr Attr;

  // Makes the window and its children and runs SetupWindow. False when the
  // window cannot be made (a missing dialog resource).
  bool Create();
  // The peer; null before Create() and after Destroy().
  HWND GetHandle() const { return Handle; }
  TApplication* GetApplication() const;
  // The window's own module, else the application's.
  TModule* GetModule() const;

  bool ShowWindow(int cmdShow);
  // insertAfter is ignored: windows keep their stacking order.
  bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
  // The window's rectangle on the screen.
  RECT GetWindowRect() const;
  // Cuts the window to the region, in window coordinates; the window keeps a
  // copy. Returns 0 when there is no window.
  int SetWindowRgn(const TRegion& region, bool redraw);
  // The region set last; empty when none.
  QRegion GetWindowRgn() const;
  // The window's cursor: a system cursor (module null, IDC_ARROW, IDC_CROSS, IDC_WAIT).
  bool SetCursor(TModule* module, TResId id);
  // WM_QUIT ends the message loop with exit status wParam once it runs;
  // WM_CLOSE closes the window then, as the close box does. Nothing else.
  bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  DWORD GetStyle() const { return Attr.Style; }
  // Sets the style; a top-level window takes its caption buttons and its
  // sizing border from it at once (without WS_THICKFRAME the user cannot
  // resize it). Returns the style before.
  DWORD SetStyle(DWORD style);

  // Starts (or restarts) timer id of the window: EvTimer(id) every elapse
  // milliseconds until KillTimer. Returns id, or 0 without a window.
  UINT SetTimer(UINT id, UINT elapse);
  bool KillTimer(UINT id);

  // Asked before the system's close goes ahead; the base agrees.
  virtual bool CanClose() { return true; }
  // The system's close: a dialog cancels, other windows destroy themselves.
  virtual void CloseWindow(int retVal = 0);
  // Removes the window (the peer goes when control returns to the event
  // loop); the parent hears of it, and the program's main window posts
  // WM_QUIT.
  virtual void Destroy(int retVal = 0);

 protected:
  // Runs once the window exists, before it is first shown; the base makes
  // the window's controls (see TControl).
  virtual void SetupWindow();
  // Default painting draws nothing beyond the background.
  virtual void EvPaint() {}
  virtual void EvLButtonDown(UINT /*modKeys*/, const POINT& /*point*/) {}
  virtual void EvClose() {
    if (CanClose()) CloseWindow();
  }
  virtual void EvTimer(UINT /*timerId*/) {}
  // A child window was destroyed.
  virtual void EvChildDestroyed(TWindow& /*child*/) {}
  // Makes the peer; parent is the parent window's peer or null.
  virtual QWidget* MakePeer(QWidget* parent);
  // Makes the peer and applies Attr; SetupWindow is separate.
  bool CreatePeer();
  // Deletes the peer at once (not from inside one of its handlers).
  void DeletePeer();
  // For windows that create others (a frame its client).
  static bool CreatePeerOf(TWindow& window) { return window.CreatePeer(); }
  static void RunSetup(TWindow& window) { window.SetupWindow(); }
  // Makes child a child window of this one.
  void Adopt(TWindow& child) {
    child.Parent = this;
    child.Attr.Style |= WS_CHILD;
  }

 private:
  template <class Base>
  friend class TPeer;
  friend class TDialogPeer;
  friend class TControl;

  // False when the Qt timer is none of the window's.
  bool TimerFired(int qtTimerId);
  void KillTimers();

  TWindow* Parent;
  // The controls made with this window as parent (not owned).
  std::vector<TWindow*> Controls;
  // Timer ids of the window and the Qt timers behind them.
  std::map<UINT, int> Timers;
  std::string Title;
  TModule* Module;
  QPointer<QWidget> Handle;
  // The peer after Destroy(), until Qt deletes it or the object goes.
  QPointer<QWidget> Remains;
};

// The window's rectangle on the screen.
bool GetWindowRect(HWND window, RECT& rect);
bool ScreenToClient(HWND window, POINT& point);
// Removes a control at once.
bool DestroyWindow(HWND window);
