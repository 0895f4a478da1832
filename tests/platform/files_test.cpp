#include "platform/core/files.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/file_test_helpers.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {

class CopyFileTest : public ::testing::Test {
 protected:
  TempDir Temp;
  std::string P(const std::string& name) const { return Temp.File(name); }
};

TEST_F(CopyFileTest, FailIfExistsKeepsTheTarget) {
  WriteFileBytes(P("src"), {1, 2});
  WriteFileBytes(P("dst"), {9});
  EXPECT_FALSE(CopyFileA(P("src").c_str(), P("dst").c_str(), TRUE));
  EXPECT_EQ(ReadFileBytes(P("dst")), Bytes{9});
  EXPECT_TRUE(CopyFileA(P("src").c_str(), P("new").c_str(), TRUE));
  EXPECT_EQ(ReadFileBytes(P("new")), (Bytes{1, 2}));
  EXPECT_EQ(Entries(Temp.Path()), (std::vector<std::string>{"dst", "new", "src"}));
}

TEST_F(CopyFileTest, RefusesToCopyAFileOntoItself) {
  const Bytes data = {1, 2, 3, 4};
  WriteFileBytes(P("src"), data);
  fs::create_hard_link(P("src"), P("link"));
  fs::create_symlink(P("src"), P("symlink"));
  for (const char* target : {"src", "link", "symlink"}) {
    SCOPED_TRACE(target);
    EXPECT_FALSE(CopyFileA(P("src").c_str(), P(target).c_str(), FALSE));
    EXPECT_EQ(ReadFileBytes(P("src")), data);
  }
  EXPECT_EQ(Entries(Temp.Path()), (std::vector<std::string>{"link", "src", "symlink"}));
}

// Files under /proc report size 0 and leave the kernel copy nothing to do;
// their contents must come through all the same.
TEST_F(CopyFileTest, CopiesFilesWhoseSizeTheKernelDoesNotKnow) {
  ASSERT_TRUE(CopyFileA("/proc/self/status", P("status").c_str(), FALSE));
  Bytes copied = ReadFileBytes(P("status"));
  std::string text(copied.begin(), copied.end());
  EXPECT_NE(text.find("Name:"), std::string::npos);
}

// Between different file system types the kernel declines to copy and the
// data goes through a buffer, here in several loads.
TEST_F(CopyFileTest, CopiesAcrossFileSystems) {
  if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no /dev/shm";
  Bytes data(3 * 1024 * 1024 + 17);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = std::uint8_t(i * 7 + (i >> 12));
  const std::string source = "/dev/shm/quorin-copy-" + std::to_string(::getpid());
  WriteFileBytes(source, data);
  BOOL copied = CopyFileA(source.c_str(), P("dst").c_str(), FALSE);
  fs::remove(source);
  ASSERT_TRUE(copied);
  EXPECT_EQ(ReadFileBytes(P("dst")), data);
}

TEST_F(CopyFileTest, CopiesIntoTheWorkingDirectoryForABareName) {
  WriteFileBytes(P("src"), {5});
  fs::path start = fs::current_path();
  fs::current_path(Temp.Path());
  BOOL copied = CopyFileA("src", "bare", FALSE);
  fs::current_path(start);
  EXPECT_TRUE(copied);
  EXPECT_EQ(ReadFileBytes(P("bare")), Bytes{5});
}

TEST_F(CopyFileTest, MissingTargetDirectoryFails) {
  WriteFileBytes(P("src"), {5});
  EXPECT_FALSE(CopyFileA(P("src").c_str(), P("none/dst").c_str(), FALSE));
  EXPECT_FALSE(CopyFileA(P("src").c_str(), "", FALSE));
}

TEST_F(CopyFileTest, SetFileOwnerWritableKeepsOtherBits) {
  WriteFileBytes(P("f"), {1});
  fs::permissions(P("f"), fs::perms(0455));
  ASSERT_TRUE(SetFileOwnerWritable(P("f").c_str()));
  EXPECT_EQ(fs::status(P("f")).permissions(), fs::perms(0655));
  EXPECT_FALSE(SetFileOwnerWritable(P("missing").c_str()));
  EXPECT_FALSE(SetFileOwnerWritable(nullptr));
}

TEST(DiskCapacity, UsesTheNearestExistingAncestor) {
  TempDir temp;
  struct statvfs info;
  ASSERT_EQ(::statvfs(temp.Path().c_str(), &info), 0);
  const std::uint64_t capacity = std::uint64_t(info.f_blocks) * info.f_frsize;
  ASSERT_GT(capacity, 0u);
  WriteFileBytes(temp.File("file"), {1});

  EXPECT_EQ(GetDiskCapacity(temp.Path().c_str()), capacity);
  EXPECT_EQ(GetDiskCapacity(temp.File("no/such/dir/").c_str()), capacity);
  EXPECT_EQ(GetDiskCapacity(temp.File("file/below").c_str()), capacity);

  fs::path start = fs::current_path();
  fs::current_path(temp.Path());
  std::uint64_t relative = GetDiskCapacity("no/such/target");
  std::uint64_t empty = GetDiskCapacity("");
  fs::current_path(start);
  EXPECT_EQ(relative, capacity);
  EXPECT_EQ(empty, capacity);
}

TEST(ModuleFile, NamesTheRunningProgram) {
  char buffer[MAX_PATH];
  DWORD length = GetModuleFileName(buffer, MAX_PATH);
  ASSERT_GT(length, 0u);
  std::string path(buffer);
  EXPECT_EQ(path.size(), length);
  EXPECT_EQ(fs::path(path).filename(), "test_platform");
  EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));

  char small[4] = "abc";
  EXPECT_EQ(GetModuleFileName(small, sizeof small), 0u);
  EXPECT_EQ(small[0], '\0');
}

TEST(TempFiles, TempPathFollowsTmpdir) {
  char buffer[MAX_PATH];
  {
    ScopedEnv env("TMPDIR", std::string("/var/tmp"));
    EXPECT_EQ(GetTempPath(MAX_PATH, buffer), 9u);
    EXPECT_STREQ(buffer, "/var/tmp/");
    EXPECT_EQ(GetTempPath(5, buffer), 0u);
  }
  for (auto unset : {std::optional<std::string>(""), std::optional<std::string>()}) {
    ScopedEnv env("TMPDIR", unset);
    GetTempPath(MAX_PATH, buffer);
    EXPECT_STREQ(buffer, "/tmp/");
  }
}

TEST(TempFiles, TempFileNameCreatesNewFiles) {
  TempDir temp;
  char a[MAX_PATH], b[MAX_PATH];
  ASSERT_NE(GetTempFileName(temp.Path().c_str(), "pre", a), 0u);
  ASSERT_NE(GetTempFileName((temp.Path() + "/").c_str(), "pre", b), 0u);
  EXPECT_STRNE(a, b);
  EXPECT_EQ(std::string(a).rfind(temp.File("pre"), 0), 0u) << a;
  EXPECT_EQ(Entries(temp.Path()).size(), 2u);

  EXPECT_EQ(GetTempFileName(temp.File("missing").c_str(), "pre", a), 0u);
  EXPECT_STREQ(a, "");
  EXPECT_EQ(GetTempFileName(std::string(300, 'd').c_str(), "pre", a), 0u);
}

TEST(WorkingDirectory, GetcwdNeedsRoomForTheTerminator) {
  std::string cwd = fs::current_path().string();
  std::vector<char> buffer(cwd.size() + 1);
  EXPECT_EQ(_getcwd(buffer.data(), int(cwd.size())), nullptr);
  ASSERT_NE(_getcwd(buffer.data(), int(buffer.size())), nullptr);
  EXPECT_EQ(cwd, buffer.data());
}

}  // namespace
