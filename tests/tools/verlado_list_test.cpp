// verlado-list run as a real process, with its list on stdin where it makes one.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace {
CommandResult List(const std::vector<std::string>& args, const std::string& input = "") {
  TempDir scratch;
  WriteFileBytes(scratch.File("in"), Bytes(input.begin(), input.end()));
  std::string command = std::string(VERLADO_LIST);
  for (const auto& a : args) command += " '" + a + "'";
  return RunCommand({"/bin/sh", "-c", command + " < '" + scratch.File("in") + "'"});
}

TEST(VerladoList, MakeAndShowRoundTripTheListAsStored) {
  TempDir dir;
  const std::string pairs = "/a b/x\t /t/x \r\n\n/src\t/dst\n";
  ASSERT_EQ(List({"make", dir.File("l"), "--flag", "200"}, pairs).status, 0);
  Bytes stored = ReadFileBytes(dir.File("l"));
  EXPECT_EQ(Bytes(stored.begin(), stored.begin() + 4), (Bytes{2, 0, 0, 0}));
  CommandResult shown = List({"show", dir.File("l")});
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "/a b/x\t /t/x \t200\n/src\t/dst\t200\n");
}

TEST(VerladoList, RunReportsCleanWarningsAndErrorsByExitStatus) {
  TempDir dir;
  WriteFileBytes(dir.File("s"), Bytes{'x'});
  const std::string s = dir.File("s");
  struct Case {
    std::string pairs;
    int status;
    std::string err;
  } cases[] = {
      {s + "\t" + dir.File("o/t") + "\n", 0, ""},
      {s + "\t" + dir.File("o/t") + "\n" + dir.File("gone") + "\t" + dir.File("o/g") + "\n", 1,
       "Kann Datei nicht finden:\n" + dir.File("gone") + "\n"},
      {s + "\t" + s + "/sub/t\n", 2, "Fehler bei Pfaderzeugung:\n"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(List({"make", dir.File("l")}, c.pairs).status, 0);
    CommandResult r = List({"run", dir.File("l")});
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
  }
  EXPECT_EQ(ReadFileBytes(dir.File("o/t")), Bytes{'x'});
}

TEST(VerladoList, RefusesBadUsageAndDamagedLists) {
  TempDir dir;
  WriteFileBytes(dir.File("damaged"), Bytes{9, 0, 0, 0});
  EXPECT_EQ(List({"make", dir.File("l")}, "no tab here\n").status, 2);
  EXPECT_EQ(List({"make", dir.File("l"), "--flag", "256"}).status, 2);
  EXPECT_EQ(List({"frob", dir.File("l")}).status, 2);
  EXPECT_EQ(List({"show", dir.File("damaged")}).status, 1);
  CommandResult r = List({"run", dir.File("damaged")});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Die Kopierliste ist beschädigt:\n" + dir.File("damaged")), std::string::npos);
  EXPECT_EQ(List({"make", dir.File("missing/l")}, "a\tb\n").status, 3);
}
}  // namespace
