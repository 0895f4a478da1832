// Dialogs from templates and the window helpers built on them.
#include <gtest/gtest.h>

#include <ostream>

#include <QLabel>
#include <QPushButton>

#include "platform/ui/dialog.h"
#include "platform/ui/input.h"
#include "tests/support/qt_support.h"
#include "util/window_helpers.h"

namespace {
constexpr int kLabel = 100;
constexpr int kGo = 101;

const TControlTemplate kControls[] = {
    {"STATIC", "Quelle:", kLabel, 10, 10, 40, 8, SS_LEFT | WS_VISIBLE},
    {"BUTTON", "Los", kGo, 10, 30, 50, 14, BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP},
    {"BUTTON", "OK", IDOK, 70, 30, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"BUTTON", "Abbruch", IDCANCEL, 130, 30, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};
const TDialogTemplate kDialogs[] = {
    {1, "Probe", 8, "MS Sans Serif", 0, 0, 200, 60, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, kControls},
};
TModule kModule(kDialogs, {}, nullptr);

// "Los" ends the dialog with its own id.
class TProbeDialog : public TDialog {
 public:
  TProbeDialog() : TDialog(nullptr, 1, &kModule) {}

 protected:
  void EvCommand(int id) override {
    if (id == kGo) CloseWindow(kGo);
    else TDialog::EvCommand(id);
  }
};

struct CommandCase {
  const char* name;
  ScriptedUser::Step step;
  int result;
};
void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

class DialogCommandTest : public testing::TestWithParam<CommandCase> {};

TEST_P(DialogCommandTest, EndsTheModalDialogWithTheCommandsId) {
  ScriptedUser user;
  user.Then(GetParam().step);
  TProbeDialog dialog;
  EXPECT_EQ(dialog.Execute(), GetParam().result);
  EXPECT_EQ(dialog.GetHandle(), nullptr);
}

// OK and Abbruch are hidden, yet Enter and Esc give their commands.
INSTANTIATE_TEST_SUITE_P(
    Commands, DialogCommandTest,
    testing::Values(CommandCase{"Enter", PressKey(Qt::Key_Return), IDOK},
                    CommandCase{"Esc", PressKey(Qt::Key_Escape), IDCANCEL},
                    CommandCase{"VisibleButton",
                                [](QWidget* w) {
                                  static_cast<QPushButton*>(GetDlgItem(w, kGo))->click();
                                },
                                kGo}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Dialog, MissingTemplateCannotRun) {
  TDialog dialog(nullptr, 99, &kModule);
  EXPECT_EQ(dialog.Execute(), -1);
  EXPECT_FALSE(dialog.Create());
}

class ChildRectTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Dialog.Create()); }
  QRect Geometry(int id) { return GetDlgItem(Dialog.GetHandle(), id)->geometry(); }
  static QRect AsQRect(const RECT& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }
  TProbeDialog Dialog;
};

TEST_F(ChildRectTest, StaticControlGivesItsPlaceAndGoes) {
  QRect expected = Geometry(kLabel);
  RECT rect{};
  ASSERT_TRUE(GetChildRect(&Dialog, kLabel, rect));
  EXPECT_EQ(AsQRect(rect), expected);
  EXPECT_EQ(GetDlgItem(Dialog.GetHandle(), kLabel), nullptr);
}

TEST_F(ChildRectTest, ButtonIsRefusedAndStays) {
  RECT rect{1, 2, 3, 4};
  EXPECT_FALSE(GetChildRect(&Dialog, kGo, rect));
  EXPECT_FALSE(GetChildRect(&Dialog, 555, rect));
  EXPECT_EQ(rect.left, 1);
  EXPECT_NE(GetDlgItem(Dialog.GetHandle(), kGo), nullptr);
}

TEST_F(ChildRectTest, AnyControlGoesOnlyWhenAsked) {
  QRect expected = Geometry(kGo);
  RECT rect{};
  ASSERT_TRUE(GetChildRectEx(&Dialog, kGo, rect, false));
  EXPECT_EQ(AsQRect(rect), expected);
  EXPECT_NE(GetDlgItem(Dialog.GetHandle(), kGo), nullptr);
  ASSERT_TRUE(GetChildRectEx(&Dialog, kGo, rect, true));
  EXPECT_EQ(GetDlgItem(Dialog.GetHandle(), kGo), nullptr);
}

// A widget that counts what reaches it.
class Counter : public QWidget {
 public:
  int clicks = 0, keys = 0, paints = 0;

 protected:
  void mousePressEvent(QMouseEvent*) override { ++clicks; }
  void keyPressEvent(QKeyEvent*) override { ++keys; }
  void paintEvent(QPaintEvent*) override { ++paints; }
};

class PeekBreakKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    Widget.resize(50, 50);
    Widget.show();
    PumpMessages();
    Widget.paints = 0;
  }
  void PostClick() {
    QCoreApplication::postEvent(&Widget, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5),
                                                         QPointF(5, 5), Qt::LeftButton,
                                                         Qt::LeftButton, Qt::NoModifier));
  }
  void PostKey(Qt::Key key) {
    QCoreApplication::postEvent(&Widget, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
  }
  Counter Widget;
};

TEST_F(PeekBreakKeyTest, ClickFirstIsTakenAndLeavesTheFlag) {
  PostClick();
  Widget.update();
  BOOL flag = 0;
  PeekBreakKey(flag);
  EXPECT_EQ(flag, 0);
  EXPECT_EQ(Widget.clicks, 0);
  EXPECT_GT(Widget.paints, 0);  // paint goes through
}

TEST_F(PeekBreakKeyTest, EscOrEnterSetsTheFlagAndIsTaken) {
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
    BOOL flag = 0;
    PostKey(key);
    PeekBreakKey(flag);
    EXPECT_EQ(flag, 1) << key;
    EXPECT_EQ(Widget.keys, 0) << key;
  }
  BOOL flag = 1;
  PostKey(Qt::Key_A);
  PeekBreakKey(flag);
  EXPECT_EQ(flag, 1);  // never cleared here
  EXPECT_EQ(Widget.keys, 0);
}

TEST(PumpMessages, DeliversEverythingPending) {
  Counter widget;
  widget.show();
  QCoreApplication::postEvent(&widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  QCoreApplication::postEvent(&widget, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
  PumpMessages();
  EXPECT_EQ(widget.keys, 2);
}

TEST(CenterWindow, PlacesTheWindowInTheMiddleOfTheScreen) {
  TInfoStruct screen;
  // The second window is wider than the screen: the division truncates toward zero.
  for (int width : {300, screen.ScreenWidth + 101}) {
    TWindow window(nullptr);
    window.Attr = {WS_POPUP, 0, 7, 9, width, 200};
    ASSERT_TRUE(window.Create());
    CenterWindow(&window);
    RECT r = window.GetWindowRect();
    EXPECT_EQ(r.left, (screen.ScreenWidth - width) / 2);
    EXPECT_EQ(r.top, (screen.ScreenHeight - 200) / 2);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, 200);
  }
}
}  // namespace
