// Quorin's file dialogs and its colour dialog on their own.
#include <gtest/gtest.h>

#include <ostream>

#include <QGuiApplication>
#include <QListView>
#include <QScreen>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "quorin_app/file_dialogs.h"
#include "quorin_app/quorin_app.h"
#include "quorin_app/touch_window.h"
#include "tests/support/qt_support.h"
#include "tests/support/test_support.h"

namespace {
const char* const kImageFilter =
    "Bitmap-Dateien|*.bmp;*.gif;*.jpg;*.pcd;*.pcx;*.tga;*.tif;*.wmf|Alle Dateien (*.*)|*.*|";

QString NameField(QWidget* dialog) {
  return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
}

// The names the dialog lists once its folder is read.
std::vector<std::string> Listed(QWidget* dialog) {
  auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
  std::vector<std::string> names;
  for (int wait = 0; wait < 250 && names.empty(); ++wait) {
    QTest::qWait(20);
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
      names.push_back(view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AskForFileName, CancelLeavesTheNameAsItWas) {
  TempDir dir;
  char name[MAX_PATH];
  std::strcpy(name, dir.File("vorher").c_str());
  QString shown;
  ScriptedUser user;
  user.Then([&](QWidget* dialog) {
    shown = NameField(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  EXPECT_FALSE(AskForFileName(nullptr, name, false, "Quorin-Dateien(*.QuorinDaten)|*.QuorinDaten|"));
  EXPECT_EQ(shown, QStringLiteral("vorher"));  // the initial name is offered
  EXPECT_EQ(std::string(name), dir.File("vorher"));
}

TEST(AskForFileName, FailingDialogRunsOnceMoreWithAnEmptyName) {
  TempDir dir;
  // A name the file system takes, but whose path does not fit the buffer.
  const std::string tooLong = dir.File(std::string(250, 'a'));
  ASSERT_GE(tooLong.size(), std::size_t(MAX_PATH));
  QString secondField = QStringLiteral("?");
  ScriptedUser user;
  user.Then(TypeFileName(tooLong)).Then([&](QWidget* dialog) {
    secondField = NameField(dialog);
    TypeFileName(dir.File("kurz"))(dialog);
  });
  char name[MAX_PATH] = "";
  EXPECT_TRUE(AskForFileName(nullptr, name, false, "Alle|*|"));
  EXPECT_EQ(user.Seen(), (std::vector<std::string>{"save dialog", "save dialog"}));
  EXPECT_TRUE(secondField.isEmpty());
  EXPECT_EQ(std::string(name), dir.File("kurz"));
}

TEST(AskForFileName, OpenFilterMatchesAnyLetterCaseAndAllFilesMeansAll) {
  TempDir dir;
  for (const char* file : {"BILD.BMP", "foto.Jpg", "notiz.txt", "ohne"}) WriteFileBytes(dir.File(file), {});
  std::vector<std::string> images, all;
  ScriptedUser user;
  user.Then([&](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    dialog->setDirectory(QString::fromStdString(dir.Path()));
    images = Listed(dialog);
    dialog->selectNameFilter(dialog->nameFilters().at(1));
    all = Listed(dialog);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  char name[MAX_PATH] = "";
  EXPECT_FALSE(AskForFileName(nullptr, name, true, kImageFilter, nullptr, OFN_FILEMUSTEXIST));
  EXPECT_EQ(images, (std::vector<std::string>{"BILD.BMP", "foto.Jpg"}));
  EXPECT_EQ(all, (std::vector<std::string>{"BILD.BMP", "foto.Jpg", "notiz.txt", "ohne"}));
}

struct PickCase {
  const char* name;
  int bitCount;
  std::vector<COLORREF> colours;
  std::vector<QPoint> clicks;
  int result;
  int picked;
  COLORREF colour;
};
void PrintTo(const PickCase& c, std::ostream* os) { *os << c.name; }

class TouchWindowTest : public testing::TestWithParam<PickCase> {};

// Pixel values of the 8-bit images: index 1 in the object, 0 around it.
TEST_P(TouchWindowTest, ClickInsideTheImagePicksItsColour) {
  const PickCase& c = GetParam();
  TQuorinApp app;  // the program's resources
  auto inside = [](int x, int y) { return x >= 10 && x <= 19 && y >= 5 && y <= 14; };
  PixelFn pixel = c.bitCount == 24
                      ? PixelFn([&](int x, int y) { return inside(x, y) ? RGB(200, 10, 20) : RGB(1, 2, 3); })
                      : PixelFn([&](int x, int y) { return inside(x, y) ? 1u : 0u; });
  TDib dib(MakePackedDib(300, 200, c.bitCount, pixel, c.colours), AutoDelete);
  ScriptedUser user;
  user.Then([&c](QWidget* touch) {
    for (QPoint p : c.clicks) QTest::mouseClick(touch, Qt::LeftButton, {}, p);
    if (touch->isVisible()) QTest::keyClick(touch, Qt::Key_Escape);
  });
  TTouchWindow touch(nullptr, &dib);
  EXPECT_EQ(touch.Execute(), c.result);
  EXPECT_EQ(ColourPicked, c.picked);
  if (c.picked) {
    EXPECT_EQ(PickedColour, c.colour);
  }
}

TEST(TouchWindow, CoversTheScreenAndShowsTheImageAtItsCorner) {
  TQuorinApp app;
  TDib dib(MakePackedDib(300, 200, 24, [](int x, int) { return x < 150 ? RGB(255, 0, 0) : RGB(0, 0, 255); }),
           AutoDelete);
  QRect geometry;
  QImage shown;
  Qt::CursorShape cursor = Qt::BlankCursor;
  bool frameless = false;
  ScriptedUser user;
  user.Then([&](QWidget* touch) {
    geometry = touch->geometry();
    shown = touch->grab().toImage();
    cursor = touch->cursor().shape();
    frameless = touch->windowFlags() & Qt::FramelessWindowHint;
    QTest::keyClick(touch, Qt::Key_Escape);
  });
  TTouchWindow touch(nullptr, &dib);
  EXPECT_EQ(touch.Execute(), IDCANCEL);
  EXPECT_EQ(geometry, QGuiApplication::primaryScreen()->geometry());
  EXPECT_TRUE(frameless);
  EXPECT_EQ(cursor, Qt::CrossCursor);
  ASSERT_FALSE(shown.isNull());
  EXPECT_EQ(shown.pixel(0, 0), qRgb(255, 0, 0));
  EXPECT_EQ(shown.pixel(299, 199), qRgb(0, 0, 255));
  EXPECT_NE(shown.pixel(300, 100), qRgb(0, 0, 255));  // beyond the image: the dialog's own background
}

std::vector<COLORREF> Table(int size) {
  std::vector<COLORREF> colours(size, RGB(90, 90, 90));
  colours[0] = RGB(1, 2, 3);
  colours[1] = RGB(200, 10, 20);
  return colours;
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, TouchWindowTest,
    testing::Values(
        PickCase{"RightEdgeColumn", 24, {}, {{299, 0}}, IDOK, 1, RGB(1, 2, 3)},
        PickCase{"LastRow", 24, {}, {{0, 199}}, IDOK, 1, RGB(1, 2, 3)},
        PickCase{"TrueColourObject", 24, {}, {{12, 7}}, IDOK, 1, RGB(200, 10, 20)},
        PickCase{"JustOutsideIsIgnored", 24, {}, {{300, 0}, {0, 200}}, IDCANCEL, 0, 0},
        PickCase{"FullTableEntryOfTheIndex", 8, Table(256), {{12, 7}}, IDOK, 1, RGB(200, 10, 20)},
        PickCase{"ShortTableEntryNearestTheScreen", 8, Table(16), {{12, 7}}, IDOK, 1, RGB(200, 10, 20)}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
