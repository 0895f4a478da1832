#include "quorin_app/quorin_app.h"

#include "contour/workflow.h"
#include "platform/ui/dc.h"
#include "quorin_app/resources.h"

TQuorinApp::TQuorinApp() : TApplication("Quorin", QuorinModule) {}

void TQuorinApp::InitMainWindow() {
  if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOWMINNOACTIVE) nCmdShow = SW_SHOWNORMAL;
  auto* frame = new TSDIDecFrame(nullptr, GetName().c_str(), nullptr, false, nullptr);
  frame->SetFlag(wfShrinkToClient);
  frame->SetIcon(GetModule(), IDI_QUORIN);
  frame->SetIconSm(GetModule(), IDI_QUORIN);
  frame->Attr.Style = WS_POPUP;
  frame->Attr.X = frame->Attr.Y = frame->Attr.W = frame->Attr.H = 0;
  SetMainWindow(frame);
}

TSDIDecFrame::TSDIDecFrame(TWindow* parent, const char* title, TWindow* clientWnd,
                           bool trackMenuSelection, TModule* module)
    : TDecoratedFrame(parent, title, clientWnd ? clientWnd : new TQuorinDlgClient(nullptr),
                      trackMenuSelection, module) {}

TQuorinDlgClient::TQuorinDlgClient(TWindow* parent, TResId resId, TModule* module)
    : TDialog(parent, resId, module) {}

TQuorinDlgClient::~TQuorinDlgClient() {
  delete PreviewDib;
  PreviewDib = nullptr;
}

void TQuorinDlgClient::SetupWindow() {
  TDialog::SetupWindow();
  TWindow* mainWindow = GetApplication()->GetMainWindow();
  mainWindow->ShowWindow(SW_HIDE);
  RunContourWorkflow(mainWindow);
  if (!PreviewDib) PostMessage(WM_QUIT, 0, 0);
  else mainWindow->ShowWindow(SW_SHOW);
}

void TQuorinDlgClient::EvPaint() {
  if (!PreviewDib) return TDialog::EvPaint();
  TPaintDC dc(*this);
  dc.SetDIBitsToDevice(RECT{0, 0, PreviewDib->Width(), PreviewDib->Height()}, POINT{0, 0},
                       *PreviewDib);
}
