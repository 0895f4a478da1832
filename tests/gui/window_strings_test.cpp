// A window's text as a byte string.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <string>

#include "tests/support/qt_support.h"
#include "util/window_strings.h"

namespace {
TEST(WindowStrings, TextGoesInAndComesBackWhole) {
  QLineEdit line;
  QPlainTextEdit text;
  QWidget window;
  const std::string path = "/home/jürgen/" + std::string(300, 'x');
  const std::string lines = "Kopf!\r\nKann Datei nicht öffnen:\r\n/tmp/a\r\n";
  struct Case {
    QWidget* window;
    std::string text;
  };
  for (const Case& c : {Case{&line, path}, Case{&text, lines}, Case{&window, "Verlado Version 1.0"}}) {
    EXPECT_TRUE(SetWindowString(c.text, c.window));
    std::string out = "alt";
    GetWindowString(out, c.window);
    EXPECT_EQ(out, c.text);
  }
  // A text is set up to its first NUL, as C strings are.
  SetWindowString(std::string("vor\0nach", 8), &line);
  EXPECT_EQ(line.text(), QStringLiteral("vor"));
  std::string out = "alt";
  GetWindowString(out, nullptr);
  EXPECT_EQ(out, "");
  EXPECT_FALSE(SetWindowString("x", nullptr));
}

TEST(WindowStrings, EmptyTextClearsTheComboBox) {
  QComboBox combo;
  combo.setEditable(true);
  combo.addItems({QStringLiteral("eins"), QStringLiteral("zwei")});
  SetComboString("drei", &combo);
  EXPECT_EQ(combo.currentText(), QStringLiteral("drei"));
  SetComboString("", &combo);
  EXPECT_EQ(combo.currentText(), QString());
  std::string out;
  GetWindowString(out, &combo);
  EXPECT_EQ(out, "");
}
}  // namespace
