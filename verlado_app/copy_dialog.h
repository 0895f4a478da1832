// verlado's only window content: the progress dialog that reads the copy
// list named on the command line, runs it once from a timer, shows source,
// target and a gauge meanwhile, and then confirms success and closes, or
// shows the warnings or the error in its message field.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "verlado_app/copy_engine.h"
#include "verlado_app/resources.h"

class verladoTDLGClient;

// The copy engine bound to the progress dialog.
class TDlgCopyManager : public TCopyManager {
 public:
  explicit TDlgCopyManager(verladoTDLGClient* client) : Client(client) {}

  // Shows index * 100 / count on the gauge and the paths in the fields,
  // then lets every pending message through, so that the window repaints
  // and "Abbruch" can be pressed.
  void Progress(int index, int count, const std::string& source,
                const std::string& target) override;
  // The engine's run with the dialog busy meanwhile. Afterwards the fields
  // are empty, the gauge is at its minimum and any messages show in the
  // message field under their header.
  bool Run() override;

  verladoTDLGClient* Client;  // not owned

 protected:
  // Esc or Enter taken from the event queue.
  bool BreakKeyPressed() override;
};

class verladoTDLGClient : public TDialog {
 public:
  explicit verladoTDLGClient(TWindow* parent, TResId resId = IDD_CLIENT, TModule* module = nullptr);
  ~verladoTDLGClient() override;

  // While a run is under way closing only asks the run to stop: the run
  // needs the dialog until it returns.
  bool CanClose() override;

 protected:
  // Puts the gauge in place of its frame, reads the list and starts the
  // timer that runs it; without a usable list the dialog just waits.
  void SetupWindow() override;
  // Runs the list once; a clean run is confirmed and closes the dialog.
  void EvTimer(UINT timerId) override;
  // OK and "Abbruch" (Esc, the close box) close the idle dialog and ask a
  // run under way to stop.
  void CmOk() override;
  void CmCancel() override;

 private:
  friend class TDlgCopyManager;

  // Asks a run under way to stop; false when the dialog is idle.
  bool CancelRun();
  // The messages in the message field under the header for an error
  // (runResult false) or for warnings.
  void ShowMessages(bool runResult);

  std::unique_ptr<TDlgCopyManager> Manager;
  std::unique_ptr<TEdit> MessageEdit;
  std::unique_ptr<TEdit> SourceEdit;
  std::unique_ptr<TEdit> TargetEdit;
  std::unique_ptr<TGauge> Gauge;
};
