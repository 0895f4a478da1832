// Shared helpers of the test programs: temporary folders, file bytes, the
// sample corpus, and small BMP fixtures built in memory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/core/global_memory.h"
#include "platform/core/wintypes.h"

using Bytes = std::vector<std::uint8_t>;

// The shared sample corpus, or "" when it is not beside the checkout.
std::string CorpusDir();
#define SKIP_WITHOUT_CORPUS()                                        \
  do {                                                               \
    if (CorpusDir().empty()) GTEST_SKIP() << "no sample corpus here"; \
  } while (0)

std::string TestDataDir();

// The regular files below dir, in sorted order, whose extension is one of
// extensions in any letter case (".bmp"); every file when extensions is
// empty, none when dir is not a folder.
std::vector<std::filesystem::path> FilesUnder(const std::filesystem::path& dir,
                                              std::initializer_list<const char*> extensions = {});

Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

// A fresh folder under $TMPDIR, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return Dir; }
  std::string File(const std::string& name) const { return Dir + "/" + name; }

 private:
  std::string Dir;
};

// Owns a packed DIB handle from a loader and frees it at the end.
class DibHandle {
 public:
  explicit DibHandle(HGLOBAL h = nullptr) : H(h) {}
  ~DibHandle() { GlobalFree(H); }
  DibHandle(const DibHandle&) = delete;
  DibHandle& operator=(const DibHandle&) = delete;
  HGLOBAL Get() const { return H; }
  explicit operator bool() const { return H != nullptr; }
  const BITMAPINFOHEADER& Header() const;
  // The block's bytes from the pixel rows on.
  const std::uint8_t* Bits() const;
  const RGBQUAD* ColourTable() const;

 private:
  HGLOBAL H;
};

// A pixel of a fixture image: colour-table index or COLORREF.
using PixelFn = std::function<std::uint32_t(int x, int y)>;

// A BMP file with a 40-byte header, bottom-up rows: 24 bits (pixel returns a
// COLORREF) or 1/4/8 bits (pixel returns an index into colours).
Bytes MakeBmp(int width, int height, int bitCount, const PixelFn& pixel,
              const std::vector<COLORREF>& colours = {});

// The same picture as a packed DIB in a new global block (the file's bytes
// after its 14-byte file header).
HGLOBAL MakePackedDib(int width, int height, int bitCount, const PixelFn& pixel,
                      const std::vector<COLORREF>& colours = {});

// The picture used throughout: 300 x 200 white with a red rectangle over
// columns 10..19 and rows 5..14, at 24 bits or as 8 bits with the colour table
// white, red.
Bytes MakeRedRectangleBmp(int bitCount = 24);

// Runs a program to its end and collects its exit status and output.
struct CommandResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};
CommandResult RunCommand(const std::vector<std::string>& argv);

// FNV-1a over bytes, for compact pixel digests in tables.
std::uint64_t Digest(const std::uint8_t* data, std::size_t size);
