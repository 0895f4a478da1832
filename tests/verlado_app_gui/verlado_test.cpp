// verlado from start to end: the program object with its real progress
// dialog and message boxes, driven as a user would; and the program itself
// started with the wrong number of arguments.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/core/command_line.h"
#include "platform/core/global_memory.h"
#include "platform/ui/dialog.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"
#include "util/window_strings.h"
#include "verlado_app/copy_dialog.h"
#include "verlado_app/verlado_app.h"

namespace {
const std::string kSuccessBox = "message: Verlado Version 1.0: Der Kopiervorgang wurde erfolgreich beendet!";
const std::string kWarnings = "Während des Kopiervorgangs sind Warnungen aufgetreten!\r\n";
const std::string kError = "Während des Kopiervorgangs ist ein Fehler aufgetreten!\r\n";

TFrameWindow* Frame() {
  TApplication* app = TApplication::Current();
  return app ? app->GetMainWindow() : nullptr;
}
QWidget* Client() {
  return Frame() && Frame()->GetClientWindow() ? Frame()->GetClientWindow()->GetHandle() : nullptr;
}
QWidget* Control(int id) { return GetDlgItem(Client(), id); }
std::string TextOf(int id) {
  std::string text;
  GetWindowString(text, Control(id));
  return text;
}
int GaugeValue() { return qobject_cast<QProgressBar*>(Control(IDC_GAUGE))->value(); }

void PostClick(QWidget* widget) {
  const QPointF centre = QRectF(widget->rect()).center();
  for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
    QCoreApplication::postEvent(
        widget, new QMouseEvent(type, centre, widget->mapToGlobal(centre), Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
}
void PostKey(QWidget* widget, Qt::Key key) {
  QCoreApplication::postEvent(widget, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
}

// What the user does, as events that wait in the queue like real input.
using Action = std::function<void()>;
const Action kPressAbbruch = [] { PostClick(Control(IDCANCEL)); };
const Action kPressOk = [] { PostClick(Control(IDOK)); };
const Action kPressEsc = [] { PostKey(Client(), Qt::Key_Escape); };
const Action kPressEnter = [] { PostKey(Client(), Qt::Key_Return); };
const Action kCloseBox = [] { QCoreApplication::postEvent(Frame()->GetHandle(), new QCloseEvent); };
const Action kWmClose = [] { Frame()->GetClientWindow()->PostMessage(WM_CLOSE); };

struct NamedAction {
  const char* name;
  Action action;
};
void PrintTo(const NamedAction& a, std::ostream* os) { *os << a.name; }

// Watches the window from the moment it is shown. Each new source in the
// source field (the gauge is set just before it) is noted with the gauge's
// value, and the step for that file runs; when the message field appears,
// its text is noted once the run is over and the closing step runs.
class Watch : public QObject {
 public:
  Watch() {
    qApp->installEventFilter(this);
    // A window the test left open would hang it.
    QObject::connect(&Patience, &QTimer::timeout, [] {
      ADD_FAILURE() << "verlado is still open";
      if (Frame()) Frame()->Destroy();
    });
    Patience.start(30000);
  }
  ~Watch() override { qApp->removeEventFilter(this); }

  std::function<void(int file)> DuringFile;
  Action AtShow;
  Action AtMessages = kPressAbbruch;

  std::vector<int> Gauge;
  std::vector<std::string> Sources;
  std::string Messages;
  QString MessagesShown;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() != QEvent::Show || !Frame()) return false;
    if (object == Frame()->GetHandle() && !Hooked) Hook();
    if (object == Control(IDC_MESSAGES))
      QTimer::singleShot(0, this, [this] {
        Messages = TextOf(IDC_MESSAGES);
        MessagesShown = qobject_cast<QPlainTextEdit*>(Control(IDC_MESSAGES))->toPlainText();
        if (AtMessages) AtMessages();
      });
    return false;
  }

 private:
  void Hook() {
    Hooked = true;
    auto* source = qobject_cast<QLineEdit*>(Control(IDC_SOURCE));
    QObject::connect(source, &QLineEdit::textChanged, this, [this](const QString& text) {
      if (text.isEmpty()) return;
      Gauge.push_back(GaugeValue());
      Sources.push_back(text.toStdString());
      if (DuringFile) DuringFile(int(Sources.size()));
    });
    if (AtShow) AtShow();
  }

  bool Hooked = false;
  QTimer Patience;
};

class VerladoRun : public testing::Test {
 protected:
  void SetUp() override { BlocksBefore = GlobalLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(GlobalLiveBlocks(), BlocksBefore); }

  std::string Source(const std::string& name, const std::string& text = "Inhalt") {
    WriteFileBytes(Dir.File(name), Bytes(text.begin(), text.end()));
    return Dir.File(name);
  }
  std::string List(const std::vector<TCopyInfo>& entries) {
    const std::string path = Dir.File("liste");
    EXPECT_TRUE(WriteCopyListFile(path.c_str(), entries));
    return path;
  }
  // The program with its one argument, to its end.
  static int RunVerlado(const std::string& list) {
    const char* argv[] = {"verlado", list.c_str()};
    SetCommandLineArgs(2, argv);
    verladoApp app;
    return app.Run();
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(Dir.File(name)); }

  TempDir Dir;
  std::size_t BlocksBefore = 0;
};

struct Seen {
  std::string source, target;
  int gauge = -1;
  bool messagesVisible = true;
  QString title;
  bool icon = false, maximiseBox = true;
  QSize frame, client, minimum, maximum;
};

TEST_F(VerladoRun, CopiesEachFileWithItsProgressThenConfirmsAndEnds) {
  const std::vector<std::string> sources = {Source("a", "eins"), Source("b", "zwei"), Source("c", "drei")};
  const std::string list = List({{sources[0], Dir.File("neu/a"), 0},
                                 {sources[1], Dir.File("neu/tief/b"), 0},
                                 {sources[2], Dir.File("c2"), 0}});
  Watch watch;
  Seen seen;
  ScriptedUser user;
  user.Then([&seen](QWidget* box) {
    QWidget* frame = Frame()->GetHandle();
    seen = {TextOf(IDC_SOURCE), TextOf(IDC_TARGET), GaugeValue(), Control(IDC_MESSAGES)->isVisible(),
            frame->windowTitle(), !frame->windowIcon().isNull(),
            bool(frame->windowFlags() & Qt::WindowMaximizeButtonHint), frame->size(), Client()->size(),
            frame->minimumSize(), frame->maximumSize()};
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_EQ(RunVerlado(list), 0);

  EXPECT_EQ(user.Seen(), std::vector<std::string>{kSuccessBox});
  EXPECT_EQ(watch.Sources, sources);
  EXPECT_EQ(watch.Gauge, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(ReadFileBytes(Dir.File("neu/tief/b")), (Bytes{'z', 'w', 'e', 'i'}));
  EXPECT_TRUE(Exists("neu/a") && Exists("c2"));
  // After the run: empty fields, the gauge at its minimum, no messages.
  EXPECT_EQ(seen.source, "");
  EXPECT_EQ(seen.target, "");
  EXPECT_EQ(seen.gauge, 1);
  EXPECT_FALSE(seen.messagesVisible);
  // A window of the dialog's size that the user cannot resize.
  EXPECT_EQ(seen.title, QStringLiteral("Verlado Version 1.0"));
  EXPECT_TRUE(seen.icon);
  EXPECT_FALSE(seen.maximiseBox);
  EXPECT_EQ(seen.frame, seen.client);
  EXPECT_EQ(seen.minimum, seen.frame);
  EXPECT_EQ(seen.maximum, seen.frame);
}

TEST_F(VerladoRun, EmptyListIsConfirmedAtOnce) {
  Watch watch;
  ScriptedUser user;
  EXPECT_EQ(RunVerlado(List({})), 0);
  EXPECT_EQ(user.Seen(), std::vector<std::string>{kSuccessBox});
  EXPECT_TRUE(watch.Sources.empty());
}

class ClosingAfterWarnings : public VerladoRun, public testing::WithParamInterface<NamedAction> {};

// Missing sources are warnings: the others are copied, the progress jumps
// over the missing ones, and the window stays until the user closes it.
TEST_P(ClosingAfterWarnings, EndsTheProgram) {
  const std::string missing = Dir.File("fehlt");
  const std::string list = List({{Source("a"), Dir.File("a2"), 0},
                                 {missing, Dir.File("fehlt2"), 0},
                                 {Source("c"), Dir.File("c2"), 0}});
  Watch watch;
  watch.AtMessages = GetParam().action;
  ScriptedUser user;
  EXPECT_EQ(RunVerlado(list), 0);
  EXPECT_TRUE(user.Seen().empty());
  EXPECT_EQ(watch.Gauge, (std::vector<int>{33, 100}));
  EXPECT_EQ(watch.Messages, kWarnings + "Kann Datei nicht finden:\r\n" + missing + "\r\n");
  // Shown as lines.
  EXPECT_EQ(watch.MessagesShown, QString::fromStdString("Während des Kopiervorgangs sind Warnungen "
                                                        "aufgetreten!\nKann Datei nicht finden:\n" +
                                                        missing + "\n"));
  EXPECT_TRUE(Exists("a2") && Exists("c2"));
  EXPECT_FALSE(Exists("fehlt2"));
}

INSTANTIATE_TEST_SUITE_P(By, ClosingAfterWarnings,
                         testing::Values(NamedAction{"Abbruch", kPressAbbruch}, NamedAction{"Ok", kPressOk},
                                         NamedAction{"Esc", kPressEsc}, NamedAction{"CloseBox", kCloseBox}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VerladoRun, ErrorsEndTheRunAndShowUnderTheErrorHeader) {
  const std::string missing = Dir.File("fehlt");
  const std::string longTarget = Dir.File(std::string(300, 'x') + "/ziel");
  WriteFileBytes(Dir.File("datei"), Bytes{1});
  struct Case {
    const char* what;
    std::function<std::string()> list;
    std::string messages;
    std::size_t progressed;  // files shown in the progress
    bool firstCopied;
  };
  const Case cases[] = {
      {"damaged list",
       [&] {
         const std::string path = List({{Source("a"), Dir.File("a2"), 0}, {Source("b"), Dir.File("b2"), 0}});
         Bytes bytes = ReadFileBytes(path);
         bytes.resize(bytes.size() - 3);
         WriteFileBytes(path, bytes);
         return path;
       },
       "Die Kopierliste ist beschädigt:\r\n" + Dir.File("liste") + "\r\n", 0, false},
      {"directory after a warning",
       [&] { return List({{missing, Dir.File("x"), 0}, {Source("a"), longTarget, 0}}); },
       "Kann Datei nicht finden:\r\n" + missing + "\r\nFehler bei Pfaderzeugung:\r\n" +
           longTarget.substr(0, longTarget.rfind('/') + 1) + "\r\nVorgang abgebrochen!\r\n",
       0, false},
      // A folder in the target's path is a file.
      {"copy", [&] { return List({{Source("a"), Dir.File("a2"), 0}, {Source("b"), Dir.File("datei/b2"), 0}}); },
       "Kann Datei nicht kopieren:\r\n" + Dir.File("datei/b2") + "\r\nVorgang abgebrochen!\r\n", 2, true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(Dir.File("a2"));
    Watch watch;
    ScriptedUser user;
    EXPECT_EQ(RunVerlado(c.list()), 0) << c.what;
    EXPECT_TRUE(user.Seen().empty()) << c.what;
    EXPECT_EQ(watch.Messages, kError + c.messages) << c.what;
    EXPECT_EQ(watch.Sources.size(), c.progressed) << c.what;
    EXPECT_EQ(Exists("a2"), c.firstCopied) << c.what;
  }
}

class CancelWhileCopying : public VerladoRun, public testing::WithParamInterface<NamedAction> {};

// Asked during the first of three files, the run ends before the second;
// the window stays, and "Abbruch" then closes it.
TEST_P(CancelWhileCopying, StopsBeforeTheNextFile) {
  const std::string list = List({{Source("a"), Dir.File("a2"), 0},
                                 {Source("b"), Dir.File("b2"), 0},
                                 {Source("c"), Dir.File("c2"), 0}});
  Watch watch;
  watch.DuringFile = [action = GetParam().action](int file) {
    if (file == 1) action();
  };
  bool stayed = false;
  watch.AtMessages = [&stayed] {
    stayed = Client() && Client()->isVisible();
    kPressAbbruch();
  };
  ScriptedUser user;
  EXPECT_EQ(RunVerlado(list), 0);
  EXPECT_TRUE(stayed);
  EXPECT_TRUE(user.Seen().empty());
  EXPECT_EQ(watch.Sources.size(), 1u);
  EXPECT_EQ(watch.Messages, kError + "Kopiervorgang abgebrochen!\r\n");
  EXPECT_TRUE(Exists("a2"));
  EXPECT_FALSE(Exists("b2") || Exists("c2"));
}

INSTANTIATE_TEST_SUITE_P(By, CancelWhileCopying,
                         testing::Values(NamedAction{"Abbruch", kPressAbbruch}, NamedAction{"Ok", kPressOk},
                                         NamedAction{"Esc", kPressEsc}, NamedAction{"Enter", kPressEnter},
                                         NamedAction{"CloseBox", kCloseBox},
                                         NamedAction{"WmClose", kWmClose}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(VerladoRun, ClosedBeforeTheRunTheProgramEndsWithoutCopying) {
  const std::string list = List({{Source("a"), Dir.File("a2"), 0}});
  for (const std::string& argument : {list, Dir.File("keine-liste")}) {
    Watch watch;
    Seen seen;
    watch.AtShow = [&seen] {
      seen.source = TextOf(IDC_SOURCE);
      seen.messagesVisible = Control(IDC_MESSAGES)->isVisible();
      kPressEsc();
    };
    EXPECT_EQ(RunVerlado(argument), 0) << argument;
    EXPECT_EQ(seen.source, "") << argument;
    EXPECT_FALSE(seen.messagesVisible) << argument;
    EXPECT_TRUE(watch.Sources.empty()) << argument;
    EXPECT_FALSE(Exists("a2")) << argument;
  }
}

TEST(GetCommandLineFile, IsTheOneArgumentAsGiven) {
  TempDir dir;
  const std::string list = dir.File("meine liste \"1\"");
  WriteFileBytes(list, Bytes{0, 0, 0, 0});
  struct Case {
    std::vector<const char*> argv;
    bool found;
    std::string path;
  };
  const Case cases[] = {
      {{"verlado", list.c_str()}, true, list},
      {{"verlado", "/nicht/da"}, false, "/nicht/da"},
      {{"verlado", ""}, false, ""},
      {{"verlado"}, false, ""},
      {{"verlado", list.c_str(), "mehr"}, false, ""},
  };
  for (const Case& c : cases) {
    SetCommandLineArgs(int(c.argv.size()), c.argv.data());
    std::string path = "alt";
    EXPECT_EQ(GetCommandLineFile(path), c.found) << c.path;
    EXPECT_EQ(path, c.path);
  }
}

// Anything but exactly one argument ends the program at once with 0: a
// window would keep it running until the time-out.
TEST(VerladoProgram, WrongArgumentCountsEndAtOnceWithoutAWindow) {
  TempDir dir;
  WriteFileBytes(dir.File("liste"), Bytes{0, 0, 0, 0});
  const std::vector<std::vector<std::string>> extra = {{}, {dir.File("liste"), "zweite"}, {"a", "b", "c"}};
  for (const auto& arguments : extra) {
    std::vector<std::string> argv = {"/usr/bin/timeout", "20", VERLADO};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    CommandResult result = RunCommand(argv);
    EXPECT_EQ(result.status, 0) << arguments.size();
    EXPECT_EQ(result.out, "");
  }
}
}  // namespace
