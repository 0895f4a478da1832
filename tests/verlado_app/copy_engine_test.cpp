#include "verlado_app/copy_engine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/core/files.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {
Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Records the progress calls; can request cancel at a given call.
class RecordingManager : public TCopyManager {
 public:
  std::vector<int> Indices;
  int CancelAtCall = 0;
  void Progress(int index, int count, const std::string&, const std::string&) override {
    Indices.push_back(index);
    EXPECT_EQ(count, int(CopyList.size()));
    if (int(Indices.size()) == CancelAtCall) CancelRequested = true;
  }
};

class CopyEngine : public ::testing::Test {
 protected:
  std::string P(const std::string& name) const { return dir.File(name); }
  void Source(const std::string& name, const std::string& text) { WriteFileBytes(P(name), Text(text)); }
  // Writes the list and loads it into the engine.
  bool Load(const std::vector<TCopyInfo>& entries) {
    EXPECT_TRUE(WriteCopyListFile(P("list").c_str(), entries));
    return manager.ReadCopyList(P("list").c_str());
  }
  TempDir dir;
  RecordingManager manager;
};

TEST_F(CopyEngine, EmptyListRunsCleanly) {
  ASSERT_TRUE(Load({}));
  EXPECT_TRUE(manager.Run());
  EXPECT_TRUE(manager.Messages.empty());
}

TEST_F(CopyEngine, BlanksAreTrimmedAndOnlyExactDuplicatesMerge) {
  ASSERT_TRUE(Load({{"/a", "/b", 1}, {"  /a ", " /b", 2}, {"/A", "/b", 3}, {"\t/a", "/b", 4}}));
  ASSERT_EQ(manager.CopyList.size(), 3u);
  EXPECT_EQ(manager.CopyList[0]->Flag, 1);  // the first occurrence keeps its flag
  EXPECT_EQ(manager.CopyList[1]->Source, "/A");  // names are case-sensitive
  EXPECT_EQ(manager.CopyList[2]->Source, "\t/a");  // only blanks are trimmed
}

TEST_F(CopyEngine, CopiesIntoNewFoldersAndTheIndexJumpsOverSkippedEntries) {
  Source("one", "1");
  Source("two", "22");
  ASSERT_TRUE(Load({{P("one"), P("out/x/one"), 0},
                    {P("two"), P("two"), 0},  // source equals target: skipped silently
                    {P("two"), P("out/two"), 0},
                    {P("one"), "", 0}, {P("one"), P("out/y/one"), 0}}));
  EXPECT_TRUE(manager.Run());
  EXPECT_TRUE(manager.Messages.empty());
  EXPECT_EQ(manager.Indices, (std::vector<int>{1, 3, 5}));
  EXPECT_EQ(ReadFileBytes(P("out/x/one")), Text("1"));
  EXPECT_EQ(ReadFileBytes(P("out/two")), Text("22"));
  EXPECT_EQ(ReadFileBytes(P("out/y/one")), Text("1"));
}

TEST_F(CopyEngine, MissingSourcesAreWarningsAndTheRunGoesOn) {
  Source("one", "1");
  ASSERT_TRUE(Load({{P("gone"), P("t1"), 0}, {P("one"), P("t2"), 0}}));
  EXPECT_TRUE(manager.Run());
  EXPECT_EQ(manager.Messages, (std::vector<std::string>{"Kann Datei nicht finden:\r\n" + P("gone")}));
  EXPECT_EQ(ReadFileBytes(P("t2")), Text("1"));
}

TEST_F(CopyEngine, ErrorsEndTheRunWithTheirMessage) {
  Source("one", "1");
  Source("file", "I am a file");
  fs::create_directory(P("folder"));
  WriteFileBytes(P("kept"), Text("old"));
  const std::string tooLong = "/" + std::string(300, 'x') + "/t";
  struct Case {
    std::vector<TCopyInfo> list;
    std::string message;
  } cases[] = {
      {{{P("one"), P("file/sub/t"), 0}},
       "Fehler bei Pfaderzeugung:\r\n" + P("file/sub/") + "\r\nVorgang abgebrochen!"},
      {{{P("one"), tooLong, 0}},
       "Fehler bei Pfaderzeugung:\r\n/" + std::string(300, 'x') + "/\r\nVorgang abgebrochen!"},
      // A folder cannot be copied; the old target stays as it was.
      {{{P("folder"), P("kept"), 0}}, "Kann Datei nicht kopieren:\r\n" + P("kept") + "\r\nVorgang abgebrochen!"},
  };
  for (const Case& c : cases) {
    RecordingManager m;
    m.CheckSpace = false;
    ASSERT_TRUE(WriteCopyListFile(P("list").c_str(), c.list));
    ASSERT_TRUE(m.ReadCopyList(P("list").c_str()));
    EXPECT_FALSE(m.Run());
    EXPECT_EQ(m.Messages, std::vector<std::string>{c.message});
  }
  EXPECT_EQ(ReadFileBytes(P("kept")), Text("old"));
}

TEST_F(CopyEngine, FailedCopyIntoAReadOnlyFolderKeepsTheOldTarget) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Source("one", "new");
  fs::create_directory(P("ro"));
  WriteFileBytes(P("ro/t"), Text("old"));
  fs::permissions(P("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  ASSERT_TRUE(Load({{P("one"), P("ro/t"), 0}}));
  EXPECT_FALSE(manager.Run());
  EXPECT_EQ(ReadFileBytes(P("ro/t")), Text("old"));
}

TEST_F(CopyEngine, CancelStopsBeforeTheNextFile) {
  Source("one", "1");
  ASSERT_TRUE(Load({{P("one"), P("t1"), 0}, {P("gone"), P("t0"), 0}, {P("one"), P("t2"), 0}}));
  manager.CancelAtCall = 1;
  EXPECT_FALSE(manager.Run());
  EXPECT_TRUE(fs::exists(P("t1")));
  EXPECT_FALSE(fs::exists(P("t2")));
  EXPECT_EQ(manager.Messages, (std::vector<std::string>{"Kann Datei nicht finden:\r\n" + P("gone"),
                                                        "Kopiervorgang abgebrochen!"}));
}

TEST_F(CopyEngine, SourcesLargerThanTheTargetFileSystemStopTheRunBeforeAnyCopy) {
  // A sparse file can claim more bytes than the whole file system holds.
  const std::uint64_t capacity = GetDiskCapacity(dir.Path().c_str());
  ASSERT_GT(capacity, 0u);
  Source("small", "s");
  Source("big", "");
  fs::resize_file(P("big"), capacity);
  // The entry with an empty target still counts against the first target's
  // file system.
  ASSERT_TRUE(Load({{P("small"), P("out/small"), 0}, {P("gone"), P("out/g"), 0}, {P("big"), "", 0}}));
  EXPECT_FALSE(manager.Run());
  EXPECT_FALSE(fs::exists(P("out")));
  EXPECT_EQ(manager.Messages,
            (std::vector<std::string>{"Kann Datei nicht finden:\r\n" + P("gone"),
                                      "Nicht genug Speicherkapazität auf dem Ziellaufwerk!"}));
}

TEST_F(CopyEngine, UnreadableOrDamagedListsAreReportedAndCopyNothing) {
  fs::create_directory(P("a-folder"));
  Bytes good = {1, 0, 0, 0, 1, 0, 'a', 1, 0, 'b', 7};
  const std::pair<Bytes, std::string> damaged[] = {
      {Bytes(good.begin(), good.end() - 1), "Die Kopierliste ist beschädigt:\r\n"},
      {Bytes{0x10, 0, 0, 0, 1, 0}, "Die Kopierliste ist beschädigt:\r\n"},
      {Bytes{1, 0}, "Die Kopierliste ist beschädigt:\r\n"},
  };
  for (const auto& [bytes, header] : damaged) {
    WriteFileBytes(P("list"), bytes);
    TCopyManager m;
    EXPECT_FALSE(m.ReadCopyList(P("list").c_str()));
    EXPECT_TRUE(m.CopyList.empty());
    EXPECT_EQ(m.Messages, std::vector<std::string>{header + P("list")});
  }
  TCopyManager m;
  EXPECT_FALSE(m.ReadCopyList(P("a-folder").c_str()));
  EXPECT_EQ(m.Messages, std::vector<std::string>{"Kann Datei nicht öffnen:\r\n" + P("a-folder")});
  WriteFileBytes(P("list"), good);
  std::vector<TCopyInfo> raw;
  ASSERT_EQ(ReadCopyListEntries(P("list").c_str(), raw), CopyListResult::Ok);
  EXPECT_EQ(raw[0].Flag, 7);
}
}  // namespace
