// quorin-cli as scripts use it: run the real program, check its output,
// files and exit status.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace {
CommandResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), QUORIN_CLI);
  return RunCommand(args);
}

class QuorinCli : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(Image(), MakeRedRectangleBmp());
    WriteFileBytes(dir.File("rect8.bmp"), MakeRedRectangleBmp(8));
  }
  std::string Image() const { return dir.File("rect.bmp"); }
  TempDir dir;
};

TEST_F(QuorinCli, TracesTheRectangleOrItsSurroundDependingOnTheKey) {
  struct Case {
    std::vector<std::string> keyArgs;
    std::string image;
    int points;
  } cases[] = {
      {{}, "rect.bmp", 36},
      {{"--key", "#ff0000"}, "rect.bmp", 996},
      {{"--key", "255,0,0"}, "rect8.bmp", 996},
      {{"--pick", "15,10"}, "rect.bmp", 996},
      {{"--pick", "15,10"}, "rect8.bmp", 996},
      {{"--pick", "0,0"}, "rect8.bmp", 36},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"trace", dir.File(c.image), "-o", dir.File("out")};
    args.insert(args.end(), c.keyArgs.begin(), c.keyArgs.end());
    CommandResult r = Cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "points=" + std::to_string(c.points) + "\nfile=" +
                         dir.File("out.QuorinDaten") + "\n");
    EXPECT_EQ(ReadFileBytes(dir.File("out.QuorinDaten")).size(), 14u + 8u * c.points);
  }
}

TEST_F(QuorinCli, TargetDefaultsToTheImageNameWithTheContourExtension) {
  CommandResult r = Cli({"trace", Image()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("rect.QuorinDaten")));
  r = Cli({"trace", Image(), "-o", dir.File("keep.quorindaten.v2")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(dir.File("keep.quorindaten.v2")));
}

TEST_F(QuorinCli, ShowPrintsThePolygonAndWritesSvg) {
  ASSERT_EQ(Cli({"trace", Image(), "-o", dir.File("c")}).status, 0);
  CommandResult r = Cli({"show", dir.File("c.QuorinDaten"), "--svg", dir.File("c.svg")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 48), "width=300\nheight=200\ncount=36\n10 5\n11 5\n12 5\n13 ");
  Bytes svg = ReadFileBytes(dir.File("c.svg"));
  std::string text(svg.begin(), svg.end());
  EXPECT_NE(text.find("width=\"300\" height=\"200\""), std::string::npos);
  EXPECT_NE(text.find("d=\"M10 5 L11 5"), std::string::npos);
}

TEST_F(QuorinCli, AllKeyImageWritesAnEmptyFileAndWarns) {
  WriteFileBytes(dir.File("white.bmp"),
                 MakeBmp(5, 5, 24, [](int, int) { return RGB(255, 255, 255); }));
  CommandResult r = Cli({"trace", dir.File("white.bmp")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 9), "points=0\n");
  EXPECT_NE(r.err.find("no contour"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(dir.File("white.QuorinDaten")).size(), 14u);
}

TEST_F(QuorinCli, ExitStatusSaysWhatWentWrong) {
  WriteFileBytes(dir.File("four.bmp"), MakeBmp(4, 4, 4, [](int, int) { return 1u; },
                                               std::vector<COLORREF>(16, RGB(255, 0, 0))));
  WriteFileBytes(dir.File("junk.QuorinDaten"), Bytes{'Q', 'U', 'O', 'R', 'I', 'N', 1, 0, 1, 0, 9, 0, 0, 0});
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string errPart;
  } cases[] = {
      {{}, 2, "usage"},
      {{"trace"}, 2, "usage"},
      {{"trace", Image(), "--key", "red"}, 2, "bad colour"},
      {{"trace", Image(), "--key", "#ff0000", "--pick", "1,1"}, 2, "usage"},
      {{"frobnicate", Image()}, 2, "usage"},
      {{"info", dir.File("missing.bmp")}, 1, "missing.bmp"},
      {{"trace", dir.File("four.bmp")}, 1, "Es werden nur True Color oder 256-Farben-Bilder unterstützt"},
      {{"trace", Image(), "--pick", "300,0"}, 1, "outside"},
      {{"show", dir.File("junk.QuorinDaten")}, 1, "shorter than its point count"},
      {{"show", Image()}, 1, "QUORIN"},
      {{"trace", Image(), "-o", dir.File("no/such/dir/x")}, 3, "no/such/dir/x.QuorinDaten"},
      {{"decode", Image(), dir.File("no/such/dir/x.bmp")}, 3, "x.bmp"},
  };
  for (const Case& c : cases) {
    CommandResult r = Cli(c.args);
    EXPECT_EQ(r.status, c.status) << (c.args.empty() ? "" : c.args[0]) << ": " << r.err;
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
  }
}

TEST_F(QuorinCli, InfoAndDecodeDescribeThePackedDib) {
  CommandResult r = Cli({"info", Image()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "width=300\nheight=200\nbitcount=24\ncompression=0\nclrused=0\nsizeimage=180000\n"
            "xppm=2953\nyppm=2953\n");
  r = Cli({"decode", dir.File("rect8.bmp"), dir.File("d.bmp")});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes written = ReadFileBytes(dir.File("d.bmp"));
  ASSERT_EQ(written.size(), 14u + 40 + 2 * 4 + 300 * 200);
  // bfOffBits points at the rows behind the two-entry table, so other
  // programs read the file right.
  EXPECT_EQ(written[10] | written[11] << 8, 54 + 2 * 4);
}
}  // namespace
