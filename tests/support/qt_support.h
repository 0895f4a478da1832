// Helpers of the test programs that link Qt (header only): one Qt
// application per test program, and a scripted user who answers the modal
// windows that come up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QtTest/QTest>
#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The Qt application of the test program, on the offscreen platform unless
// the environment names another.
class QtTestEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    App = std::make_unique<QApplication>(Argc, Argv);
  }
  void TearDown() override { App.reset(); }

 private:
  int Argc = 1;
  char Name[5] = "test";
  char* Argv[2] = {Name, nullptr};
  std::unique_ptr<QApplication> App;
};

inline testing::Environment* const kQtTestEnvironment =
    testing::AddGlobalTestEnvironment(new QtTestEnvironment);

// What a modal window is, for the record of what the user saw.
inline std::string Describe(QWidget* window) {
  if (auto* files = qobject_cast<QFileDialog*>(window))
    return files->acceptMode() == QFileDialog::AcceptOpen ? "open dialog" : "save dialog";
  if (auto* box = qobject_cast<QMessageBox*>(window))
    return "message: " + box->windowTitle().toStdString() + ": " + box->text().toStdString();
  return window->objectName().toStdString();
}

// A user at the screen: each new modal window gets the next step of the
// script; a window without a step is dismissed with Esc. A step runs from
// the event loop, so it may itself open a modal window.
class ScriptedUser {
 public:
  using Step = std::function<void(QWidget*)>;

  ScriptedUser() {
    QObject::connect(&Timer, &QTimer::timeout, [this] { Poll(); });
    Timer.start(10);
  }
  ScriptedUser& Then(Step step) {
    Steps.push_back(std::move(step));
    return *this;
  }
  // A step for a window that is not modal, once find() returns it visible.
  ScriptedUser& WhenShown(std::function<QWidget*()> find, Step step) {
    FindWindow = std::move(find);
    WindowStep = std::move(step);
    return *this;
  }
  // Everything that came up, in order ("open dialog", "IDD_TOUCH", ...).
  const std::vector<std::string>& Seen() const { return Record; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    // A dialog that comes back into view after a box of its own closed is
    // not new.
    bool handled = std::any_of(Handled.begin(), Handled.end(),
                               [modal](const QPointer<QWidget>& w) { return w == modal; });
    // A window the script left open for seconds would hang the test.
    if (modal && handled && ++Unchanged > kPatience) {
      ADD_FAILURE() << "still open: " << Describe(modal);
      Unchanged = 0;
      QTest::keyClick(modal, Qt::Key_Escape);
    }
    if (modal && !handled && modal->isVisible()) {
      Unchanged = 0;
      Handled.push_back(modal);
      Record.push_back(Describe(modal));
      Step step = Steps.empty() ? Step([](QWidget* w) { QTest::keyClick(w, Qt::Key_Escape); })
                                : Steps.front();
      if (!Steps.empty()) Steps.pop_front();
      Run(modal, step);
      return;
    }
    QWidget* window = FindWindow ? FindWindow() : nullptr;
    if (window && window->isVisible()) {
      FindWindow = nullptr;
      Record.push_back("shaped window");
      Run(window, WindowStep);
    }
  }
  static void Run(QWidget* window, Step step) {
    QPointer<QWidget> target(window);
    QTimer::singleShot(0, [target, step] {
      if (target) step(target);
    });
  }

  static constexpr int kPatience = 1000;  // polls, 10 s
  QTimer Timer;
  int Unchanged = 0;
  std::deque<Step> Steps;
  std::vector<QPointer<QWidget>> Handled;
  std::vector<std::string> Record;
  std::function<QWidget*()> FindWindow;
  Step WindowStep;
};

// Steps of the script.
inline ScriptedUser::Step PressKey(Qt::Key key) {
  return [key](QWidget* w) { QTest::keyClick(w, key); };
}

// A left click at (x, y) of the window, sent as plain mouse events: QTest
// would read the point (0, 0) as "the middle of the widget".
inline ScriptedUser::Step ClickAt(int x, int y) {
  return [x, y](QWidget* w) {
    QPointer<QWidget> target(w);
    const QPointF at(x, y), global(w->mapToGlobal(QPoint(x, y)));
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    if (!target) return;
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w, &release);
  };
}

// Types the name into a file dialog's name field and presses Enter.
inline ScriptedUser::Step TypeFileName(const std::string& name) {
  return [name](QWidget* w) {
    auto* edit = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (!edit) {
      ADD_FAILURE() << "expected a file dialog, not " << Describe(w);
      return QTest::keyClick(w, Qt::Key_Escape);
    }
    edit->clear();
    QTest::keyClicks(edit, QString::fromStdString(name));
    QTest::keyClick(edit, Qt::Key_Return);
  };
}
