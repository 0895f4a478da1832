// The application object: the Qt application, the main window and its
// message loop, message boxes and the report of uncaught errors.
#pragma once

#include <QApplication>
#include <memory>
#include <string>

#include "platform/ui/frame.h"
#include "platform/ui/resources.h"
#include "platform/ui/window.h"

// Message box buttons and icons.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;

// A modal message box (MB_OK with an icon); returns IDOK. An owner that is
// not on the screen does not place the box: it is centred on the screen.
// Works also where no application object is left (a program's last word).
int MessageBox(HWND owner, const char* text, const char* caption, UINT type = MB_OK);

class TApplication {
 public:
  // Makes the Qt application unless one exists already (a test's).
  TApplication(const char* name, TModule& module);
  virtual ~TApplication();
  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // The live application object, or null.
  static TApplication* Current();

  // Calls InitMainWindow, creates the main window, shows it with nCmdShow
  // and runs the message loop; returns the exit status. An error raised on
  // the way is shown in a message box and ends the run with status 1.
  int Run();

  TFrameWindow* GetMainWindow() const { return MainWindow.get(); }
  TModule* GetModule() const { return &Module; }
  const std::string& GetName() const { return Name; }

  // Ends the message loop with the status once it runs; a main window that
  // is not shown yet then stays hidden.
  void PostQuitMessage(int status);

  // The message box above.
  int MessageBox(HWND owner, const char* text, const char* caption, UINT type = MB_OK) {
    return ::MessageBox(owner, text, caption, type);
  }

 protected:
  // Makes the main window and hands it over with SetMainWindow.
  virtual void InitMainWindow() {}
  // Takes ownership of the window.
  void SetMainWindow(TFrameWindow* window);

  // The show command for the main window.
  int nCmdShow = SW_SHOWDEFAULT;

 private:
  std::string Name;
  TModule& Module;
  std::unique_ptr<QApplication> OwnQtApplication;
  std::unique_ptr<TFrameWindow> MainWindow;
  bool QuitPosted = false;
};
