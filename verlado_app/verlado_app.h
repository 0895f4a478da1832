// verlado's application object, its main frame and its command line.
#pragma once

#include <string>

#include "platform/ui/application.h"
#include "platform/ui/frame.h"

class verladoApp : public TApplication {
 public:
  verladoApp();

 protected:
  // A frame of the progress dialog's size with the program's icon.
  void InitMainWindow() override;
};

// The main frame: no menu, tool bar or status bar, and a fixed size.
class SDIDecFrame : public TDecoratedFrame {
 public:
  SDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd,
              bool trackMenuSelection = false, TModule* module = nullptr);

 protected:
  // Takes away the sizing border and the maximise box.
  void SetupWindow() override;
};

// The copy list's path: the program's one argument, as given (the shell has
// already taken the quotes away); "" without exactly one argument. True
// when it is not empty and names something that exists.
bool GetCommandLineFile(std::string& path);
