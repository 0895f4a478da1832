#include "platform/ui/window.h"

#include <QGuiApplication>

#include "platform/ui/application.h"
#include "platform/ui/input.h"
#include "platform/ui/peer.h"

TWindow* OwnerOf(QWidget* widget) {
  if (auto* peer = dynamic_cast<TWidgetPeer*>(widget)) return peer->Owner;
  if (auto* peer = dynamic_cast<TPeer<QDialog>*>(widget)) return peer->Owner;
  return nullptr;
}

namespace {
void Disown(QWidget* widget) {
  if (auto* peer = dynamic_cast<TWidgetPeer*>(widget)) peer->Owner = nullptr;
  if (auto* peer = dynamic_cast<TPeer<QDialog>*>(widget)) peer->Owner = nullptr;
}

Qt::WindowFlags TopLevelFlags(DWORD style) {
  // A pop-up without caption has no frame at all.
  if ((style & WS_CAPTION) != WS_CAPTION)
    return (style & WS_POPUP) ? Qt::Window | Qt::FramelessWindowHint : Qt::Window;
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  if (style & WS_SYSMENU) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  if (style & WS_MINIMIZEBOX) flags |= Qt::WindowMinimizeButtonHint;
  if (style & WS_MAXIMIZEBOX) flags |= Qt::WindowMaximizeButtonHint;
  return flags;
}
}  // namespace

TWindow::TWindow(TWindow* parent, const char* title, TModule* module)
    : Parent(parent), Title(title ? title : ""), Module(module) {}

TWindow::~TWindow() {
  for (TWindow* control : Controls) control->Parent = nullptr;
  for (QWidget* peer : {Handle.data(), Remains.data()}) {
    if (!peer) continue;
    Disown(peer);
    delete peer;
  }
}

TApplication* TWindow::GetApplication() const { return TApplication::Current(); }

TModule* TWindow::GetModule() const {
  if (Module) return Module;
  TApplication* app = GetApplication();
  return app ? app->GetModule() : nullptr;
}

QWidget* TWindow::MakePeer(QWidget* parent) {
  auto* peer = new TWidgetPeer(this, parent);
  if (!parent) peer->setWindowFlags(TopLevelFlags(Attr.Style));
  return peer;
}

bool TWindow::CreatePeer() {
  QWidget* peer = MakePeer(Parent ? Parent->GetHandle() : nullptr);
  if (!peer) return false;
  Handle = peer;
  if (!Title.empty()) peer->setWindowTitle(QString::fromUtf8(Title.c_str()));
  if (Attr.X || Attr.Y) peer->move(Attr.X, Attr.Y);
  if (Attr.W > 0 && Attr.H > 0) peer->resize(Attr.W, Attr.H);
  return true;
}

void TWindow::DeletePeer() {
  if (!Handle) return;
  Disown(Handle);
  delete Handle.data();
}

bool TWindow::Create() {
  if (!CreatePeer()) return false;
  SetupWindow();
  return true;
}

void TWindow::SetupWindow() {
  for (TWindow* control : Controls) control->Create();
}

bool TWindow::ShowWindow(int cmdShow) {
  if (!Handle) return false;
  bool wasVisible = Handle->isVisible();
  switch (cmdShow) {
    case SW_HIDE: Handle->hide(); break;
    case SW_SHOWMINNOACTIVE: Handle->showMinimized(); break;
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT: Handle->showNormal(); Handle->activateWindow(); break;
    default: Handle->show(); Handle->activateWindow(); break;
  }
  return wasVisible;
}

bool TWindow::SetWindowPos(HWND, int x, int y, int cx, int cy, UINT flags) {
  if (!Handle) return false;
  if (!(flags & SWP_NOMOVE)) Handle->move(x, y);
  if (flags & SWP_NOSIZE) return true;
  // A window the user may not resize still takes the program's size.
  if (Handle->minimumSize() == Handle->maximumSize()) Handle->setFixedSize(cx, cy);
  else Handle->resize(cx, cy);
  return true;
}

DWORD TWindow::SetStyle(DWORD style) {
  DWORD before = Attr.Style;
  Attr.Style = style;
  if (!Handle || !Handle->isWindow()) return before;
  bool visible = Handle->isVisible();
  Handle->setWindowFlags(TopLevelFlags(style));
  if (style & WS_THICKFRAME) {
    Handle->setMinimumSize(0, 0);
    Handle->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  } else {
    Handle->setFixedSize(Handle->size());
  }
  // New window flags hide the window.
  if (visible) Handle->show();
  return before;
}

UINT TWindow::SetTimer(UINT id, UINT elapse) {
  if (!Handle) return 0;
  KillTimer(id);
  int qtId = Handle->startTimer(int(elapse), Qt::PreciseTimer);
  if (!qtId) return 0;
  Timers[id] = qtId;
  return id;
}

bool TWindow::KillTimer(UINT id) {
  auto timer = Timers.find(id);
  if (timer == Timers.end()) return false;
  if (Handle) Handle->killTimer(timer->second);
  Timers.erase(timer);
  return true;
}

void TWindow::KillTimers() {
  while (!Timers.empty()) KillTimer(Timers.begin()->first);
}

bool TWindow::TimerFired(int qtTimerId) {
  for (const auto& [id, qtId] : Timers) {
    if (qtId != qtTimerId) continue;
    UINT timerId = id;
    EvTimer(timerId);
    return true;
  }
  return false;
}

RECT TWindow::GetWindowRect() const {
  RECT rect{0, 0, 0, 0};
  ::GetWindowRect(Handle, rect);
  return rect;
}

bool GetWindowRect(HWND window, RECT& rect) {
  if (!window) return false;
  QRect r = window->isWindow() ? window->frameGeometry()
                               : QRect(window->mapToGlobal(QPoint(0, 0)), window->size());
  rect = RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  return true;
}

bool ScreenToClient(HWND window, POINT& point) {
  if (!window) return false;
  QPoint p = window->mapFromGlobal(QPoint(point.x, point.y));
  point = POINT{p.x(), p.y()};
  return true;
}

bool DestroyWindow(HWND window) {
  if (!window) return false;
  delete window;
  return true;
}

int TWindow::SetWindowRgn(const TRegion& region, bool redraw) {
  if (!Handle) return 0;
  // Qt takes an empty mask for "no mask"; a window with an empty region
  // shows nothing, so it gets a mask that lies outside it.
  QRegion mask = region.GetRegion().isEmpty() ? QRegion(-1, -1, 1, 1) : region.GetRegion();
  // On Wayland a mask shapes only the input: the window is made translucent
  // and paints only inside its region (see TPaintDC).
  if (QGuiApplication::platformName() == QLatin1String("wayland") && !Handle->windowHandle())
    Handle->setAttribute(Qt::WA_TranslucentBackground);
  Handle->setMask(mask);
  if (redraw) Handle->update();
  return 1;
}

QRegion TWindow::GetWindowRgn() const { return Handle ? Handle->mask() : QRegion(); }

bool TWindow::SetCursor(TModule* module, TResId id) {
  HCURSOR cursor = LoadCursor(module, id);
  if (!Handle || !cursor) return false;
  Handle->setCursor(CursorShapeOf(cursor));
  return true;
}

bool TWindow::PostMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_CLOSE && Handle) {
    // Dropped with the window when it goes first.
    QMetaObject::invokeMethod(
        Handle.data(), [this] { if (Handle) EvClose(); }, Qt::QueuedConnection);
    return true;
  }
  TApplication* app = GetApplication();
  if (message != WM_QUIT || !app) return false;
  app->PostQuitMessage(int(wParam));
  return true;
}

void TWindow::CloseWindow(int retVal) { Destroy(retVal); }

void TWindow::Destroy(int) {
  if (!Handle) return;
  KillTimers();
  // Destroy may run inside one of the peer's own event handlers.
  Remains = Handle;
  Handle = nullptr;
  Remains->hide();
  Remains->deleteLater();
  if (Parent) Parent->EvChildDestroyed(*this);
  TApplication* app = GetApplication();
  if (app && app->GetMainWindow() == this) PostMessage(WM_QUIT, 0);
}
