// Controls of dialog templates (edit fields, the gauge), timers, window
// styles and posted closes.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <string>
#include <vector>

#include "platform/ui/controls.h"
#include "platform/ui/dialog.h"
#include "platform/ui/frame.h"
#include "tests/support/qt_support.h"

namespace {
constexpr int kLine = 101;
constexpr int kText = 102;
constexpr int kGauge = 999;

const TControlTemplate kControls[] = {
    {"EDIT", "", kLine, 10, 10, 100, 12, ES_AUTOHSCROLL | WS_BORDER | WS_VISIBLE},
    {"EDIT", "", kText, 10, 30, 100, 40,
     ES_MULTILINE | ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_VISIBLE},
};
const TDialogTemplate kDialogs[] = {
    {1, "Felder", 8, "MS Sans Serif", 0, 0, 200, 100, WS_POPUP | WS_CAPTION | DS_SETFONT, 0, kControls},
};
TModule kModule(kDialogs, {}, nullptr);

// Two edit fields limited to 5 typed characters and a gauge; counts its
// timer messages and can refuse to close.
class TFieldsDialog : public TDialog {
 public:
  TFieldsDialog()
      : TDialog(nullptr, 1, &kModule),
        Line(this, kLine, 5),
        Text(this, kText, 5),
        Gauge(this, "", kGauge, 10, 75, 357, 20, true, 0) {}
  TEdit Line, Text;
  TGauge Gauge;
  std::vector<UINT> Timers;
  bool MayClose = true;
  bool CanClose() override { return MayClose; }

 protected:
  void EvTimer(UINT id) override {
    Timers.push_back(id);
    KillTimer(id);
  }
};

std::string TextOf(HWND window) {
  std::string text(std::size_t(GetWindowTextLength(window)), '\0');
  GetWindowText(window, text.data(), int(text.size()) + 1);
  return text;
}

class ControlsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dialog.Create());
    Dialog.ShowWindow(SW_SHOW);
  }
  TFieldsDialog Dialog;
};

TEST_F(ControlsTest, TemplateEditsAreBoundAndTheLimitStopsOnlyTyping) {
  auto* line = qobject_cast<QLineEdit*>(Dialog.Line.GetHandle());
  auto* text = qobject_cast<QPlainTextEdit*>(Dialog.Text.GetHandle());
  ASSERT_NE(line, nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(line, GetDlgItem(Dialog.GetHandle(), kLine));
  for (QWidget* field : {static_cast<QWidget*>(line), static_cast<QWidget*>(text)}) {
    QTest::keyClicks(field, QStringLiteral("abcdefgh"));
    EXPECT_EQ(TextOf(field), "abcde");
    // The program's own text is never cut, and typing stays refused.
    SetWindowText(field, "/ein/langer/Pfad");
    QTest::keyClicks(field, QStringLiteral("x"));
    EXPECT_EQ(TextOf(field), "/ein/langer/Pfad");
  }
}

TEST_F(ControlsTest, MultiLineEditShowsCrLfAsLineBreaksAndGivesItBack) {
  HWND text = Dialog.Text.GetHandle();
  SetWindowText(text, "Kopf!\r\nKann Datei nicht öffnen:\r\n/tmp/ä\r\n");
  EXPECT_EQ(qobject_cast<QPlainTextEdit*>(text)->toPlainText(),
            QStringLiteral("Kopf!\nKann Datei nicht öffnen:\n/tmp/ä\n"));
  EXPECT_EQ(TextOf(text), "Kopf!\r\nKann Datei nicht öffnen:\r\n/tmp/ä\r\n");
  EXPECT_EQ(GetWindowTextLength(text), 43);  // bytes of UTF-8
  char small[6];
  EXPECT_EQ(GetWindowText(text, small, sizeof small), 5);
  EXPECT_STREQ(small, "Kopf!");
}

TEST_F(ControlsTest, GaugeKeepsItsValueInTheRangeAndLightsBlueSegments) {
  Dialog.Gauge.SetRange(1, 100);
  Dialog.Gauge.SetLed(4, 90);
  Dialog.Gauge.SetColor(TColor(0, 0, 255));
  auto* bar = qobject_cast<QProgressBar*>(GetDlgItem(Dialog.GetHandle(), kGauge));
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->geometry(), QRect(10, 75, 357, 20));
  // Blue runs along the bar's middle row.
  auto segments = [bar] {
    QImage image = bar->grab().toImage();
    std::vector<int> runs;
    bool inside = false;
    for (int x = 0; x < image.width(); ++x) {
      bool blue = image.pixel(x, image.height() / 2) == qRgb(0, 0, 255);
      if (blue && !inside) runs.push_back(0);
      if (blue) ++runs.back();
      inside = blue;
    }
    return runs;
  };
  const int values[][2] = {{0, 1}, {-5, 1}, {1, 1}, {50, 50}, {100, 100}, {250, 100}};
  for (const auto& [set, shown] : values) {
    Dialog.Gauge.SetValue(set);
    EXPECT_EQ(Dialog.Gauge.GetValue(), shown) << set;
    EXPECT_EQ(bar->value(), shown) << set;
  }
  // Segments of 4 units: about 25 across the whole range, each 90 % lit;
  // the bar's end may cut the last one.
  std::vector<int> full = segments();
  ASSERT_GE(full.size(), 24u);
  EXPECT_LE(full.size(), 26u);
  const int pitch = 355 * 4 / 99;
  for (std::size_t i = 0; i + 1 < full.size(); ++i) EXPECT_EQ(full[i], pitch * 90 / 100) << i;
  Dialog.Gauge.SetValue(50);
  EXPECT_NEAR(double(segments().size()), full.size() / 2.0, 1.0);
  Dialog.Gauge.SetValue(1);
  EXPECT_TRUE(segments().empty());
}

TEST_F(ControlsTest, TimerCallsEvTimerWithItsIdUntilKilled) {
  EXPECT_EQ(Dialog.SetTimer(7, 5), 7u);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Dialog.Timers.empty(); }));
  QTest::qWait(30);
  EXPECT_EQ(Dialog.Timers, std::vector<UINT>{7});  // killed by its first call
  EXPECT_FALSE(Dialog.KillTimer(7));
  // A timer does not outlive its window.
  Dialog.SetTimer(8, 5);
  Dialog.Destroy();
  QTest::qWait(30);
  EXPECT_EQ(Dialog.Timers.size(), 1u);
  EXPECT_EQ(Dialog.SetTimer(9, 5), 0u);
}

TEST(PostedClose, ArrivesLaterAndTheFrameAsksItsClient) {
  auto* client = new TFieldsDialog;
  TFrameWindow frame(nullptr, "Rahmen", client);
  ASSERT_TRUE(frame.Create());
  client->MayClose = false;
  ASSERT_TRUE(frame.PostMessage(WM_CLOSE));
  QCoreApplication::processEvents();
  EXPECT_NE(frame.GetHandle(), nullptr);
  client->MayClose = true;
  ASSERT_TRUE(frame.PostMessage(WM_CLOSE));
  EXPECT_NE(frame.GetHandle(), nullptr);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.GetHandle(), nullptr);
}

TEST(WindowStyle, WithoutSizingBorderAndMaximiseBoxTheFrameKeepsItsSize) {
  TFrameWindow frame(nullptr, "Rahmen", nullptr);
  frame.Attr.W = 300;
  frame.Attr.H = 120;
  ASSERT_TRUE(frame.Create());
  EXPECT_EQ(frame.GetStyle(), WS_OVERLAPPEDWINDOW);
  QWidget* window = frame.GetHandle();
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_EQ(frame.SetStyle(frame.GetStyle() & ~(WS_THICKFRAME | WS_MAXIMIZEBOX)), WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(window->minimumSize(), QSize(300, 120));
  EXPECT_EQ(window->maximumSize(), QSize(300, 120));
  // The program may still size it.
  frame.SetWindowPos(nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(window->size(), QSize(200, 100));
}
}  // namespace
