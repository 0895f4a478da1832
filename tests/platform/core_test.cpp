#include <gtest/gtest.h>

#include <filesystem>

#include "platform/core/atomic_file.h"
#include "platform/core/dib.h"
#include "platform/core/global_memory.h"
#include "tests/support/test_support.h"

namespace {
TEST(GlobalMemory, CountsLocksZeroFillsAndReportsTheAskedSize) {
  const std::size_t before = GlobalLiveBlocks();
  HGLOBAL block = GlobalAlloc(GHND, 10);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalLiveBlocks(), before + 1);
  EXPECT_EQ(GlobalSize(block), 10u);
  auto* p = static_cast<BYTE*>(GlobalLock(block));
  EXPECT_EQ(GlobalLock(block), p);
  EXPECT_EQ(Bytes(p, p + 10), Bytes(10, 0));
  EXPECT_TRUE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_FALSE(GlobalUnlock(block));  // never below zero
  EXPECT_EQ(GlobalFree(block), nullptr);
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

TEST(GlobalMemory, InjectedFailureHitsExactlyTheNthAllocation) {
  GlobalFailAllocation(2);
  HGLOBAL first = GlobalAlloc(GHND, 1);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(GlobalAlloc(GHND, 1), nullptr);
  HGLOBAL third = GlobalAlloc(GHND, 1);
  EXPECT_NE(third, nullptr);
  GlobalFree(first);
  GlobalFree(third);
}

TEST(TDib, CopyOwnsItsBlockAndTheOriginalGoesWithAutoDelete) {
  const std::size_t before = GlobalLiveBlocks();
  {
    TDib original(MakePackedDib(2, 2, 8, [](int x, int) { return std::uint32_t(x); },
                                {RGB(1, 2, 3), RGB(4, 5, 6)}),
                  AutoDelete);
    TDib copy(original);
    ASSERT_TRUE(copy.IsOK());
    EXPECT_NE(copy.GetHandle(), original.GetHandle());
    EXPECT_EQ(copy.NumColors(), 2u);
    EXPECT_EQ(copy.GetColors()[1].rgbRed, 4);
    EXPECT_EQ(copy.GetBits() - reinterpret_cast<const BYTE*>(copy.GetInfo()), 48);
    EXPECT_EQ(GlobalLiveBlocks(), before + 2);
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}

TEST(TDib, ABlockTooSmallForAHeaderIsNotOk) {
  HGLOBAL tiny = GlobalAlloc(GHND, 39);
  EXPECT_FALSE(TDib(tiny, AutoDelete).IsOK());
  EXPECT_FALSE(TDib(nullptr, AutoDelete).IsOK());
}

TEST(TPalette, NearestEntryPrefersTheLowestIndexOnATie) {
  const PALETTEENTRY entries[] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {200, 0, 0, 0}, {200, 0, 0, 0}};
  TPalette palette(entries, 4);
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(250, 10, 10)), 2u);
  EXPECT_EQ(palette.GetNearestPaletteIndex(RGB(250, 250, 240)), 1u);
  PALETTEENTRY out[4];
  EXPECT_EQ(palette.GetPaletteEntries(3, 5, out), 1u);
  EXPECT_EQ(palette.GetPaletteEntries(4, 1, out), 0u);
}

TEST(AtomicFile, ReplacesTheTargetOnlyWhenCommitted) {
  TempDir dir;
  const std::string target = dir.File("t");
  WriteFileBytes(target, Bytes{'o', 'l', 'd'});
  {
    TAtomicFile abandoned(target);
    abandoned.Write("new", 3);
  }  // never committed
  EXPECT_EQ(ReadFileBytes(target), (Bytes{'o', 'l', 'd'}));
  {
    TAtomicFile failed(target);
    failed.Write("new", 3);
    failed.MarkFailed();
    EXPECT_FALSE(failed.Commit());
  }
  EXPECT_EQ(ReadFileBytes(target), (Bytes{'o', 'l', 'd'}));
  TAtomicFile good(target);
  good.Write("new", 3);
  EXPECT_TRUE(good.Commit());
  EXPECT_EQ(ReadFileBytes(target), (Bytes{'n', 'e', 'w'}));
  // Nothing but the target is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}
}  // namespace
