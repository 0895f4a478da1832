// Quorin from start to end, with its real dialogs driven as a user would:
// the open dialog, the colour dialog, the save dialog and the shaped window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <filesystem>
#include <string>
#include <vector>

#include "contour/contour_file.h"
#include "contour/key_colour.h"
#include "contour/tracer.h"
#include "contour/workflow.h"
#include "imagelib/loader.h"
#include "platform/core/global_memory.h"
#include "quorin_app/quorin_app.h"
#include "quorin_app/touch_window.h"
#include "tests/support/contour_fixtures.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"

namespace {
// The contour file of the red-rectangle picture traced against white.
Bytes RedRectangleContour() { return ContourFileBytes(300, 200, RectangleBorder(10, 5, 19, 14)); }

// The red-rectangle picture as it should appear on the screen.
QImage RedRectangle() {
  QImage image(300, 200, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 5; y <= 14; ++y)
    for (int x = 10; x <= 19; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
  return image;
}

// The contour the tracer finds in the image file against white, or against
// the colour of its top-left pixel.
std::vector<POINT> TracedContour(const std::string& path, bool keyAtTopLeft) {
  TDib image(LoadImageFile(path.c_str()), AutoDelete);
  if (!image.IsOK()) return {};
  COLORREF key = keyAtTopLeft ? PixelColour(image, 0, 0) : RGB(255, 255, 255);
  std::size_t pixels = std::size_t(image.Width()) * std::size_t(image.Height());
  std::vector<BYTE> mask(pixels);
  BuildContourMask(image, key, mask.data());
  std::vector<POINT> points(pixels);
  points.resize(std::size_t(TraceContour(image.Height(), image.Width(), mask.data(), points.data())));
  return points;
}

// What the shaped main window looked like.
struct Shown {
  QRect geometry;
  QRegion region;
  QImage picture;
  bool frameless = false;
  QString title;
  bool icon = false;
};

QWidget* MainWindow() {
  TApplication* app = TApplication::Current();
  return app && app->GetMainWindow() ? app->GetMainWindow()->GetHandle() : nullptr;
}

// Notes the shaped window, then closes it with the key (Enter or Esc: the
// client's hidden OK and Cancel).
ScriptedUser::Step InspectAndClose(Shown& shown, Qt::Key key) {
  return [&shown, key](QWidget* frame) {
    TFrameWindow* mainWindow = TApplication::Current()->GetMainWindow();
    shown = {frame->geometry(), mainWindow->GetWindowRgn(), frame->grab().toImage(),
             bool(frame->windowFlags() & Qt::FramelessWindowHint), frame->windowTitle(),
             !frame->windowIcon().isNull()};
    QTest::keyClick(mainWindow->GetClientWindow()->GetHandle(), key);
  };
}

class QuorinRun : public testing::Test {
 protected:
  void SetUp() override { BlocksBefore = GlobalLiveBlocks(); }
  void TearDown() override {
    // Nothing stays behind: memory blocks, preview, cursor, capture.
    EXPECT_EQ(GlobalLiveBlocks(), BlocksBefore);
    EXPECT_EQ(PreviewDib, nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    GlobalFailAllocation(0);
  }

  std::string Image(const Bytes& bmp = MakeRedRectangleBmp()) {
    std::string path = Dir.File("bild.bmp");
    WriteFileBytes(path, bmp);
    return path;
  }
  int RunQuorin() {
    TQuorinApp app;
    return app.Run();
  }
  // The files in the folder besides the image.
  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Dir.Path()))
      if (entry.path().filename() != "bild.bmp") names.push_back(entry.path().filename());
    return names;
  }
  static QPoint Centred(QSize size) {
    QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2);
  }

  TempDir Dir;
  Shown Window;
  std::size_t BlocksBefore = 0;
};

const std::vector<std::string> kFullRun = {"open dialog", "IDD_TOUCH", "save dialog",
                                           "shaped window"};

TEST_F(QuorinRun, OkWithoutClickTracesTheRedRectangleAndShowsIt) {
  ScriptedUser user;
  user.Then(TypeFileName(Image()))
      .Then(PressKey(Qt::Key_Return))
      .Then(TypeFileName(Dir.File("ziel")))
      .WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
  EXPECT_EQ(RunQuorin(), 0);
  EXPECT_EQ(user.Seen(), kFullRun);
  EXPECT_EQ(ReadFileBytes(Dir.File("ziel.QuorinDaten")), RedRectangleContour());

  EXPECT_TRUE(Window.frameless);
  EXPECT_EQ(Window.title, QStringLiteral("Quorin"));
  EXPECT_TRUE(Window.icon);
  EXPECT_EQ(Window.geometry, QRect(Centred(QSize(300, 200)), QSize(300, 200)));
  // The polygon's pixels without its right and bottom edges.
  EXPECT_EQ(Window.region, QRegion(10, 5, 9, 9));
  ASSERT_EQ(Window.picture.size(), QSize(300, 200));
  for (QPoint p : {QPoint(10, 5), QPoint(18, 13), QPoint(14, 9)})
    EXPECT_EQ(Window.picture.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
}

TEST_F(QuorinRun, ClickOnRedTracesTheImageBorderAndPaintsThePicture) {
  ScriptedUser user;
  user.Then(TypeFileName(Image()))
      .Then(ClickAt(12, 7))
      .Then(TypeFileName(Dir.File("rand")))
      .WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Return));
  EXPECT_EQ(RunQuorin(), 0);
  EXPECT_EQ(user.Seen(), kFullRun);
  std::vector<POINT> border = RectangleBorder(0, 0, 299, 199);
  ASSERT_EQ(border.size(), 996u);
  EXPECT_EQ(ReadFileBytes(Dir.File("rand.QuorinDaten")), ContourFileBytes(300, 200, border));

  EXPECT_EQ(Window.region, QRegion(0, 0, 299, 199));
  EXPECT_EQ(Window.geometry.topLeft(), Centred(QSize(300, 200)));
  QImage expected = RedRectangle();
  int wrong = 0;
  for (int y = 0; y < 199; ++y)
    for (int x = 0; x < 299; ++x) wrong += Window.picture.pixel(x, y) != expected.pixel(x, y);
  EXPECT_EQ(wrong, 0);
}

TEST_F(QuorinRun, ClickOutsideTheImageIsIgnored) {
  ScriptedUser user;
  bool stayedOpen = false;
  user.Then(TypeFileName(Image()))
      .Then([&](QWidget* touch) {
        QTest::mouseClick(touch, Qt::LeftButton, {}, QPoint(300, 10));
        QTest::mouseClick(touch, Qt::LeftButton, {}, QPoint(10, 200));
        stayedOpen = touch->isVisible() && ColourPicked == 0;
        QTest::keyClick(touch, Qt::Key_Return);
      })
      .Then(TypeFileName(Dir.File("ziel")))
      .WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
  EXPECT_EQ(RunQuorin(), 0);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(ReadFileBytes(Dir.File("ziel.QuorinDaten")), RedRectangleContour());
}

// Every dialog cancelled ends the program at once, writing nothing.
TEST_F(QuorinRun, CancellingAnyDialogEndsTheProgram) {
  const std::string image = Image();
  for (std::size_t cancelAt = 0; cancelAt < 3; ++cancelAt) {
    ScriptedUser user;
    std::vector<ScriptedUser::Step> steps = {TypeFileName(image), PressKey(Qt::Key_Return),
                                             TypeFileName(Dir.File("ziel"))};
    steps[cancelAt] = PressKey(Qt::Key_Escape);
    for (const auto& step : steps) user.Then(step);
    user.WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
    EXPECT_EQ(RunQuorin(), 0) << cancelAt;
    EXPECT_EQ(user.Seen(), std::vector<std::string>(kFullRun.begin(), kFullRun.begin() + cancelAt + 1));
    EXPECT_TRUE(Written().empty()) << cancelAt;
  }
}

TEST_F(QuorinRun, FourBitImageIsRefusedAfterTheColourDialog) {
  ScriptedUser user;
  Bytes bmp = MakeBmp(8, 4, 4, [](int x, int) { return x < 4 ? 0u : 1u; },
                      {RGB(255, 255, 255), RGB(255, 0, 0)});
  user.Then(TypeFileName(Image(bmp))).Then(PressKey(Qt::Key_Return));
  EXPECT_EQ(RunQuorin(), 0);
  EXPECT_EQ(user.Seen(),
            (std::vector<std::string>{
                "open dialog", "IDD_TOUCH",
                "message: Quorinerkennung: Es werden nur True Color oder 256-Farben-Bilder unterstützt"}));
  EXPECT_TRUE(Written().empty());
}

struct TargetCase {
  const char* typed;
  const char* written;
};

TEST_F(QuorinRun, TargetNameGetsTheContourExtensionUnlessItCarriesIt) {
  const TargetCase cases[] = {
      {"ziel", "ziel.QuorinDaten"},
      {"ziel.bmp", "ziel.QuorinDaten"},
      {"ziel.quorindaten", "ziel.quorindaten"},
      {"x.QuorinDaten.alt", "x.QuorinDaten.alt"},
      {"GROSS.QUORINDATEN", "GROSS.QUORINDATEN"},
  };
  const std::string image = Image();
  for (const TargetCase& c : cases) {
    ScriptedUser user;
    user.Then(TypeFileName(image)).Then(PressKey(Qt::Key_Return)).Then(TypeFileName(Dir.File(c.typed)));
    user.WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
    EXPECT_EQ(RunQuorin(), 0) << c.typed;
    EXPECT_EQ(Written(), std::vector<std::string>{c.written}) << c.typed;
    std::filesystem::remove(Dir.File(c.written));
  }
}

TEST_F(QuorinRun, SaveDialogAsksBeforeReplacingAFile) {
  ScriptedUser user;
  WriteFileBytes(Dir.File("alt.QuorinDaten"), Bytes{'x'});
  user.Then(TypeFileName(Image()))
      .Then(PressKey(Qt::Key_Return))
      .Then(TypeFileName(Dir.File("alt.QuorinDaten")))
      .Then([](QWidget* box) { qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click(); })
      .WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
  EXPECT_EQ(RunQuorin(), 0);
  ASSERT_EQ(user.Seen().size(), 5u);
  EXPECT_EQ(user.Seen()[3].rfind("message: ", 0), 0u);
  EXPECT_EQ(ReadFileBytes(Dir.File("alt.QuorinDaten")), RedRectangleContour());
}

TEST_F(QuorinRun, EmptyContourWritesTheFileThenReportsTheGdiError) {
  ScriptedUser user;
  Bytes white = MakeBmp(40, 30, 24, [](int, int) { return RGB(255, 255, 255); });
  user.Then(TypeFileName(Image(white))).Then(PressKey(Qt::Key_Return)).Then(TypeFileName(Dir.File("leer")));
  EXPECT_NE(RunQuorin(), 0);
  EXPECT_EQ(user.Seen(), (std::vector<std::string>{"open dialog", "IDD_TOUCH", "save dialog",
                                                   "message: Quorin: GDI failure"}));
  EXPECT_EQ(ReadFileBytes(Dir.File("leer.QuorinDaten")), ContourFileBytes(40, 30, {}));
}

TEST_F(QuorinRun, UnwritableContourFileIsReportedAndTheWindowStillShown) {
  ScriptedUser user;
  const std::string target = Dir.File("fehlt/ziel");
  user.Then(TypeFileName(Image()))
      .Then(PressKey(Qt::Key_Return))
      .Then(TypeFileName(target))
      .WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
  EXPECT_EQ(RunQuorin(), 0);
  EXPECT_EQ(user.Seen(),
            (std::vector<std::string>{"open dialog", "IDD_TOUCH", "save dialog",
                                      "message: Quorinerkennung: Die Konturdatei konnte nicht "
                                      "geschrieben werden:\n" + target + ".QuorinDaten",
                                      "shaped window"}));
  EXPECT_EQ(Window.region, QRegion(10, 5, 9, 9));
}

// The mask, the polygon buffer or the preview copy cannot be had: the user
// is told, and the program ends without a shaped window.
TEST_F(QuorinRun, MissingMemoryIsReportedAndEndsTheProgram) {
  const std::string image = Image();
  const std::string message =
      "message: Quorinerkennung: Für die Konturerkennung ist nicht genügend Speicher frei.";
  struct Case {
    const char* what;
    int colourDialogFailure;  // the n-th allocation after the colour dialog fails
    int saveDialogFailure;    // the n-th allocation after the save dialog fails
    std::vector<std::string> seen;
  };
  const Case cases[] = {
      {"mask", 1, 0, {"open dialog", "IDD_TOUCH", message}},
      {"polygon", 2, 0, {"open dialog", "IDD_TOUCH", message}},
      {"preview", 0, 1, {"open dialog", "IDD_TOUCH", "save dialog", message}},
  };
  for (const Case& c : cases) {
    ScriptedUser user;
    user.Then(TypeFileName(image)).Then([&c](QWidget* touch) {
      GlobalFailAllocation(c.colourDialogFailure);
      QTest::keyClick(touch, Qt::Key_Return);
    });
    if (c.saveDialogFailure)
      user.Then([&c, this](QWidget* save) {
        GlobalFailAllocation(c.saveDialogFailure);
        TypeFileName(Dir.File("ziel"))(save);
      });
    user.WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
    EXPECT_EQ(RunQuorin(), 0) << c.what;
    EXPECT_EQ(user.Seen(), c.seen) << c.what;
    EXPECT_EQ(GlobalLiveBlocks(), BlocksBefore) << c.what;
    std::filesystem::remove(Dir.File("ziel.QuorinDaten"));
  }
}

// A GIF, TIFF, JPEG, Targa, PCX and Photo CD image each go the whole way,
// the colour confirmed as it stands (white) or clicked at the top-left pixel:
// the contour file carries the image's size and the contour the tracer finds.
TEST_F(QuorinRun, ImagesOfEveryTypeAreTracedIntoTheContourFile) {
  SKIP_WITHOUT_CORPUS();
  struct Case {
    const char* file;  // below the corpus folder
    int width;
    int height;
    bool click;  // click pixel (0, 0), else confirm with Enter
  };
  const Case cases[] = {
      {"gif/pillow/hopper.gif", 128, 128, true},  // 8 bits, colour table
      {"tif/pillow/hopper.tif", 128, 128, false},
      {"jpg/pillow/hopper.jpg", 128, 128, true},
      {"tga/gbm/g24.tga", 127, 64, false},
      {"pcx/generated/rose_24bit_3planes.pcx", 70, 46, true},
      {"pcd/pillow/hopper.pcd", 768, 512, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string image = CorpusDir() + "/" + c.file, target = Dir.File("kontur.QuorinDaten");
    ScriptedUser user;
    user.Then(TypeFileName(image))
        .Then(c.click ? ClickAt(0, 0) : PressKey(Qt::Key_Return))
        .Then(TypeFileName(target))
        .WhenShown(MainWindow, InspectAndClose(Window, Qt::Key_Escape));
    EXPECT_EQ(RunQuorin(), 0);
    EXPECT_EQ(user.Seen(), kFullRun);
    EXPECT_EQ(ColourPicked, c.click ? 1 : 0);
    EXPECT_EQ(Window.geometry.size(), QSize(c.width, c.height));

    std::vector<POINT> expected = TracedContour(image, c.click);
    ASSERT_GT(expected.size(), 0u);
    ContourFile written;
    ASSERT_EQ(ReadContourFile(target.c_str(), written), ContourReadResult::Ok);
    EXPECT_EQ(written.width, c.width);
    EXPECT_EQ(written.height, c.height);
    EXPECT_EQ(written.points.size(), expected.size());
    EXPECT_TRUE(written.points == expected);
    std::filesystem::remove(target);
  }
}
}  // namespace
