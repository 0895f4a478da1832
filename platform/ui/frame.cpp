#include "platform/ui/frame.h"

#include <QIcon>
#include <QPixmap>
#include <QVBoxLayout>

TFrameWindow::TFrameWindow(TWindow* parent, const char* title, TWindow* clientWnd,
                           bool shrinkToClient, TModule* module)
    : TWindow(parent, title, module), ClientWnd(clientWnd) {
  Attr.Style = WS_OVERLAPPEDWINDOW;
  if (shrinkToClient) Flags |= wfShrinkToClient;
  if (ClientWnd) Adopt(*ClientWnd);
}

QWidget* TFrameWindow::MakePeer(QWidget* parent) {
  QWidget* peer = TWindow::MakePeer(parent);
  auto* layout = new QVBoxLayout(peer);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return peer;
}

void TFrameWindow::SetupWindow() {
  TWindow::SetupWindow();
  ApplyIcon();
  if (!ClientWnd || !CreatePeerOf(*ClientWnd)) return;
  QWidget* client = ClientWnd->GetHandle();
  GetHandle()->layout()->addWidget(client);
  // Before the client's set-up, which may size the frame itself.
  if (Flags & wfShrinkToClient) GetHandle()->resize(client->size());
  RunSetup(*ClientWnd);
}

void TFrameWindow::EvChildDestroyed(TWindow& child) {
  if (&child == ClientWnd.get()) Destroy();
}

const TIconTemplate* TFrameWindow::FindIcon(TModule* module, TResId id) const {
  if (!module) module = GetModule();
  return module ? module->FindIcon(id) : nullptr;
}

bool TFrameWindow::SetIcon(TModule* module, TResId id) {
  const TIconTemplate* icon = FindIcon(module, id);
  if (icon) IconLarge = icon->Large;
  ApplyIcon();
  return icon != nullptr;
}

bool TFrameWindow::SetIconSm(TModule* module, TResId id) {
  const TIconTemplate* icon = FindIcon(module, id);
  if (icon) IconSmall = icon->Small;
  ApplyIcon();
  return icon != nullptr;
}

void TFrameWindow::ApplyIcon() {
  if (!GetHandle() || (!IconLarge && !IconSmall)) return;
  QIcon icon;
  if (IconLarge) icon.addPixmap(QPixmap(IconLarge));
  if (IconSmall) icon.addPixmap(QPixmap(IconSmall));
  GetHandle()->setWindowIcon(icon);
}
