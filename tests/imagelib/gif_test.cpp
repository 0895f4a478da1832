#include "imagelib/gif.h"

#include <filesystem>
#include <map>

#include "tests/support/gif_builder.h"
#include "tests/support/imagemagick.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

namespace {
std::vector<COLORREF> Palette(int n, int salt = 0) {
  std::vector<COLORREF> table;
  for (int i = 0; i < n; ++i)
    table.push_back(RGB(BYTE(i * 37 + salt), BYTE(255 - i + salt), BYTE(i * 11 + 3 * salt)));
  return table;
}

int Load(TGIF& gif, const Bytes& bytes) {
  static TempDir dir;
  std::string path = dir.File("image.gif");
  WriteFileBytes(path, bytes);
  return gif.Load(path.c_str());
}

// The DIB's pixels as indices, rows top to bottom.
Bytes ScreenIndices(const TGIF& gif) {
  Bytes out;
  DWORD stride = RowStride(gif.Width, gif.BitCount);
  for (LONG y = 0; y < gif.Height; ++y) {
    const BYTE* row = gif.Bits + std::size_t(gif.Height - 1 - y) * stride;
    for (DWORD x = 0; x < gif.Width; ++x) {
      if (gif.BitCount == 8) out.push_back(row[x]);
      else if (gif.BitCount == 4) out.push_back((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
      else out.push_back((row[x / 8] >> (7 - x % 8)) & 1);
    }
  }
  return out;
}

COLORREF TableEntry(const TGIF& gif, int i) {
  const RGBQUAD& q = gif.Palette[i];
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

void ExpectTable(const TGIF& gif, const std::vector<COLORREF>& table) {
  ASSERT_EQ(gif.Header->biClrUsed, DWORD(gif.Colors));
  for (int i = 0; i < gif.Colors; ++i)
    EXPECT_EQ(TableEntry(gif, i), i < int(table.size()) ? table[i] : 0u) << "entry " << i;
}

GifImage FullImage(int width, int height, int colours, unsigned seed = 1) {
  GifImage image;
  image.width = width;
  image.height = height;
  image.indices = PatternIndices(width, height, colours, seed);
  return image;
}

// A valid file with extensions, a local table, interlacing and a second image.
Bytes RichFile() {
  GifImage first = FullImage(13, 9, 4);
  first.interlaced = true;
  first.localTable = Palette(4, 9);
  return GifBuilder(13, 9, Palette(16))
      .GraphicControl(0x05, 7, 2)
      .Comment("made here")
      .Loop(3)
      .Image(first)
      .Image(FullImage(13, 9, 16, 2))
      .Build();
}
}  // namespace

TEST(GifScreen, SizeFieldChoosesBitCountAndTheTableIsAlwaysFull) {
  const int kBitCount[] = {1, 4, 4, 4, 8, 8, 8, 8};
  for (int field = 0; field < 8; ++field) {
    SCOPED_TRACE(field);
    int entries = 2 << field;
    GifImage image = FullImage(11, 3, entries);
    TGIF gif;
    ASSERT_EQ(Load(gif, GifBuilder(11, 3, Palette(entries), field).Image(image).Build()), kOk);
    EXPECT_EQ(gif.Header->biBitCount, kBitCount[field]);
    EXPECT_EQ(gif.Colors, 1 << kBitCount[field]);
    EXPECT_EQ(gif.Header->biWidth, 11);
    EXPECT_EQ(gif.Header->biHeight, 3);
    ExpectTable(gif, Palette(entries));  // e.g. entries 8..15 of a 4-bit DIB stay black
    EXPECT_EQ(ScreenIndices(gif), image.indices);
  }
}

struct PlacementCase {
  const char* name;
  int screenWidth, screenHeight, sizeField;
  int left, top, width, height;
  bool interlaced;
  DWORD frameLeft, frameHeight;
};

// Uncovered pixels stay index 0 (the background index here is 1); 1- and
// 4-bit DIBs move the image's left edge to a byte boundary; images reaching
// beyond the screen are clipped.
TEST(GifPlacement, ImageLandsAtItsPlaceOnTheScreen) {
  const PlacementCase kCases[] = {
      {"inside, 8 bits", 20, 10, 7, 3, 2, 5, 4, false, 3, 4},
      {"left 5 at 4 bits moves to 4", 20, 6, 3, 5, 1, 6, 3, false, 4, 3},
      {"left 13 at 1 bit moves to 8", 40, 6, 0, 13, 2, 11, 2, false, 8, 2},
      {"odd width at 4 bits", 7, 2, 2, 0, 0, 5, 2, false, 0, 2},
      {"clipped right and bottom", 10, 8, 7, 6, 5, 8, 6, false, 6, 3},
      {"clipped right at 1 bit", 12, 4, 0, 0, 1, 30, 3, false, 0, 3},
      {"clipped right at 4 bits", 9, 4, 3, 2, 0, 30, 4, false, 2, 4},
      {"interlaced, clipped at the bottom", 12, 7, 7, 0, 2, 12, 10, true, 0, 5},
  };
  for (const PlacementCase& c : kCases) {
    SCOPED_TRACE(c.name);
    int colours = 2 << c.sizeField;
    GifImage image = FullImage(c.width, c.height, colours);
    image.left = c.left;
    image.top = c.top;
    image.interlaced = c.interlaced;
    Bytes file = GifBuilder(c.screenWidth, c.screenHeight, Palette(colours), c.sizeField)
                     .Background(1)
                     .Image(image)
                     .Build();
    TGIF gif;
    ASSERT_EQ(Load(gif, file), kOk);

    Bytes expected(std::size_t(c.screenWidth) * c.screenHeight, 0);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        int sx = int(c.frameLeft) + x, sy = c.top + y;
        if (sx < c.screenWidth && sy < c.screenHeight)
          expected[std::size_t(sy) * c.screenWidth + sx] = image.indices[y * c.width + x];
      }
    EXPECT_EQ(ScreenIndices(gif), expected);
    EXPECT_EQ(gif.Frame.FrameLeft, c.frameLeft);
    EXPECT_EQ(gif.Frame.FrameTop, DWORD(c.top));
    EXPECT_EQ(gif.Frame.FrameWidth, DWORD(c.width));
    EXPECT_EQ(gif.Frame.FrameHeight, c.frameHeight);
    EXPECT_EQ(gif.Frame.StoredLeft, DWORD(c.left));
    EXPECT_EQ(gif.Frame.Interlaced, c.interlaced ? 0x40 : 0);
  }
}

TEST(GifPlacement, InterlacedRowsArriveInPassOrder) {
  // Height 10: rows are sent as 0, 8, 4, 2, 6, 1, 3, 5, 7, 9.
  const int kSent[] = {0, 8, 4, 2, 6, 1, 3, 5, 7, 9};
  Bytes stream, rows;
  for (int row : kSent) stream.insert(stream.end(), 3, std::uint8_t(row));
  for (int row = 0; row < 10; ++row) rows.insert(rows.end(), 3, std::uint8_t(row));
  GifImage image;
  image.width = 3;
  image.height = 10;
  image.interlaced = true;
  image.minCodeSize = 4;
  image.codeStream = LzwEncode(stream, 4);
  TGIF gif;
  ASSERT_EQ(Load(gif, GifBuilder(3, 10, Palette(16)).Image(image).Build()), kOk);
  EXPECT_EQ(ScreenIndices(gif), rows);
}

TEST(GifColourTables, TheDibTakesTheTableOfTheImageRead) {
  GifImage plain = FullImage(6, 4, 4);
  GifImage local = plain;
  local.localTable = Palette(4, 50);
  struct {
    const char* name;
    Bytes file;
    std::vector<COLORREF> table;
  } kCases[] = {
      {"global only", GifBuilder(6, 4, Palette(4)).Image(plain).Build(), Palette(4)},
      {"local over global", GifBuilder(6, 4, Palette(4)).Image(local).Build(), Palette(4, 50)},
      {"local without global", GifBuilder(6, 4, {}, 1).Image(local).Build(), Palette(4, 50)},
  };
  for (auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TGIF gif;
    ASSERT_EQ(Load(gif, c.file), kOk);
    ExpectTable(gif, c.table);
    EXPECT_EQ(ScreenIndices(gif), plain.indices);
  }
}

TEST(GifImages, ImageIndexAndSequentialReadingPickLaterImages) {
  GifImage second = FullImage(5, 3, 4, 7);
  second.localTable = Palette(4, 20);
  GifImage first = FullImage(5, 3, 4);
  Bytes file = GifBuilder(5, 3, Palette(4)).Image(first).Comment("x").Image(second).Build();

  TGIF byDefault;
  ASSERT_EQ(Load(byDefault, file), kOk);
  EXPECT_EQ(ScreenIndices(byDefault), first.indices);
  ExpectTable(byDefault, Palette(4));
  EXPECT_EQ(byDefault.Comment, "");  // blocks after the wanted image are not read

  TGIF later;
  later.ImageIndex = 1;
  ASSERT_EQ(Load(later, file), kOk);
  EXPECT_EQ(ScreenIndices(later), second.indices);
  ExpectTable(later, Palette(4, 20));
  EXPECT_EQ(later.ImagesRead, 1);

  TGIF missing;
  missing.ImageIndex = 2;
  EXPECT_EQ(Load(missing, file), kErrGifNoImage);

  TGIF sequential;
  sequential.Sequential = 1;
  ASSERT_EQ(Load(sequential, file), kOk);
  EXPECT_EQ(ScreenIndices(sequential), first.indices);
  ASSERT_EQ(Load(sequential, file), kOk);
  EXPECT_EQ(ScreenIndices(sequential), second.indices);
  EXPECT_EQ(sequential.ImageIndex, 2);
  EXPECT_EQ(Load(sequential, file), kErrGifNoImage);
}

TEST(GifExtensions, GraphicControlLoopCountAndCommentsLandInMembers) {
  Bytes file = GifBuilder(4, 2, Palette(4))
                   .Extension(0x01, {Bytes(12, 'p'), {'t'}})  // plain text: skipped
                   .Extension(0xFF, {{'X', 'M', 'P', ' ', 'D', 'a', 't', 'a', 'X', 'M', 'P'},
                                     {3, 1, 9, 9}})
                   .Loop(513)
                   .Comment("Hello, ")
                   .Extension(0xFE, {{'w', 'o', 'r'}, {'l', 'd', 0, 'Z'}})
                   .GraphicControl(0x0F, 25, 2)
                   .Image(FullImage(4, 2, 4))
                   .Build();
  TGIF gif;
  ASSERT_EQ(Load(gif, file), kOk);
  EXPECT_EQ(gif.LoopCount, 513);
  EXPECT_EQ(gif.Comment, "Hello, world");  // each sub-block ends at a zero byte
  EXPECT_EQ(gif.Frame.Transparent, 1);
  EXPECT_EQ(gif.Frame.UserInput, 2);
  EXPECT_EQ(gif.Frame.Disposal, 3);
  EXPECT_EQ(gif.Frame.Delay, 250u);
  EXPECT_EQ(gif.Frame.TransparentIndex, 2u);
  EXPECT_EQ(gif.Frame.TransparentColor, Palette(4)[2]);
  EXPECT_EQ(gif.BackgroundColor, Palette(4)[0]);

  TGIF zeroLoops;
  zeroLoops.LoopCount = 77;
  ASSERT_EQ(Load(zeroLoops, GifBuilder(4, 2, Palette(4)).Loop(0).Image(FullImage(4, 2, 4)).Build()),
            kOk);
  EXPECT_EQ(zeroLoops.LoopCount, 0);

  // A graphic control cut to one byte: the missing fields read as zero.
  TGIF shortControl;
  ASSERT_EQ(Load(shortControl,
                 GifBuilder(4, 2, Palette(4)).Extension(0xF9, {{0x01}}).Image(FullImage(4, 2, 4)).Build()),
            kOk);
  EXPECT_EQ(shortControl.Frame.Transparent, 1);
  EXPECT_EQ(shortControl.Frame.Delay, 0u);
  EXPECT_EQ(shortControl.Frame.TransparentColor, Palette(4)[0]);

  EXPECT_EQ(TGIF().WriteDIB(-1, nullptr), kOk);
}

namespace {
GifImage WithStream(int width, int height, int minCodeSize, const Bytes& stream) {
  GifImage image;
  image.width = width;
  image.height = height;
  image.minCodeSize = minCodeSize;
  image.codeStream = stream;
  return image;
}

Bytes ScreenWith(const GifImage& image, int width = 4, int height = 2) {
  return GifBuilder(width, height, Palette(4)).Image(image).Build();
}

Bytes Cut(Bytes bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}
}  // namespace

TEST(GifErrors, BrokenFilesGiveTheirResultCode) {
  Bytes good = ScreenWith(FullImage(4, 2, 4));
  Bytes goodImage = LzwEncode(PatternIndices(4, 2, 4), 2);
  GifImage noisy = FullImage(6, 6, 4);
  GifImage bigLocal = FullImage(4, 2, 4);
  bigLocal.localTable = Palette(32);  // the screen is 4 bits deep
  GifImage offRight = FullImage(2, 2, 4);
  offRight.left = 4;
  GifImage offBottom = FullImage(2, 2, 4);
  offBottom.top = 2;
  Bytes longStream = LzwEncode(Bytes(9, 1), 2);  // one index more than 4 x 2

  struct {
    const char* name;
    Bytes file;
    int result;
  } kCases[] = {
      {"other version", GifBuilder(4, 2, Palette(4)).Signature("GIF88a").Build(), kErrSignature},
      {"not a GIF", Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kErrSignature},
      {"five bytes", Cut(good, 5), kErrSignature},
      {"screen descriptor cut", Cut(good, 10), kErrShortRead},
      {"global table cut", Cut(good, 16), kErrShortRead},
      {"zero width", GifBuilder(0, 2, Palette(4)).Image(FullImage(4, 2, 4)).Build(), kErrZeroSize},
      {"zero height", GifBuilder(4, 0, Palette(4)).Image(FullImage(4, 2, 4)).Build(), kErrZeroSize},
      {"trailer first", GifBuilder(4, 2, Palette(4)).Build(), kErrGifNoImage},
      {"no block at all", GifBuilder(4, 2, Palette(4)).Build(false), kErrShortRead},
      {"stray byte", GifBuilder(4, 2, Palette(4)).Raw({0x99}).Image(FullImage(4, 2, 4)).Build(),
       kErrGifBadBlock},
      {"descriptor cut", Cut(good, 13 + 12 + 5), kErrShortRead},
      {"no colour table", GifBuilder(4, 2).Image(FullImage(4, 2, 4)).Build(), kErrGifColourTable},
      {"local table beyond the depth", ScreenWith(bigLocal), kErrGifColourTable},
      {"image right of the screen", ScreenWith(offRight), kErrGifOffScreen},
      {"image below the screen", ScreenWith(offBottom), kErrGifOffScreen},
      {"minimum code size 12", ScreenWith(WithStream(4, 2, 12, goodImage)), kErrCorrupt},
      {"code above the next free one", ScreenWith(WithStream(4, 2, 2, PackCodes({{4, 3}, {1, 3}, {7, 3}, {5, 3}}))),
       kErrCorrupt},
      {"first code not an index", ScreenWith(WithStream(4, 2, 2, PackCodes({{4, 3}, {6, 3}, {5, 3}}))),
       kErrCorrupt},
      {"more indices than pixels", ScreenWith(WithStream(4, 2, 2, longStream)), kErrCorrupt},
      {"fewer indices, no end code", ScreenWith(WithStream(4, 2, 2, PackCodes({{4, 3}, {1, 3}}))),
       kErrCorrupt},
      {"data cut inside a sub-block", Cut(ScreenWith(noisy, 6, 6), 13 + 12 + 10 + 1 + 3),
       kErrCorrupt},
  };
  for (auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TGIF gif;
    EXPECT_EQ(Load(gif, c.file), c.result);
  }
}

TEST(GifErrors, EdgesOfTheCodeStreamThatStillDecode) {
  // An end code before all pixels: the rest stays index 0.
  TGIF early;
  ASSERT_EQ(Load(early, ScreenWith(WithStream(4, 2, 2, PackCodes({{4, 3}, {3, 3}, {2, 3}, {5, 3}})))),
            kOk);
  EXPECT_EQ(ScreenIndices(early), (Bytes{3, 2, 0, 0, 0, 0, 0, 0}));

  // The file ends where the block terminator should be: all pixels are there.
  Bytes whole = ScreenWith(FullImage(4, 2, 4));
  TGIF unterminated;
  ASSERT_EQ(Load(unterminated, Cut(whole, whole.size() - 2)), kOk);
  EXPECT_EQ(ScreenIndices(unterminated), PatternIndices(4, 2, 4));

  // Zero bytes between blocks are skipped.
  TGIF padded;
  ASSERT_EQ(Load(padded, GifBuilder(4, 2, Palette(4)).Raw({0, 0}).Image(FullImage(4, 2, 4)).Build()),
            kOk);

  // A string table that fills to 4096 entries without a clear code keeps
  // decoding with 12-bit codes and no new entries.
  GifImage full = FullImage(300, 200, 256, 5);
  full.clearWhenFull = false;
  TGIF gif;
  ASSERT_EQ(Load(gif, GifBuilder(300, 200, Palette(256)).Image(full).Build()), kOk);
  EXPECT_EQ(ScreenIndices(gif), full.indices);
}

TEST(GifTruncation, EveryPrefixFailsCleanlyOrGivesTheWholeImage) {
  Bytes file = RichFile();
  TGIF reference;
  ASSERT_EQ(Load(reference, file), kOk);
  Bytes whole = ScreenIndices(reference);
  std::size_t blocks = GlobalLiveBlocks();
  for (std::size_t size = 0; size < file.size(); ++size) {
    SCOPED_TRACE(size);
    TGIF gif;
    int result = Load(gif, Cut(file, size));
    if (result == kOk) {
      EXPECT_EQ(ScreenIndices(gif), whole);
    }
  }
  EXPECT_EQ(GlobalLiveBlocks(), blocks);
}

TEST(GifMemory, FailedAllocationsGiveTheMemoryCodeAndLeakNothing) {
  Bytes file = RichFile();  // DIB, index block, interlace table
  std::size_t blocks = GlobalLiveBlocks();
  for (int nth = 1; nth <= 3; ++nth) {
    SCOPED_TRACE(nth);
    {
      TGIF gif;
      GlobalFailAllocation(nth);
      EXPECT_EQ(Load(gif, file), kErrMemory);
      GlobalFailAllocation(0);
    }
    EXPECT_EQ(GlobalLiveBlocks(), blocks);
  }
}

TEST(GifMemory, HugeImageInsideASmallScreenIsRefused) {
  GifImage huge = WithStream(65535, 65535, 2, PackCodes({{4, 3}, {1, 3}, {5, 3}}));
  TGIF gif;
  EXPECT_EQ(Load(gif, ScreenWith(huge)), kErrMemory);
}

namespace {
std::vector<fs::path> CorpusGifs(bool bad) {
  std::vector<fs::path> files = FilesUnder(fs::path(CorpusDir()) / "gif", {".gif"});
  std::erase_if(files, [bad](const fs::path& file) {
    std::string path = file.string();
    bool inBad = path.find("/bad/") != std::string::npos;
    return inBad != bad || path.find("/unsupported/") != std::string::npos;
  });
  return files;
}

bool CoversScreen(const TGIF& gif) {
  return gif.Frame.StoredLeft == 0 && gif.Frame.StoredTop == 0 && gif.Frame.FrameWidth == gif.Width &&
         gif.Frame.FrameHeight == DWORD(gif.Height);
}

// The DIB's colours as red, green, blue bytes, rows top to bottom.
Bytes ScreenColours(const TGIF& gif) {
  Bytes out;
  for (std::uint8_t index : ScreenIndices(gif)) {
    const RGBQUAD& q = gif.Palette[index];
    out.insert(out.end(), {q.rgbRed, q.rgbGreen, q.rgbBlue});
  }
  return out;
}
}  // namespace

// Our colours against ImageMagick's for every sample whose first image
// covers the whole screen (ImageMagick gives the image alone, not the screen).
TEST(GifCorpus, FirstImageMatchesImageMagick) {
  SKIP_WITHOUT_CORPUS();
  if (!HaveImageMagick()) GTEST_SKIP() << "no ImageMagick";
  // Samples our reader refuses on purpose.
  const std::map<std::string, int> kRefused = {
      // The first image starts beyond the screen's right edge.
      {"animated_transparent_loop_frames_out_of_bounds.gif", kErrGifOffScreen},
      // No global table, so the size field 0 makes a 1-bit DIB; the local
      // table of 256 entries does not fit it.
      {"iss634.gif", kErrGifColourTable},
  };
  int compared = 0;
  for (const fs::path& file : CorpusGifs(false)) {
    SCOPED_TRACE(file.string());
    TGIF gif;
    int result = gif.Load(file.c_str());
    if (auto refused = kRefused.find(file.filename().string()); refused != kRefused.end()) {
      EXPECT_EQ(result, refused->second);
      continue;
    }
    ASSERT_EQ(result, kOk);
    if (!CoversScreen(gif)) continue;
    Bytes reference = ImageMagickPixels(file.string(), {.firstImage = true});
    ASSERT_FALSE(reference.empty()) << "convert failed";
    Bytes ours = ScreenColours(gif);
    ASSERT_EQ(ours.size(), reference.size());
    std::size_t first = 0;
    while (first < ours.size() && ours[first] == reference[first]) ++first;
    EXPECT_EQ(first, ours.size()) << "first difference at pixel " << first / 3;
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST(GifCorpus, BrokenSamplesFailCleanlyOrGiveASaneImage) {
  SKIP_WITHOUT_CORPUS();
  for (const fs::path& file : CorpusGifs(true)) {
    TGIF gif;
    int result = gif.Load(file.c_str());
    if (result == kOk) {
      EXPECT_EQ(GlobalSize(gif.Handle), std::size_t(gif.DibSize)) << file;
      EXPECT_EQ(gif.Header->biSizeImage, RowStride(gif.Width, gif.BitCount) * DWORD(gif.Height));
    }
  }
}
