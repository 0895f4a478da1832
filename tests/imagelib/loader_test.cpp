#include "imagelib/loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"

namespace {
TEST(IsImageFile, LooksAtTheLastExtensionOnly) {
  const std::pair<const char*, int> cases[] = {
      {"a.bmp", 1}, {"A.BMP", 1}, {"x/p.Tif", 1}, {"p.jpg", 1}, {"p.wmf", 1}, {"p.emf", 1},
      {"p.pcd", 1}, {"p.jpeg", 0}, {"p.tiff", 0}, {"p.bmp.old", 0}, {"noext", 0}, {"", 0},
  };
  for (auto [path, expected] : cases) EXPECT_EQ(IsImageFile(path), expected) << path;
  EXPECT_EQ(IsImageFile(nullptr), 0);
}

// Dispatch is a substring test over the whole path, first match in a fixed
// order; a BMP file under various names shows which reader was picked.
TEST(LoadImageFile, PicksTheReaderByTheFirstTypeTextInThePath) {
  TempDir dir;
  std::filesystem::create_directory(dir.File("in.bmp"));
  const Bytes bmp = MakeBmp(2, 2, 24, [](int, int) { return RGB(1, 2, 3); });
  const std::pair<std::string, bool> cases[] = {
      {"picture.bmp", true},   {"PICTURE.BMP", true}, {"picture.Bmp", true},
      {"x.bmp.gif", true},     {"x.dib", true},       {"in.bmp/file.gif", true},
      {"photo.jpeg", false},   {"plain", false},
  };
  for (const auto& [name, loads] : cases) {
    WriteFileBytes(dir.File(name), bmp);
    DibHandle dib(LoadImageFile(dir.File(name).c_str()));
    EXPECT_EQ(bool(dib), loads) << name;
  }
  EXPECT_EQ(LoadImageFile(nullptr), nullptr);
  EXPECT_EQ(LoadImageFile(""), nullptr);
}

TEST(LoadImageFile, FailureLeavesNoBlockBehind) {
  TempDir dir;
  WriteFileBytes(dir.File("bad.bmp"), Bytes{'B', 'M', 1, 2});
  const std::size_t before = GlobalLiveBlocks();
  EXPECT_EQ(LoadImageFile(dir.File("bad.bmp").c_str()), nullptr);
  EXPECT_EQ(LoadImageFile(dir.File("missing.bmp").c_str()), nullptr);
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

TEST(LoadImageFile, HandsOverTheBlockUnlocked) {
  TempDir dir;
  WriteFileBytes(dir.File("p.bmp"), MakeRedRectangleBmp());
  DibHandle dib(LoadImageFile(dir.File("p.bmp").c_str()));
  ASSERT_TRUE(dib);
  EXPECT_EQ(GlobalLockCount(dib.Get()), 0u);
  EXPECT_EQ(dib.Header().biWidth, 300);
  EXPECT_EQ(dib.Header().biBitCount, 24);
}
}  // namespace

namespace {
// Each type reaches its reader through the loader.
TEST(LoadImageFile, EveryFormatReachesItsReader) {
  SKIP_WITHOUT_CORPUS();
  const std::pair<const char*, int> cases[] = {
      {"bmp/pillow/hopper.bmp", 128}, {"gif/pillow/hopper.gif", 128},
      {"tif/pillow/hopper.tif", 128}, {"jpg/pillow/hopper.jpg", 128},
      {"tga/gbm/g24.tga", 127}, {"pcx/generated/rose_24bit_3planes.pcx", 70},
      {"pcd/pillow/hopper.pcd", 768},
  };
  for (auto [file, width] : cases) {
    DibHandle dib(LoadImageFile((CorpusDir() + "/" + file).c_str()));
    ASSERT_TRUE(dib) << file;
    EXPECT_EQ(dib.Header().biWidth, width) << file;
  }
}
}  // namespace
