#include "platform/ui/application.h"

#include <QMessageBox>
#include <cerrno>
#include <exception>

#include "platform/ui/input.h"

namespace {
TApplication* current = nullptr;

// Qt keeps references to these for the application's lifetime. Qt is not
// given the programs' arguments: it would take options such as "-style"
// out of them.
int qtArgc = 1;
char* qtArgv[] = {program_invocation_short_name, nullptr};

// For a message box when no Qt application is left.
std::unique_ptr<QApplication> MakeQtApplication() {
  // All coordinates are device pixels: an image shows 1:1 and a click
  // lands on the pixel under it, also on scaled displays.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  qunsetenv("QT_SCALE_FACTOR");
  return std::make_unique<QApplication>(qtArgc, qtArgv);
}

QMessageBox::Icon IconOf(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}
}  // namespace

TApplication::TApplication(const char* name, TModule& module) : Name(name), Module(module) {
  if (!QApplication::instance()) OwnQtApplication = MakeQtApplication();
  QApplication::setApplicationName(QString::fromUtf8(name));
  if (const TVersionInfo* version = module.GetVersion())
    QApplication::setApplicationVersion(QString::fromUtf8(version->ProductVersionText));
  // The program ends when its main window goes, not with its last window.
  QApplication::setQuitOnLastWindowClosed(false);
  current = this;
}

TApplication::~TApplication() {
  MainWindow.reset();
  if (current == this) current = nullptr;
}

TApplication* TApplication::Current() { return current; }

void TApplication::SetMainWindow(TFrameWindow* window) { MainWindow.reset(window); }

int TApplication::Run() {
  try {
    InitMainWindow();
    if (MainWindow) {
      if (!MainWindow->Create()) return 1;
      // Not for a moment on the screen when the program is about to end.
      if (!QuitPosted) MainWindow->ShowWindow(nCmdShow);
    }
    int status = QApplication::exec();
    QuitPosted = false;
    return status;
  } catch (const std::exception& error) {
    MessageBox(nullptr, error.what(), Name.c_str(), MB_OK | MB_ICONSTOP);
    return 1;
  }
}

void TApplication::PostQuitMessage(int status) {
  QuitPosted = true;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [status] { QCoreApplication::exit(status); },
      Qt::QueuedConnection);
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type) {
  std::unique_ptr<QApplication> qt;
  if (!QApplication::instance()) qt = MakeQtApplication();
  TModalScope modal;
  QMessageBox box(IconOf(type), QString::fromUtf8(caption), QString::fromUtf8(text), QMessageBox::Ok,
                  DialogOwner(owner));
  box.exec();
  return IDOK;
}
