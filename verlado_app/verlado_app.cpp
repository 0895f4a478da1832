#include "verlado_app/verlado_app.h"

#include "platform/core/command_line.h"
#include "util/file_helpers.h"
#include "verlado_app/copy_dialog.h"
#include "verlado_app/resources.h"

verladoApp::verladoApp() : TApplication(kVerladoName, VerladoModule) {}

void verladoApp::InitMainWindow() {
  if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOWMINNOACTIVE) nCmdShow = SW_SHOWNORMAL;
  auto* frame = new SDIDecFrame(nullptr, GetName().c_str(), new verladoTDLGClient(nullptr, IDD_CLIENT));
  frame->SetFlag(wfShrinkToClient);
  frame->SetIcon(GetModule(), IDI_VERLADO);
  SetMainWindow(frame);
}

SDIDecFrame::SDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd,
                         bool trackMenuSelection, TModule* module)
    : TDecoratedFrame(parent, title, clientWnd, trackMenuSelection, module) {}

void SDIDecFrame::SetupWindow() {
  TDecoratedFrame::SetupWindow();
  SetStyle(GetStyle() & ~(WS_THICKFRAME | WS_MAXIMIZEBOX));
  SetWindowPos(nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
}

bool GetCommandLineFile(std::string& path) {
  const std::vector<std::string>& args = GetCommandLineArgs();
  path = args.size() == 2 ? args[1] : "";
  return !path.empty() && FileExists(path.c_str());
}
