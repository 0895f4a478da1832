// Dialogs built from a dialog template of the program's resources: modal
// (Execute) or as a child window (a frame's client).
#pragma once

#include <QSize>

#include "platform/ui/window.h"

class TDialog : public TWindow {
 public:
  TDialog(TWindow* parent, TResId resId, TModule* module = nullptr);

  // Runs the dialog modally and returns the value it was closed with (IDOK,
  // IDCANCEL, ...), or -1 when there is no such dialog template.
  virtual int Execute();

  // A modal dialog ends with retVal; any other is destroyed.
  void CloseWindow(int retVal = IDOK) override;
  void Destroy(int retVal = IDCANCEL) override;

 protected:
  QWidget* MakePeer(QWidget* parent) override;
  // The system's close cancels.
  void EvClose() override { EvCommand(IDCANCEL); }
  // A button, or Enter (the default button's id, IDOK when there is none) and
  // Esc (IDCANCEL).
  virtual void EvCommand(int id);
  virtual void CmOk() { CloseWindow(IDOK); }
  virtual void CmCancel() { Destroy(IDCANCEL); }

 private:
  friend class TDialogPeer;
  void AddControls(QWidget* peer, const TDialogTemplate& dialog, QSize baseUnits);
  int DefaultCommand() const;

  TResId ResId;
  bool Modal = false;
};

// Answers of controls to the dialog-code query.
constexpr UINT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr UINT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr UINT DLGC_STATIC = 0x0100;
constexpr UINT DLGC_BUTTON = 0x2000;

// The control with that id in the dialog, or null.
HWND GetDlgItem(HWND dialog, int id);
// What the control answers to the dialog-code query; 0 for none.
UINT GetDlgCode(HWND control);
