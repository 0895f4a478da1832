#include "platform/ui/input.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

struct TCursorShape {
  int id;
  Qt::CursorShape shape;
};

namespace {
constexpr TCursorShape kCursors[] = {
    {IDC_ARROW, Qt::ArrowCursor},
    {IDC_WAIT, Qt::WaitCursor},
    {IDC_CROSS, Qt::CrossCursor},
};

HCURSOR currentCursor = nullptr;

UINT MessageOf(const QEvent& event) {
  switch (event.type()) {
    case QEvent::KeyPress: return WM_KEYDOWN;
    case QEvent::KeyRelease: return WM_KEYUP;
    case QEvent::MouseMove: return WM_MOUSEMOVE;
    case QEvent::MouseButtonRelease: return WM_LBUTTONUP;
    case QEvent::MouseButtonDblClick: return WM_LBUTTONDBLCLK;
    case QEvent::Wheel: return WM_MOUSEWHEEL;
    case QEvent::MouseButtonPress:
      return static_cast<const QMouseEvent&>(event).button() == Qt::LeftButton ? WM_LBUTTONDOWN
                                                                                : WM_RBUTTONDOWN;
    default: return 0;
  }
}

WPARAM VirtualKeyOf(const QEvent& event) {
  if (event.type() != QEvent::KeyPress && event.type() != QEvent::KeyRelease) return 0;
  switch (static_cast<const QKeyEvent&>(event).key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Escape: return VK_ESCAPE;
    default: return 0;
  }
}

// Takes the first key or mouse event delivered while it is installed.
class TInputTaker : public QObject {
 public:
  bool Taken = false;
  MSG Msg;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    UINT message = MessageOf(*event);
    if (Taken || !message) return false;
    Taken = true;
    Msg = MSG{message, VirtualKeyOf(*event)};
    return true;
  }
};
}  // namespace

HCURSOR LoadCursor(TModule* module, TResId id) {
  if (module || id.Text()) return nullptr;
  for (const TCursorShape& cursor : kCursors)
    if (cursor.id == id.Number()) return &cursor;
  return nullptr;
}

Qt::CursorShape CursorShapeOf(HCURSOR cursor) { return cursor ? cursor->shape : Qt::ArrowCursor; }

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = currentCursor;
  if (previous) QGuiApplication::restoreOverrideCursor();
  currentCursor = cursor;
  if (cursor) QGuiApplication::setOverrideCursor(QCursor(cursor->shape));
  return previous;
}

HWND SetCapture(HWND window) {
  HWND previous = QWidget::mouseGrabber();
  if (window) window->grabMouse();
  return previous;
}

bool ReleaseCapture() {
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
  return true;
}

bool PeekInputMessage(MSG& msg) {
  TInputTaker taker;
  QCoreApplication::instance()->installEventFilter(&taker);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::instance()->removeEventFilter(&taker);
  if (taker.Taken) msg = taker.Msg;
  return taker.Taken;
}

void DispatchPendingMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

TModalScope::TModalScope() : CoversCursor(currentCursor != nullptr) {
  ReleaseCapture();
  if (CoversCursor) QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
}

TModalScope::~TModalScope() {
  if (CoversCursor) QGuiApplication::restoreOverrideCursor();
}

QWidget* DialogOwner(HWND owner) { return owner && owner->isVisible() ? owner : nullptr; }
