#include "platform/ui/controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/ui/dialog.h"
#include "platform/ui/peer.h"

namespace {
int LengthOf(const QLineEdit& edit) { return int(edit.text().size() - edit.selectedText().size()); }
int LengthOf(const QPlainTextEdit& edit) {
  return int(edit.toPlainText().size() - edit.textCursor().selectedText().size());
}
void Insert(QLineEdit& edit, const QString& text) { edit.insert(text); }
void Insert(QPlainTextEdit& edit, const QString& text) { edit.insertPlainText(text); }

// An edit field whose typing can be limited as the system's edit controls
// limit it: text the program sets stays whole, but while the field holds
// the limit or more the user adds nothing. A paste is cut to what fits.
template <class Edit>
class TLimitedEdit : public Edit {
 public:
  using Edit::Edit;
  int Limit = 0;

 protected:
  // How many characters the user may still add (the selection is replaced).
  int Room() const { return Limit > 0 ? Limit - LengthOf(*this) : INT_MAX; }
  void Refuse() const { QApplication::beep(); }

  void keyPressEvent(QKeyEvent* event) override {
    if (Limit > 0 && event->matches(QKeySequence::Paste))
      return Insert(*this, QApplication::clipboard()->text().left(std::max(0, Room())));
    const QString typed = event->text();
    if (!typed.isEmpty() && typed.at(0).isPrint() && Room() < typed.size()) return Refuse();
    Edit::keyPressEvent(event);
  }
};

using TLineEdit = TLimitedEdit<QLineEdit>;

class TMultiLineEdit : public TLimitedEdit<QPlainTextEdit> {
 public:
  TMultiLineEdit(QWidget* parent, bool wantReturn) : TLimitedEdit(parent), WantReturn(wantReturn) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
      return TLimitedEdit::keyPressEvent(event);
    // Without want-return, Enter belongs to the dialog (its default button).
    if (!WantReturn) return event->ignore();
    if (Room() < 1) return Refuse();
    TLimitedEdit::keyPressEvent(event);
  }
  // Drops and the context menu's paste.
  void insertFromMimeData(const QMimeData* source) override {
    Insert(*this, source->text().left(std::max(0, Room())));
  }

 private:
  bool WantReturn;
};

QWidget* MakeEdit(const TControlTemplate& control, QWidget* parent) {
  const bool readOnly = control.Style & ES_READONLY;
  if (!(control.Style & ES_MULTILINE)) {
    auto* edit = new TLineEdit(parent);
    edit->setReadOnly(readOnly);
    edit->setFrame(control.Style & WS_BORDER);
    return edit;
  }
  auto* edit = new TMultiLineEdit(parent, control.Style & ES_WANTRETURN);
  edit->setReadOnly(readOnly);
  if (!(control.Style & WS_BORDER)) edit->setFrameStyle(QFrame::NoFrame);
  // With a horizontal scroll bar lines run on; without one they wrap.
  const bool hScroll = control.Style & WS_HSCROLL;
  edit->setLineWrapMode(hScroll ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
  edit->setHorizontalScrollBarPolicy(hScroll ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  edit->setVerticalScrollBarPolicy((control.Style & WS_VSCROLL) ? Qt::ScrollBarAsNeeded
                                                               : Qt::ScrollBarAlwaysOff);
  return edit;
}

QWidget* MakeStatic(const TControlTemplate& control, QWidget* parent) {
  auto* label = new QLabel(QString::fromUtf8(control.Text ? control.Text : ""), parent);
  if ((control.Style & 0x1F) == SS_BLACKFRAME) {
    label->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
  }
  return label;
}

// The gauge's bar. Its segments are the style sheet's chunks, sized anew
// whenever the bar's size changes.
class TGaugeBar : public QProgressBar {
 public:
  using QProgressBar::QProgressBar;
  int Margin = 0, Spacing = 0, Thick = 100;
  QColor Colour;

  void Restyle() {
    const bool horizontal = orientation() == Qt::Horizontal;
    QString chunk = QStringLiteral("background-color: %1;").arg(Colour.name());
    const int length = (horizontal ? width() : height()) - 2 * (Margin + kBorder);
    if (Spacing > 0 && maximum() > minimum() && length > 0) {
      int pitch = std::max(2, length * Spacing / (maximum() - minimum()));
      int lit = std::max(1, pitch * Thick / 100);
      chunk += QStringLiteral(" %1: %2px; margin-%3: %4px;")
                   .arg(horizontal ? "width" : "height")
                   .arg(lit)
                   .arg(horizontal ? "right" : "top")
                   .arg(pitch - lit);
    }
    setStyleSheet(QStringLiteral("QProgressBar { border: %1px solid gray; background: white; "
                                 "padding: %2px; } QProgressBar::chunk { %3 }")
                      .arg(kBorder)
                      .arg(Margin)
                      .arg(chunk));
  }

 protected:
  void resizeEvent(QResizeEvent* event) override {
    QProgressBar::resizeEvent(event);
    Restyle();
  }

 private:
  static constexpr int kBorder = 1;
};

QString TextOf(HWND window) {
  if (auto* edit = qobject_cast<QLineEdit*>(window)) return edit->text();
  if (auto* edit = qobject_cast<QPlainTextEdit*>(window))
    return edit->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  if (auto* combo = qobject_cast<QComboBox*>(window)) return combo->currentText();
  if (auto* button = qobject_cast<QAbstractButton*>(window)) return button->text();
  if (auto* label = qobject_cast<QLabel*>(window)) return label->text();
  return window->windowTitle();
}
}  // namespace

QWidget* MakeDialogControl(const TControlTemplate& control, QWidget* parent) {
  if (std::strcmp(control.ClassName, "BUTTON") == 0)
    return new QPushButton(QString::fromUtf8(control.Text ? control.Text : ""), parent);
  if (std::strcmp(control.ClassName, "STATIC") == 0) return MakeStatic(control, parent);
  if (std::strcmp(control.ClassName, "EDIT") == 0) return MakeEdit(control, parent);
  return nullptr;
}

BOOL SetWindowText(HWND window, const char* text) {
  if (!window) return FALSE;
  QString value = QString::fromUtf8(text ? text : "");
  if (auto* edit = qobject_cast<QLineEdit*>(window)) {
    edit->setText(value);
    // A long text shows from its start.
    edit->setCursorPosition(0);
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(window)) {
    edit->setPlainText(value.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  } else if (auto* combo = qobject_cast<QComboBox*>(window)) {
    if (combo->isEditable()) combo->setEditText(value);
    else combo->setCurrentText(value);
  } else if (auto* button = qobject_cast<QAbstractButton*>(window)) {
    button->setText(value);
  } else if (auto* label = qobject_cast<QLabel*>(window)) {
    label->setText(value);
  } else {
    window->setWindowTitle(value);
  }
  return TRUE;
}

int GetWindowTextLength(HWND window) { return window ? int(TextOf(window).toUtf8().size()) : 0; }

int GetWindowText(HWND window, char* buffer, int size) {
  if (!buffer || size <= 0) return 0;
  QByteArray text = window ? TextOf(window).toUtf8() : QByteArray();
  int count = std::min(int(text.size()), size - 1);
  std::memcpy(buffer, text.constData(), std::size_t(count));
  buffer[count] = '\0';
  return count;
}

TControl::TControl(TWindow* parent, int resourceId, TModule* module)
    : TWindow(parent, nullptr, module), Id(resourceId), FromResource(true) {
  if (parent) parent->Controls.push_back(this);
}

TControl::TControl(TWindow* parent, int id, const char* title, int x, int y, int w, int h,
                   TModule* module)
    : TWindow(parent, title, module), Id(id), FromResource(false) {
  Attr = TWindowAttr{WS_CHILD | WS_VISIBLE, 0, x, y, w, h};
  if (parent) parent->Controls.push_back(this);
}

TControl::~TControl() {
  if (!Parent) return;
  auto& controls = Parent->Controls;
  controls.erase(std::remove(controls.begin(), controls.end(), this), controls.end());
}

QWidget* TControl::MakePeer(QWidget* parent) {
  if (FromResource) return GetDlgItem(parent, Id);
  QWidget* control = parent ? MakeControl(parent) : nullptr;
  if (!control) return nullptr;
  control->setProperty(kControlId, Id);
  control->setVisible(Attr.Style & WS_VISIBLE);
  return control;
}

TEdit::TEdit(TWindow* parent, int resourceId, UINT textLimit, TModule* module)
    : TControl(parent, resourceId, module), TextLimit(textLimit) {}

void TEdit::SetupWindow() {
  TControl::SetupWindow();
  // Not QLineEdit's maximum length, which would also cut the program's text.
  if (auto* edit = dynamic_cast<TLineEdit*>(GetHandle())) edit->Limit = int(TextLimit);
  if (auto* edit = dynamic_cast<TMultiLineEdit*>(GetHandle())) edit->Limit = int(TextLimit);
}

TGauge::TGauge(TWindow* parent, const char* title, int id, int x, int y, int w, int h,
               bool isHorizontal, int margin, TModule* module)
    : TControl(parent, id, title, x, y, w, h, module), Horizontal(isHorizontal), Margin(margin) {}

QWidget* TGauge::MakeControl(QWidget* parent) {
  auto* bar = new TGaugeBar(parent);
  bar->setTextVisible(false);
  bar->setOrientation(Horizontal ? Qt::Horizontal : Qt::Vertical);
  bar->setGeometry(Attr.X, Attr.Y, Attr.W, Attr.H);
  return bar;
}

void TGauge::SetupWindow() {
  TControl::SetupWindow();
  Update();
}

void TGauge::SetRange(int min, int max) {
  Min = min;
  Max = std::max(min, max);
  Value = std::clamp(Value, Min, Max);
  Update();
}

void TGauge::GetRange(int& min, int& max) const {
  min = Min;
  max = Max;
}

void TGauge::SetValue(int value) {
  Value = std::clamp(value, Min, Max);
  Update();
}

void TGauge::SetLed(int spacing, int thickPercent) {
  LedSpacing = std::max(0, spacing);
  LedThick = std::clamp(thickPercent, 1, 100);
  Update();
}

void TGauge::SetColor(COLORREF color) {
  Color = color;
  Update();
}

void TGauge::Update() {
  auto* bar = dynamic_cast<TGaugeBar*>(GetHandle());
  if (!bar) return;
  bar->Margin = Margin;
  bar->Spacing = LedSpacing;
  bar->Thick = LedThick;
  bar->Colour = QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color));
  bar->setRange(Min, Max);
  bar->setValue(Value);
  bar->Restyle();
}
