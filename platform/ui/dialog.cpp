#include "platform/ui/dialog.h"

#include <QFontMetrics>
#include <QPushButton>
#include <cmath>
#include <cstring>

#include "platform/ui/input.h"
#include "platform/ui/peer.h"

namespace {
// The dialog base units of a font: the average width of the letters and the
// height of a line, as the system measures them.
QSize BaseUnits(const QFont& font) {
  QFontMetrics metrics(font);
  int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return QSize((width / 26 + 1) / 2, metrics.height());
}

// Dialog units to pixels: x * cx / 4 and y * cy / 8, rounded.
int Scale(int units, int base, int per) { return int(std::lround(double(units) * base / per)); }

QRect ToPixels(int x, int y, int cx, int cy, QSize base) {
  return QRect(Scale(x, base.width(), 4), Scale(y, base.height(), 8), Scale(cx, base.width(), 4),
               Scale(cy, base.height(), 8));
}
}  // namespace

void TDialogPeer::keyPressEvent(QKeyEvent* event) {
  auto* dialog = static_cast<TDialog*>(Owner);
  if (dialog && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter))
    return dialog->EvCommand(dialog->DefaultCommand());
  if (dialog && event->key() == Qt::Key_Escape) return dialog->EvCommand(IDCANCEL);
  QDialog::keyPressEvent(event);
}

TDialog::TDialog(TWindow* parent, TResId resId, TModule* module)
    : TWindow(parent, nullptr, module), ResId(resId) {}

QWidget* TDialog::MakePeer(QWidget* parent) {
  const TDialogTemplate* tpl = GetModule() ? GetModule()->FindDialog(ResId) : nullptr;
  if (!tpl) return nullptr;
  auto* peer = new TDialogPeer(this, parent);
  if (Attr.Style & WS_CHILD) {
    peer->setWindowFlags(Qt::Widget);
  } else {
    Qt::WindowFlags flags = Qt::Dialog;
    if ((tpl->Style & WS_CAPTION) != WS_CAPTION) flags |= Qt::FramelessWindowHint;
    peer->setWindowFlags(flags);
  }
  peer->setObjectName(tpl->Id.Text() ? QString::fromUtf8(tpl->Id.Text())
                                     : QString::number(tpl->Id.Number()));
  if (tpl->Caption) peer->setWindowTitle(QString::fromUtf8(tpl->Caption));
  QFont font(QString::fromUtf8(tpl->FaceName), tpl->PointSize);
  peer->setFont(font);
  QSize base = BaseUnits(font);
  peer->resize(ToPixels(0, 0, tpl->Cx, tpl->Cy, base).size());
  AddControls(peer, *tpl, base);
  // Keys reach the dialog even when no control can take the focus.
  peer->setFocusPolicy(Qt::StrongFocus);
  peer->setFocus();
  return peer;
}

void TDialog::AddControls(QWidget* peer, const TDialogTemplate& dialog, QSize baseUnits) {
  for (const TControlTemplate& control : dialog.Controls) {
    QWidget* widget = MakeDialogControl(control, peer);
    if (!widget) continue;
    widget->setProperty(kControlId, control.Id);
    widget->setProperty(kControlClass, QString::fromLatin1(control.ClassName));
    bool isDefault = std::strcmp(control.ClassName, "BUTTON") == 0 &&
                     (control.Style & 0xF) == BS_DEFPUSHBUTTON;
    widget->setProperty(kDefaultButton, isDefault);
    widget->setGeometry(ToPixels(control.X, control.Y, control.Cx, control.Cy, baseUnits));
    widget->setVisible(control.Style & WS_VISIBLE);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
      int id = control.Id;
      QObject::connect(button, &QPushButton::clicked, peer, [this, id] { EvCommand(id); });
    }
  }
}

int TDialog::DefaultCommand() const {
  if (!GetHandle()) return IDOK;
  for (QWidget* control : GetHandle()->findChildren<QWidget*>())
    if (control->property(kDefaultButton).toBool()) return control->property(kControlId).toInt();
  return IDOK;
}

int TDialog::Execute() {
  Modal = true;
  if (!CreatePeer()) {
    Modal = false;
    return -1;
  }
  auto* dialog = static_cast<QDialog*>(GetHandle());
  dialog->setWindowModality(Qt::ApplicationModal);
  TModalScope modal;
  SetupWindow();
  int result = dialog->exec();
  Modal = false;
  DeletePeer();
  return result;
}

void TDialog::CloseWindow(int retVal) { Destroy(retVal); }

void TDialog::Destroy(int retVal) {
  if (Modal && GetHandle()) static_cast<QDialog*>(GetHandle())->done(retVal);
  else TWindow::Destroy(retVal);
}

void TDialog::EvCommand(int id) {
  if (id == IDOK) CmOk();
  else if (id == IDCANCEL) CmCancel();
}

HWND GetDlgItem(HWND dialog, int id) {
  if (!dialog) return nullptr;
  for (QWidget* control : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QVariant value = control->property(kControlId);
    if (value.isValid() && value.toInt() == id) return control;
  }
  return nullptr;
}

UINT GetDlgCode(HWND control) {
  if (!control) return 0;
  QString name = control->property(kControlClass).toString();
  if (name == QLatin1String("STATIC")) return DLGC_STATIC;
  if (name != QLatin1String("BUTTON")) return 0;
  return DLGC_BUTTON |
         (control->property(kDefaultButton).toBool() ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}
