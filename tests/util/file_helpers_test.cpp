#include "util/file_helpers.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "platform/core/lowio.h"
#include "tests/support/file_test_helpers.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

bool RunningAsRoot() { return ::geteuid() == 0; }

Bytes Pattern(std::size_t size, unsigned seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = std::uint8_t((i * 131 + seed) >> 3);
  return b;
}

unsigned Mode(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 07777) : ~0u;
}

ino_t Inode(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// ---- Path splitting and string edits ----

struct SplitCase {
  const char* path;
  const char* dir;
  const char* name;
  const char* ext;
};

TEST(PathSplit, FollowsTheRuntimeRulesWithSlashes) {
  const SplitCase cases[] = {
      {"/a/b/f.txt", "/a/b/", "f", ".txt"},
      {"f.tar.gz", "", "f.tar", ".gz"},
      {"/a.b/c", "/a.b/", "c", ""},
      {"/a/.profile", "/a/", "", ".profile"},
      {"/a/b/", "/a/b/", "", ""},
      {"/", "/", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    SplitPath parts = SplitPathParts(c.path);
    EXPECT_EQ(parts.drive, "");
    EXPECT_EQ(parts.dir, c.dir);
    EXPECT_EQ(parts.name, c.name);
    EXPECT_EQ(parts.ext, c.ext);
    EXPECT_EQ(MakePath(parts), c.path);
  }
}

// Out starts as "unchanged"; expected nullptr means the call returns false.
struct PathCase {
  const char* path;
  const char* expected;
};

void ExpectPathResults(bool (*fn)(const std::string&, std::string&),
                       std::initializer_list<PathCase> cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    std::string out = "unchanged";
    EXPECT_EQ(fn(c.path, out), c.expected != nullptr);
    EXPECT_EQ(out, c.expected ? c.expected : "unchanged");
  }
}

TEST(PathSplit, DirectoryOfNeedsAnAbsolutePath) {
  ExpectPathResults(DirectoryOf, {{"/a/b/f.txt", "/a/b/"},
                                  {"/f.txt", "/"},
                                  {"/a/b/", "/a/b/"},
                                  {"a/f.txt", nullptr},
                                  {"f.txt", nullptr},
                                  {"", nullptr}});
}

TEST(PathSplit, FileNameOfNeedsANameAfterTheLastSlash) {
  ExpectPathResults(FileNameOf, {{"/a/b/f.txt", "f.txt"},
                                 {"f", "f"},
                                 {"/a/.profile", ".profile"},
                                 {"/a/b/", nullptr},
                                 {"", nullptr}});
}

TEST(PathSplit, PathWithoutExtensionNeedsAnAbsolutePath) {
  ExpectPathResults(PathWithoutExtension, {{"/d/pic.gif", "/d/pic"},
                                           {"/d.x/pic", "/d.x/pic"},
                                           {"/d/a.b.c", "/d/a.b"},
                                           {"d/pic.gif", nullptr},
                                           {"", nullptr}});
}

TEST(PathSplit, ReplaceExtension) {
  struct Case {
    const char* path;
    const char* ext;
    const char* expected;
  };
  const Case cases[] = {
      {"/d/pic.gif", "QuorinDaten", "/d/pic.QuorinDaten"},
      {"/d/pic.gif", ".QuorinDaten", "/d/pic.QuorinDaten"},
      {"/d.x/pic", "bmp", "/d.x/pic.bmp"},
      {"a.b.c", "x", "a.b.x"},
      {"", "bmp", "unchanged"},
      {"/d/pic.gif", "", "unchanged"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " + " + c.ext);
    std::string out = "unchanged";
    ReplaceExtension(c.path, out, c.ext);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(PathSplit, ContainsNoCaseFoldsOnlyAsciiLetters) {
  struct Case {
    const char* text;
    const char* part;
    bool expected;
  };
  const Case cases[] = {
      {"/x/Bild.Tif", ".TIF", true},
      {"/x.bmp.old", ".BMP", true},
      {"/x/a.gif", ".TIF", false},
      {"/x/a.ti", ".TIF", false},
      {"/x/\xC4.tif", "\xE4.TIF", false},  // Latin-1 letters are not folded
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.part);
    EXPECT_EQ(ContainsNoCase(c.text, c.part), c.expected);
  }
}

TEST(PathSplit, TrailingSlashes) {
  const std::pair<const char*, const char*> added[] = {
      {"/a//", "/a/"}, {"a", "a/"}, {"/", "/"}, {"", "/"}};
  for (const auto& [in, expected] : added) {
    std::string path = in;
    AddTrailingBackslash(path);
    EXPECT_EQ(path, expected) << in;
  }
  const std::pair<const char*, const char*> normalized[] = {
      {"/a", "a/"}, {"a/", "a/"}, {"//a/b", "/a/b/"}};
  for (const auto& [in, expected] : normalized) {
    std::string path = in;
    EXPECT_TRUE(NormalizeDirectory(path));
    EXPECT_EQ(path, expected) << in;
  }
  std::string empty;
  EXPECT_FALSE(NormalizeDirectory(empty));
  EXPECT_EQ(empty, "");
}

TEST(CharacterEdits, WorkInPlaceAndOnCopies) {
  std::string text = "\"/a b/c\"";
  RemoveChar(text, text, '"');
  EXPECT_EQ(text, "/a b/c");
  std::string out;
  ReplaceChar(text, out, '/', '\\');
  EXPECT_EQ(out, "\\a b\\c");
  ReplaceChar(text, text, ' ', '_');
  EXPECT_EQ(text, "/a_b/c");

  EXPECT_EQ(CountCarriageReturns("one\r\ntwo\r\rthree"), 3);
  EXPECT_EQ(CountCarriageReturns("no breaks\n"), 0);
  FirstLine("one\r\ntwo", out);
  EXPECT_EQ(out, "one");
  FirstLine("single", out);
  EXPECT_EQ(out, "single");
  FirstLine("\rlead", out);
  EXPECT_EQ(out, "");
}

// ---- Files and directories ----

class FileHelpers : public ::testing::Test {
 protected:
  TempDir Temp;
  std::string P(const std::string& name) const { return Temp.File(name); }
};

TEST_F(FileHelpers, FileExistsForFilesAndDirectories) {
  WriteFileBytes(P("f"), {1});
  EXPECT_TRUE(FileExists(P("f").c_str()));
  EXPECT_TRUE(FileExists(Temp.Path().c_str()));
  EXPECT_FALSE(FileExists(P("missing").c_str()));
  EXPECT_FALSE(FileExists(nullptr));
}

TEST_F(FileHelpers, CreatePathToMakesEveryDirectoryBeforeTheLastSlash) {
  ASSERT_TRUE(CreatePathTo(P("a/b/f.txt")));
  EXPECT_TRUE(fs::is_directory(P("a/b")));
  EXPECT_FALSE(fs::exists(P("a/b/f.txt")));

  ASSERT_TRUE(CreatePathTo(P("a/c//d/")));
  EXPECT_TRUE(fs::is_directory(P("a/c/d")));

  EXPECT_TRUE(CreatePathTo("/"));
  EXPECT_TRUE(CreatePathTo(""));
}

TEST_F(FileHelpers, CreatePathToWorksOnRelativePaths) {
  TChangeToPath into(nullptr, Temp.Path().c_str());
  ASSERT_TRUE(CreatePathTo("rel/sub/f"));
  EXPECT_TRUE(fs::is_directory(P("rel/sub")));
}

TEST_F(FileHelpers, CreatePathToTakesAFileAsAnExistingPrefix) {
  WriteFileBytes(P("file"), {1});
  EXPECT_TRUE(CreatePathTo(P("file/x")));   // nothing to create
  EXPECT_FALSE(CreatePathTo(P("file/sub/x")));  // cannot make a directory in a file
}

TEST_F(FileHelpers, CreatePathToStopsAtADirectoryItCannotMake) {
  if (RunningAsRoot()) GTEST_SKIP() << "permissions do not bind root";
  fs::create_directory(P("ro"));
  fs::permissions(P("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(CreatePathTo(P("ro/a/b/f")));
  EXPECT_FALSE(fs::exists(P("ro/a")));
}

TEST_F(FileHelpers, CreatePathToRefusesPathsOfMaxPathCharacters) {
  // Components of 50 characters keep every name within the file system's limit.
  std::string path = Temp.Path();
  while (path.size() + 51 < 259) path += "/" + std::string(50, 'd');
  std::string longest = path + "/" + std::string(259 - path.size() - 1, 'f');
  ASSERT_EQ(longest.size(), 259u);
  EXPECT_TRUE(CreatePathTo(longest));
  EXPECT_TRUE(fs::is_directory(path));

  std::string tooLong = path + "/x/" + std::string(260 - path.size() - 3, 'f');
  ASSERT_EQ(tooLong.size(), 260u);
  EXPECT_FALSE(CreatePathTo(tooLong));
  EXPECT_FALSE(fs::exists(path + "/x"));
}

// ---- Copying ----

class CopyOneFileTest : public FileHelpers {
 protected:
  const Bytes SourceBytes = Pattern(300000, 7);
  const Bytes OldTarget = Pattern(1000, 99);

  void MakeSource(fs::perms mode = fs::perms(0640)) {
    WriteFileBytes(P("src"), SourceBytes);
    fs::permissions(P("src"), mode);
    fs::last_write_time(P("src"), fs::last_write_time(P("src")) - std::chrono::hours(50) +
                                      std::chrono::nanoseconds(123456789));
  }
  // The old target must be intact and no temporary file left anywhere.
  void ExpectOldTargetKept(const std::string& dir, const std::string& target) {
    EXPECT_EQ(ReadFileBytes(target), OldTarget);
    EXPECT_EQ(Entries(dir), std::vector<std::string>{fs::path(target).filename().string()});
  }
};

TEST_F(CopyOneFileTest, CopiesContentsModeAndModificationTime) {
  MakeSource();
  ASSERT_TRUE(CopyOneFile(P("src").c_str(), P("dst").c_str(), false));
  EXPECT_EQ(ReadFileBytes(P("dst")), SourceBytes);
  EXPECT_EQ(Mode(P("dst")), 0640u);
  EXPECT_EQ(fs::last_write_time(P("dst")), fs::last_write_time(P("src")));
  EXPECT_EQ(Entries(Temp.Path()), (std::vector<std::string>{"dst", "src"}));
}

TEST_F(CopyOneFileTest, OverwritesALongerTarget) {
  WriteFileBytes(P("src"), {1, 2, 3});
  WriteFileBytes(P("dst"), Pattern(5000, 1));
  ASSERT_TRUE(CopyOneFile(P("src").c_str(), P("dst").c_str(), false));
  EXPECT_EQ(ReadFileBytes(P("dst")), (Bytes{1, 2, 3}));
}

TEST_F(CopyOneFileTest, CopiesAnEmptyFile) {
  WriteFileBytes(P("src"), {});
  WriteFileBytes(P("dst"), OldTarget);
  ASSERT_TRUE(CopyOneFile(P("src").c_str(), P("dst").c_str(), false));
  EXPECT_TRUE(ReadFileBytes(P("dst")).empty());
}

TEST_F(CopyOneFileTest, ResetAttributesLeavesTheTargetWritableByItsOwner) {
  MakeSource(fs::perms(0444));
  ASSERT_TRUE(CopyOneFile(P("src").c_str(), P("kept").c_str(), false));
  EXPECT_EQ(Mode(P("kept")), 0444u);
  ASSERT_TRUE(CopyOneFile(P("src").c_str(), P("reset").c_str(), true));
  EXPECT_EQ(Mode(P("reset")), 0644u);
}

TEST_F(CopyOneFileTest, NamesDifferingInCaseAreDifferentFiles) {
  MakeSource();
  WriteFileBytes(P("SRC"), OldTarget);
  ASSERT_TRUE(CopyOneFile(P("src").c_str(), P("SRC").c_str(), false));
  EXPECT_EQ(ReadFileBytes(P("SRC")), SourceBytes);
}

TEST_F(CopyOneFileTest, SameFileSucceedsWithoutCopying) {
  MakeSource();
  fs::create_hard_link(P("src"), P("link"));
  ino_t inode = Inode(P("src"));
  const std::string same[] = {P("src"), Temp.Path() + "/./src", P("link")};
  for (const auto& target : same) {
    SCOPED_TRACE(target);
    EXPECT_TRUE(CopyOneFile(P("src").c_str(), target.c_str(), true));
    EXPECT_EQ(Inode(P("src")), inode);  // a copy would have renamed a new file in
    EXPECT_EQ(ReadFileBytes(P("src")), SourceBytes);
  }
  EXPECT_EQ(Entries(Temp.Path()), (std::vector<std::string>{"link", "src"}));
}

TEST_F(CopyOneFileTest, MissingOrUnusableSourceFails) {
  WriteFileBytes(P("dst"), OldTarget);
  fs::create_directory(P("dir"));
  EXPECT_FALSE(CopyOneFile(P("missing").c_str(), P("dst").c_str(), false));
  EXPECT_FALSE(CopyOneFile(P("dir").c_str(), P("dst").c_str(), false));
  EXPECT_FALSE(CopyOneFile(nullptr, P("dst").c_str(), false));
  EXPECT_FALSE(CopyOneFile(P("dst").c_str(), nullptr, false));
  fs::remove(P("dir"));
  ExpectOldTargetKept(Temp.Path(), P("dst"));
}

TEST_F(CopyOneFileTest, FailureInAReadOnlyDirectoryKeepsTheOldTarget) {
  if (RunningAsRoot()) GTEST_SKIP() << "permissions do not bind root";
  MakeSource();
  fs::create_directory(P("out"));
  WriteFileBytes(P("out/dst"), OldTarget);
  fs::permissions(P("out"), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(CopyOneFile(P("src").c_str(), P("out/dst").c_str(), false));
  ExpectOldTargetKept(P("out"), P("out/dst"));
}

// Limits the size of files this process may write, so that a copy fails
// half-way also for root.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &Old);
    OldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Old;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Old);
    ::signal(SIGXFSZ, OldHandler);
  }

 private:
  rlimit Old;
  sighandler_t OldHandler;
};

TEST_F(CopyOneFileTest, FailureHalfWayKeepsTheOldTarget) {
  MakeSource();
  fs::create_directory(P("out"));
  WriteFileBytes(P("out/dst"), OldTarget);
  fs::permissions(P("out/dst"), fs::perms(0444));
  bool copied;
  {
    FileSizeLimit limit(SourceBytes.size() / 2);
    copied = CopyOneFile(P("src").c_str(), P("out/dst").c_str(), true);
  }
  EXPECT_FALSE(copied);
  ExpectOldTargetKept(P("out"), P("out/dst"));
  EXPECT_EQ(Mode(P("out/dst")), 0644u);  // attributes are reset even so
}

TEST_F(CopyOneFileTest, ADirectoryInTheTargetsPlaceStays) {
  MakeSource();
  fs::create_directories(P("out/dst"));
  EXPECT_FALSE(CopyOneFile(P("src").c_str(), P("out/dst").c_str(), false));
  EXPECT_TRUE(fs::is_directory(P("out/dst")));
  EXPECT_EQ(Entries(P("out")), std::vector<std::string>{"dst"});
}

TEST_F(FileHelpers, CopyBytesMovesExactlyCountBytes) {
  const Bytes data = Pattern(200000, 3);
  WriteFileBytes(P("in"), data);
  TFileHandle in(_open(P("in").c_str(), _O_RDONLY));
  TFileHandle out(_open(P("out").c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC));
  ASSERT_TRUE(in.IsOpen() && out.IsOpen());
  ASSERT_EQ(_lseek(in.Get(), 10, 0), 10);
  ASSERT_TRUE(CopyBytes(in.Get(), out.Get(), 150000));  // several buffer loads
  EXPECT_EQ(_lseek(in.Get(), 0, 1), 150010);  // handles stay open where the copy ended
  EXPECT_TRUE(CopyBytes(in.Get(), out.Get(), 0));
  EXPECT_FALSE(CopyBytes(in.Get(), out.Get(), -1));
  EXPECT_FALSE(CopyBytes(in.Get(), out.Get(), 50000));  // only 39990 bytes are left
  EXPECT_EQ(ReadFileBytes(P("out")), Bytes(data.begin() + 10, data.begin() + 150010));
}

// ---- Program directory, unique and temporary names ----

TEST(ProgramFiles, ModuleDirectoryHoldsTheRunningProgram) {
  std::string dir = "stale";
  EXPECT_EQ(&ModuleDirectory(dir), &dir);
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.front(), '/');
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(fs::exists(dir + "test_util"));
}

TEST(ProgramFiles, UniqueFileNameSkipsExistingNames) {
  std::string dir;
  ModuleDirectory(dir);
  const std::string prefix = "unique-name-" + std::to_string(::getpid()) + "-";
  std::string name;
  UniqueFileName(name, prefix, ".tmp");
  EXPECT_EQ(name, dir + prefix + "0.tmp");
  WriteFileBytes(name, {});
  if (!fs::exists(name)) GTEST_SKIP() << "the program's directory is not writable";
  WriteFileBytes(dir + prefix + "1.tmp", {});
  std::string next;
  UniqueFileName(next, prefix, ".tmp");
  EXPECT_EQ(next, dir + prefix + "2.tmp");
  fs::remove(name);
  fs::remove(dir + prefix + "1.tmp");
}

TEST(ProgramFiles, TempFileNameCreatesTheFileInTheTemporaryDirectory) {
  TempDir temp;
  ScopedEnv env("TMPDIR", temp.Path());
  std::string a, b;
  ASSERT_NE(TempFileName(a, "qt"), 0);
  ASSERT_NE(TempFileName(b, "qt"), 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.rfind(temp.Path() + "/qt", 0), 0u) << a;
  EXPECT_TRUE(fs::is_regular_file(a));
  EXPECT_EQ(Entries(temp.Path()).size(), 2u);
}

TEST(ProgramFiles, TempFileNameFallsBackWhenTheTemporaryDirectoryIsMissing) {
  std::string name = "unchanged";
  {
    ScopedEnv env("TMPDIR", std::string("/nonexistent/quorin-tmp"));
    ASSERT_NE(TempFileName(name, "qt"), 0);
  }
  EXPECT_EQ(name.rfind("/tmp/qt", 0), 0u) << name;
  EXPECT_TRUE(fs::is_regular_file(name));
  fs::remove(name);
}

// ---- Working directory scope ----

TEST_F(FileHelpers, ChangeToPathRestoresTheWorkingDirectory) {
  const fs::path start = fs::current_path();
  fs::create_directories(P("sub"));
  {
    TChangeToPath change(nullptr, (P("sub") + "//").c_str());
    EXPECT_EQ(fs::current_path(), fs::canonical(P("sub")));
  }
  EXPECT_EQ(fs::current_path(), start);
  {
    TChangeToPath change(Temp.Path().c_str(), P("sub").c_str());
    EXPECT_EQ(fs::current_path(), fs::canonical(P("sub")));
  }
  EXPECT_EQ(fs::current_path(), fs::canonical(Temp.Path()));
  fs::current_path(start);
  {
    TChangeToPath change(nullptr, "");
    EXPECT_EQ(fs::current_path(), start);
  }
  {
    TChangeToPath change(nullptr, "/");
    EXPECT_EQ(fs::current_path(), fs::path("/"));
  }
  EXPECT_EQ(fs::current_path(), start);
}

}  // namespace
