#include "tests/support/test_support.h"

#include "tests/support/byte_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <strings.h>
#include <sys/wait.h>

namespace fs = std::filesystem;

std::string CorpusDir() {
  std::string dir = QUORIN_CORPUS_DIR;
  return fs::is_directory(dir) ? dir : std::string();
}

std::string TestDataDir() { return QUORIN_TEST_DATA_DIR; }

std::vector<fs::path> FilesUnder(const fs::path& dir, std::initializer_list<const char*> extensions) {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    std::string ext = entry.path().extension().string();
    auto wanted = [&ext](const char* e) { return strcasecmp(ext.c_str(), e) == 0; };
    if (entry.is_regular_file() &&
        (extensions.size() == 0 || std::any_of(extensions.begin(), extensions.end(), wanted)))
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quorin-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  Dir = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them removable first.
  for (auto& entry : fs::recursive_directory_iterator(Dir, ignored))
    fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(Dir, ignored);
}

const BITMAPINFOHEADER& DibHandle::Header() const {
  auto* block = static_cast<const BITMAPINFOHEADER*>(GlobalLock(H));
  GlobalUnlock(H);
  return *block;
}

const RGBQUAD* DibHandle::ColourTable() const {
  auto* base = reinterpret_cast<const std::uint8_t*>(&Header());
  return reinterpret_cast<const RGBQUAD*>(base + 40 +
                                          (Header().biCompression == BI_BITFIELDS ? 12 : 0));
}

const std::uint8_t* DibHandle::Bits() const {
  return reinterpret_cast<const std::uint8_t*>(ColourTable()) + Header().biClrUsed * 4;
}

Bytes MakeBmp(int width, int height, int bitCount, const PixelFn& pixel,
              const std::vector<COLORREF>& colours) {
  std::size_t stride = ((std::size_t(width) * bitCount + 31) / 32) * 4;
  std::size_t offBits = 54 + colours.size() * 4;
  Bytes b(offBits + stride * height, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, std::uint32_t(b.size()));
  Put32(b, 10, std::uint32_t(offBits));
  Put32(b, 14, 40);
  Put32(b, 18, std::uint32_t(width));
  Put32(b, 22, std::uint32_t(height));
  Put16(b, 26, 1);
  Put16(b, 28, std::uint32_t(bitCount));
  Put32(b, 34, std::uint32_t(stride * height));
  Put32(b, 46, std::uint32_t(colours.size()));
  for (std::size_t i = 0; i < colours.size(); ++i) {
    b[54 + i * 4] = GetBValue(colours[i]);
    b[55 + i * 4] = GetGValue(colours[i]);
    b[56 + i * 4] = GetRValue(colours[i]);
  }
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = &b[offBits + stride * std::size_t(height - 1 - y)];
    for (int x = 0; x < width; ++x) {
      std::uint32_t v = pixel(x, y);
      if (bitCount == 24) {
        row[x * 3] = GetBValue(v);
        row[x * 3 + 1] = GetGValue(v);
        row[x * 3 + 2] = GetRValue(v);
      } else if (bitCount == 8) {
        row[x] = std::uint8_t(v);
      } else {
        int perByte = 8 / bitCount;
        int shift = 8 - bitCount * (x % perByte + 1);
        row[x / perByte] |= std::uint8_t(v << shift);
      }
    }
  }
  return b;
}

HGLOBAL MakePackedDib(int width, int height, int bitCount, const PixelFn& pixel,
                      const std::vector<COLORREF>& colours) {
  Bytes file = MakeBmp(width, height, bitCount, pixel, colours);
  HGLOBAL block = GlobalAlloc(GHND, file.size() - 14);
  std::memcpy(GlobalLock(block), file.data() + 14, file.size() - 14);
  GlobalUnlock(block);
  return block;
}

Bytes MakeRedRectangleBmp(int bitCount) {
  auto inside = [](int x, int y) { return x >= 10 && x <= 19 && y >= 5 && y <= 14; };
  if (bitCount == 24)
    return MakeBmp(300, 200, 24, [&](int x, int y) {
      return inside(x, y) ? RGB(255, 0, 0) : RGB(255, 255, 255);
    });
  return MakeBmp(300, 200, bitCount, [&](int x, int y) { return inside(x, y) ? 1u : 0u; },
                 {RGB(255, 255, 255), RGB(255, 0, 0)});
}

CommandResult RunCommand(const std::vector<std::string>& argv) {
  TempDir scratch;
  const std::string outPath = scratch.File("out"), errPath = scratch.File("err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT, 0600);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  CommandResult result;
  pid_t pid;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  Bytes out = ReadFileBytes(outPath), err = ReadFileBytes(errPath);
  result.out.assign(out.begin(), out.end());
  result.err.assign(err.begin(), err.end());
  return result;
}

std::uint64_t Digest(const std::uint8_t* data, std::size_t size) {
  std::uint64_t h = 1469598103934665603ull;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}
