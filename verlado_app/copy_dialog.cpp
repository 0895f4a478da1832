#include "verlado_app/copy_dialog.h"

#include <cstdint>

#include "platform/gdi/gdi.h"
#include "platform/ui/application.h"
#include "util/window_helpers.h"
#include "util/window_strings.h"
#include "verlado_app/verlado_app.h"

namespace {
constexpr UINT kRunTimer = 1;
constexpr UINT kRunDelay = 50;  // ms: the window is on the screen before the run
constexpr UINT kPathLimit = 255;

const char* const kErrorHeader = "Während des Kopiervorgangs ist ein Fehler aufgetreten!\r\n";
const char* const kWarningsHeader = "Während des Kopiervorgangs sind Warnungen aufgetreten!\r\n";
const char* const kSuccess = "Der Kopiervorgang wurde erfolgreich beendet!";
}  // namespace

void TDlgCopyManager::Progress(int index, int count, const std::string& source,
                               const std::string& target) {
  if (count <= 0) return;
  Client->Gauge->SetValue(int(std::int64_t(index) * 100 / count));
  SetWindowString(source, Client->SourceEdit->GetHandle());
  SetWindowString(target, Client->TargetEdit->GetHandle());
  PumpMessages();
}

bool TDlgCopyManager::Run() {
  Idle = false;
  bool result = TCopyManager::Run();
  Client->Gauge->SetValue(0);
  SetWindowString("", Client->SourceEdit->GetHandle());
  SetWindowString("", Client->TargetEdit->GetHandle());
  if (!Messages.empty()) Client->ShowMessages(result);
  Idle = true;
  return result;
}

bool TDlgCopyManager::BreakKeyPressed() {
  BOOL pressed = 0;
  PeekBreakKey(pressed);
  return pressed;
}

verladoTDLGClient::verladoTDLGClient(TWindow* parent, TResId resId, TModule* module)
    : TDialog(parent, resId, module),
      Manager(std::make_unique<TDlgCopyManager>(this)),
      MessageEdit(std::make_unique<TEdit>(this, IDC_MESSAGES, kPathLimit)),
      SourceEdit(std::make_unique<TEdit>(this, IDC_SOURCE, kPathLimit)),
      TargetEdit(std::make_unique<TEdit>(this, IDC_TARGET, kPathLimit)),
      Gauge(std::make_unique<TGauge>(this, "", IDC_GAUGE, 0, 0, 0, 0, true, 0)) {
  Gauge->SetRange(1, 100);
  Gauge->SetLed(4, 90);
  Gauge->SetColor(TColor(0, 0, 255));
}

verladoTDLGClient::~verladoTDLGClient() = default;

void verladoTDLGClient::SetupWindow() {
  TDialog::SetupWindow();
  RECT place;
  if (GetChildRect(this, IDC_GAUGE_PLACE, place))
    Gauge->SetWindowPos(nullptr, place.left, place.top, place.right - place.left,
                        place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  std::string path;
  if (!GetCommandLineFile(path)) return;
  // A list that exists but cannot be read is an error, not an empty run
  // that would end in the success message.
  if (!Manager->ReadCopyList(path.c_str())) return ShowMessages(false);
  SetTimer(kRunTimer, kRunDelay);
}

void verladoTDLGClient::EvTimer(UINT timerId) {
  TDialog::EvTimer(timerId);
  KillTimer(kRunTimer);
  if (!Manager->Run() || !Manager->Messages.empty()) return;
  MessageBox(GetHandle(), kSuccess, kVerladoName, MB_OK | MB_ICONINFORMATION);
  PostMessage(WM_CLOSE);
}

bool verladoTDLGClient::CancelRun() {
  if (Manager->Idle) return false;
  Manager->CancelRequested = true;
  return true;
}

bool verladoTDLGClient::CanClose() { return !CancelRun() && TDialog::CanClose(); }

void verladoTDLGClient::CmOk() {
  if (!CancelRun()) TDialog::CmOk();
}

void verladoTDLGClient::CmCancel() {
  if (!CancelRun()) TDialog::CmCancel();
}

void verladoTDLGClient::ShowMessages(bool runResult) {
  std::string text = runResult ? kWarningsHeader : kErrorHeader;
  for (const std::string& message : Manager->Messages) text += message + "\r\n";
  MessageEdit->ShowWindow(SW_SHOW);
  SetWindowString(text, MessageEdit->GetHandle());
}
