// Quorin's application object, its borderless main frame and the client
// window that runs the contour workflow and paints the preview.
#pragma once

#include "platform/ui/application.h"
#include "platform/ui/dialog.h"
#include "platform/ui/frame.h"
#include "quorin_app/resources.h"

class TQuorinApp : public TApplication {
 public:
  TQuorinApp();

 protected:
  // A pop-up frame without border or caption, shrunk to its client.
  void InitMainWindow() override;
};

class TSDIDecFrame : public TDecoratedFrame {
 public:
  // Without a client window the frame makes a TQuorinDlgClient.
  TSDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd,
               bool trackMenuSelection = false, TModule* module = nullptr);
};

class TQuorinDlgClient : public TDialog {
 public:
  explicit TQuorinDlgClient(TWindow* parent, TResId resId = IDD_CLIENT, TModule* module = nullptr);
  // Deletes PreviewDib.
  ~TQuorinDlgClient() override;

 protected:
  // Runs the contour workflow with the main window hidden; shows the main
  // window after it, or ends the program when the workflow ended early.
  void SetupWindow() override;
  // Paints PreviewDib 1:1.
  void EvPaint() override;
};
