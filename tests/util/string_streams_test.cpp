#include "util/string_streams.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/core/lowio.h"
#include "tests/support/test_support.h"

namespace {
// A scratch file opened for reading and writing, rewound on demand.
class Scratch {
 public:
  Scratch() : file(_open(dir.File("s").c_str(), _O_RDWR | _O_CREAT | _O_TRUNC)) {}
  int Fd() const { return file.Get(); }
  Bytes Contents() const { return ReadFileBytes(dir.File("s")); }
  void Rewind() const { _lseek(file.Get(), 0, SEEK_SET); }

 private:
  TempDir dir;
  TFileHandle file;
};

TEST(StoredString, WritesLengthThenBytesUpToTheFirstNul) {
  const std::pair<std::string, Bytes> cases[] = {
      {"", {0, 0}},
      {"ab", {2, 0, 'a', 'b'}},
      {std::string("ab\0cd", 5), {2, 0, 'a', 'b'}},
  };
  for (const auto& [text, stored] : cases) {
    Scratch s;
    WriteString(text, s.Fd());
    EXPECT_EQ(s.Contents(), stored);
  }
  Scratch s;
  EXPECT_EQ(WriteString(std::string(65536, 'x'), s.Fd()), -1);
  EXPECT_TRUE(s.Contents().empty());
}

TEST(StoredString, ReadConsumesTheWholeLengthAndStopsTheTextAtNul) {
  Scratch s;
  Bytes stored = {5, 0, 'a', 'b', 0, 'c', 'd', 0, 0, 2, 0, 'x'};
  _write(s.Fd(), stored.data(), stored.size());
  s.Rewind();
  std::string out;
  EXPECT_TRUE(ReadString(out, s.Fd()));
  EXPECT_EQ(out, "ab");
  EXPECT_TRUE(ReadString(out, s.Fd()));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(ReadString(out, s.Fd()));  // announces 2 bytes, holds 1
  EXPECT_FALSE(ReadString(out, s.Fd()));  // nothing left
}

TEST(StoredString, MemoryFormReadsLikeTheHandleForm) {
  const Bytes stored = {5, 0, 'a', 'b', 0, 'c', 'd', 0, 0, 2, 0, 'x'};
  ByteCursor in(stored.data(), stored.size());
  std::string out;
  EXPECT_TRUE(ReadString(out, in));
  EXPECT_EQ(out, "ab");
  EXPECT_TRUE(ReadString(out, in));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(ReadString(out, in));
  EXPECT_EQ(out, "x");  // what there was of it
}

TEST(StoredString, StreamFormsMatchTheHandleForms) {
  TempDir dir;
  std::FILE* f = std::fopen(dir.File("c").c_str(), "w+b");
  ASSERT_NE(f, nullptr);
  WriteStreamString("hallo", f);
  WriteStreamString("", f);
  std::rewind(f);
  std::string a, b;
  EXPECT_TRUE(ReadStreamString(a, f));
  EXPECT_TRUE(ReadStreamString(b, f));
  EXPECT_EQ(a, "hallo");
  EXPECT_EQ(b, "");
  std::fclose(f);
  EXPECT_EQ(ReadFileBytes(dir.File("c")), (Bytes{5, 0, 'h', 'a', 'l', 'l', 'o', 0, 0}));
  WriteStreamString("x", nullptr);  // nothing, no crash
}

TEST(Records, RoundTripInLittleEndian) {
  Scratch s;
  WriteLong(-2, s.Fd());
  WritePair({1, 2}, s.Fd());
  WriteRect({1, 2, 3, 0x01020304}, s.Fd());
  Bytes all = s.Contents();
  ASSERT_EQ(all.size(), 4u + 8 + 16);
  EXPECT_EQ(Bytes(all.begin(), all.begin() + 4), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(all.end() - 4, all.end()), (Bytes{4, 3, 2, 1}));
  s.Rewind();
  LONG l;
  TLongPair p;
  RECT r;
  ReadLong(l, s.Fd());
  ReadPair(p, s.Fd());
  ReadRect(r, s.Fd());
  EXPECT_EQ(l, -2);
  EXPECT_EQ(p.second, 2);
  EXPECT_EQ(r.bottom, 0x01020304);
}

TEST(Records, FontRecordStores82BytesAndReadsMemoryFieldsAsZero) {
  TFontRecord in;
  in.Flags = 0x11;
  in.Error = 7;
  in.DC = 9;
  in.Weight = 700;
  in.Italic = 1;
  std::snprintf(in.FaceName, sizeof in.FaceName, "MS Sans Serif");
  in.Style = 5;
  in.FontType = 0x2001;
  in.SizeMax = 72;
  Scratch s;
  EXPECT_EQ(WriteFontRecord(in, s.Fd()), 82);
  Bytes stored = s.Contents();
  ASSERT_EQ(stored.size(), 82u);
  EXPECT_EQ(stored[0], 0x11);
  // Flags, five integers, eight bytes, the face name, point size and colour,
  // then the 16-bit font type: nothing between them.
  EXPECT_EQ(stored[24], 1);
  EXPECT_EQ(stored[32], 'M');
  EXPECT_EQ(stored[72], 0x01);
  EXPECT_EQ(stored[73], 0x20);
  EXPECT_EQ(stored[78], 72);
  s.Rewind();
  TFontRecord out;
  out.Error = out.DC = out.Style = 99;
  EXPECT_EQ(ReadFontRecord(out, s.Fd()), 82);
  EXPECT_EQ(out.Error, 0u);
  EXPECT_EQ(out.DC, 0u);
  EXPECT_EQ(out.Style, 0u);
  EXPECT_EQ(out.Weight, 700);
  EXPECT_STREQ(out.FaceName, "MS Sans Serif");
  EXPECT_EQ(out.FontType, 0x2001);
  EXPECT_EQ(out.SizeMax, 72);
}

TEST(BitmapFile, RoundTripsAPackedDibAndRefusesBrokenFiles) {
  HGLOBAL dib = MakePackedDib(3, 2, 24, [](int x, int y) { return RGB(BYTE(x), BYTE(y), 9); });
  Scratch s;
  EXPECT_TRUE(WriteBitmapFile(s.Fd(), &dib));
  EXPECT_FALSE(WriteBitmapFile(s.Fd(), nullptr));
  s.Rewind();
  DibHandle back(ReadBitmapFile(s.Fd()));
  ASSERT_TRUE(back);
  ASSERT_EQ(GlobalSize(back.Get()), GlobalSize(dib));
  EXPECT_EQ(std::memcmp(GlobalLock(back.Get()), GlobalLock(dib), GlobalSize(dib)), 0);
  GlobalUnlock(back.Get());
  GlobalUnlock(dib);
  GlobalFree(dib);

  const std::size_t before = GlobalLiveBlocks();
  Bytes file = s.Contents();
  for (Bytes broken : {Bytes(file.begin(), file.end() - 1), Bytes{'B', 'A', 0, 0}, Bytes{}}) {
    Scratch t;
    _write(t.Fd(), broken.data(), broken.size());
    t.Rewind();
    EXPECT_EQ(ReadBitmapFile(t.Fd()), nullptr) << broken.size();
  }
  EXPECT_EQ(GlobalLiveBlocks(), before);
}
}  // namespace
