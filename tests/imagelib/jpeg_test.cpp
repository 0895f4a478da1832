#include "imagelib/jpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include "imagelib/bitmap_base.h"
#include "tests/support/imagemagick.h"
#include "tests/support/jpeg_encoder.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

// A picture to encode: samples in the file's component order, row by row.
struct Picture {
  int width;
  int height;
  int components;
  J_COLOR_SPACE space;
  std::function<BYTE(int x, int y, int component)> sample;
};

// Encodes with libjpeg at quality 100 without subsampling, so that flat 8x8
// blocks come back exactly. tune may change parameters after that.
Bytes Encode(const Picture& p, const JpegTuner& tune = {}) {
  auto fillRow = [&p](int y, JSAMPLE* row) {
    for (int x = 0; x < p.width; ++x)
      for (int c = 0; c < p.components; ++c) row[std::size_t(x) * p.components + c] = p.sample(x, y, c);
  };
  return EncodeJpeg(p.width, p.height, p.components, p.space, fillRow,
                    [&tune](jpeg_compress_struct& cinfo) {
                      jpeg_set_quality(&cinfo, 100, TRUE);
                      for (int c = 0; c < cinfo.num_components; ++c)
                        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
                      if (tune) tune(cinfo);
                    });
}

// Grey 0x20 above row 8, 0xE0 from row 8 on.
Picture GreyHalves(int width, int height) {
  return {width, height, 1, JCS_GRAYSCALE,
          [](int, int y, int) { return BYTE(y < 8 ? 0x20 : 0xE0); }};
}

// Red above row 8, blue below, stored as RGB in the file (no YCbCr
// conversion), so the samples come back exactly.
Picture RedOverBlue(int width, int height) {
  return {width, height, 3, JCS_RGB, [](int, int y, int c) {
            static const BYTE red[3] = {255, 0, 0}, blue[3] = {0, 0, 255};
            return y < 8 ? red[c] : blue[c];
          }};
}

void StoreAsRgb(jpeg_compress_struct& cinfo) { jpeg_set_colorspace(&cinfo, JCS_RGB); }

class JpegTest : public ::testing::Test {
 protected:
  void SetUp() override { liveBefore = GlobalLiveBlocks(); }
  void TearDown() override { EXPECT_EQ(GlobalLiveBlocks(), liveBefore) << "a block leaked"; }

  HGLOBAL LoadBytes(const Bytes& bytes) {
    std::string path = dir.File("image.jpg");
    WriteFileBytes(path, bytes);
    return LoadJPEG(path.c_str());
  }

  TempDir dir;
  std::size_t liveBefore = 0;
};

const BYTE* Row(const DibHandle& dib, int rowFromTop) {
  const BITMAPINFOHEADER& h = dib.Header();
  return dib.Bits() + std::size_t(h.biHeight - 1 - rowFromTop) * RowStride(h.biWidth, h.biBitCount);
}

TEST_F(JpegTest, GreyFileGivesEightBitsWithLinearGreyTable) {
  DibHandle dib(LoadBytes(Encode(GreyHalves(6, 16))));
  ASSERT_TRUE(dib);
  const BITMAPINFOHEADER& h = dib.Header();
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 6);
  EXPECT_EQ(h.biHeight, 16);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
  EXPECT_EQ(h.biClrUsed, 256u);
  EXPECT_EQ(h.biSizeImage, 8u * 16u);
  EXPECT_EQ(GlobalSize(dib.Get()), 40u + 1024u + 8u * 16u);
  for (int i = 0; i < 256; ++i) {
    const RGBQUAD& q = dib.ColourTable()[i];
    ASSERT_TRUE(q.rgbBlue == i && q.rgbGreen == i && q.rgbRed == i && q.rgbReserved == 0) << i;
  }
  // The top scanline is the last row of the block; padding stays zero.
  EXPECT_EQ(Bytes(Row(dib, 0), Row(dib, 0) + 8), (Bytes{0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0, 0}));
  EXPECT_EQ(Bytes(Row(dib, 15), Row(dib, 15) + 8), (Bytes{0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0xE0, 0, 0}));
}

TEST_F(JpegTest, ColourFileGivesBlueGreenRedRowsBottomUp) {
  DibHandle dib(LoadBytes(Encode(RedOverBlue(5, 16), StoreAsRgb)));
  ASSERT_TRUE(dib);
  const BITMAPINFOHEADER& h = dib.Header();
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biClrUsed, 0u);
  EXPECT_EQ(h.biSizeImage, 16u * 16u);  // 15 bytes of pixels, 1 of padding
  EXPECT_EQ(GlobalSize(dib.Get()), 40u + 16u * 16u);
  Bytes redRow = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0};
  Bytes blueRow = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
  EXPECT_EQ(Bytes(Row(dib, 0), Row(dib, 0) + 16), redRow);
  EXPECT_EQ(Bytes(Row(dib, 15), Row(dib, 15) + 16), blueRow);
}

TEST_F(JpegTest, OnePixelWideColourRowIsPaddedWithZero) {
  DibHandle dib(LoadBytes(Encode(RedOverBlue(1, 16), StoreAsRgb)));
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib.Header().biSizeImage, 4u * 16u);
  EXPECT_EQ(Bytes(Row(dib, 0), Row(dib, 0) + 4), (Bytes{0, 0, 255, 0}));
}

TEST_F(JpegTest, ResolutionIsAlways75DotsPerInch) {
  auto dense = [](jpeg_compress_struct& cinfo) {
    cinfo.density_unit = 1;
    cinfo.X_density = 300;
    cinfo.Y_density = 600;
  };
  DibHandle dib(LoadBytes(Encode(GreyHalves(8, 8), dense)));
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib.Header().biXPelsPerMeter, 2953);
  EXPECT_EQ(dib.Header().biYPelsPerMeter, 2953);
}

TEST_F(JpegTest, FourComponentFilesAreRefused) {
  Picture cmyk{8, 8, 4, JCS_CMYK, [](int x, int, int c) { return BYTE(x * 30 + c); }};
  EXPECT_EQ(LoadBytes(Encode(cmyk)), nullptr);
  auto asYcck = [](jpeg_compress_struct& cinfo) { jpeg_set_colorspace(&cinfo, JCS_YCCK); };
  EXPECT_EQ(LoadBytes(Encode(cmyk, asYcck)), nullptr);
}

TEST_F(JpegTest, FailedAllocationGivesNull) {
  Bytes file = Encode(GreyHalves(8, 8));
  GlobalFailAllocation(1);
  HGLOBAL dib = LoadBytes(file);
  GlobalFailAllocation(0);
  EXPECT_EQ(dib, nullptr);
}

TEST_F(JpegTest, LibraryErrorAfterTheBlockExistsFreesIt) {
  // A second frame header after the scan: libjpeg raises its error while
  // finishing, when every row has already been stored.
  Bytes file = Encode(RedOverBlue(8, 16), StoreAsRgb);
  std::size_t sof = 2;
  while (!(file[sof] == 0xFF && file[sof + 1] == 0xC0)) sof += 2 + (file[sof + 2] << 8 | file[sof + 3]);
  Bytes frame(file.begin() + long(sof), file.begin() + long(sof + 2 + (file[sof + 2] << 8 | file[sof + 3])));
  file.insert(file.end() - 2, frame.begin(), frame.end());
  EXPECT_EQ(LoadBytes(file), nullptr);
}

TEST_F(JpegTest, MissingFileIsReportedOnStandardError) {
  std::string path = dir.File("absent.jpg");
  testing::internal::CaptureStderr();
  EXPECT_EQ(LoadJPEG(path.c_str()), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "can't open " + path + "\n");
  EXPECT_EQ(LoadJPEG(nullptr), nullptr);
}

TEST_F(JpegTest, NonJpegFilesGiveNull) {
  EXPECT_EQ(LoadBytes({}), nullptr);
  EXPECT_EQ(LoadBytes(MakeRedRectangleBmp()), nullptr);
  EXPECT_EQ(LoadBytes({0xFF, 0xD8, 0xFF, 0xD9}), nullptr);  // no frame
}

// libjpeg treats a cut-off scan as a warning and fills the rest of the
// picture, so every prefix gives null (nothing of the frame yet) or a DIB of
// the full size; never a crash or a leaked block.
TEST_F(JpegTest, EveryPrefixGivesNullOrTheWholeFrame) {
  Bytes file = Encode(RedOverBlue(13, 11));
  testing::internal::CaptureStderr();  // one warning or error per prefix
  int decoded = 0;
  for (std::size_t n = 0; n < file.size(); ++n) {
    DibHandle dib(LoadBytes(Bytes(file.begin(), file.begin() + long(n))));
    if (!dib) continue;
    ++decoded;
    ASSERT_EQ(dib.Header().biWidth, 13) << n;
    ASSERT_EQ(dib.Header().biHeight, 11) << n;
    ASSERT_EQ(GlobalSize(dib.Get()), 40u + 40u * 11u) << n;
  }
  testing::internal::GetCapturedStderr();
  EXPECT_GT(decoded, 0);
  EXPECT_LT(decoded, int(file.size()));
}

// Corpus files the bridge refuses, and why.
const std::set<std::string> kRefused = {
    "generated/plasma97x61_cmyk.jpg",                // CMYK output
    "pillow/pil_sample_cmyk.jpg",                    // CMYK output
    "oiio/YCbCrK.jpg",                               // YCCK, comes out as CMYK
    "bad/image-rs/oss-fuzz-36829.jpeg",              // no frame header
    "bad/oiio/bomb-65500x65500.jpg",                 // DIB beyond 2 GiB
    "bad/oiio/bomb-progressive-65500x65500.jpg",     // DIB beyond 2 GiB
    "unsupported/libjpeg-turbo_monkey12.jpg",        // 12-bit samples
};

void ExpectSamePixels(const DibHandle& dib, const Bytes& reference, const std::string& name) {
  const BITMAPINFOHEADER& h = dib.Header();
  std::size_t channels = h.biBitCount / 8u;
  ASSERT_EQ(reference.size(), std::size_t(h.biWidth) * h.biHeight * channels) << name;
  for (int y = 0; y < h.biHeight; ++y) {
    const BYTE* row = Row(dib, y);
    const BYTE* want = reference.data() + std::size_t(y) * h.biWidth * channels;
    for (std::size_t x = 0; x < std::size_t(h.biWidth) * channels; x += channels)
      for (std::size_t c = 0; c < channels; ++c)
        ASSERT_EQ(row[x + c], want[x + channels - 1 - c]) << name << " at " << x / channels << "," << y;
  }
}

// Every corpus file, including bad/ and unsupported/: libjpeg only warns
// about most damage (and decodes arithmetic coding), so those that it takes
// must match ImageMagick too; the refusals are exactly the list above.
TEST_F(JpegTest, CorpusMatchesImageMagickOrIsRefusedCleanly) {
  SKIP_WITHOUT_CORPUS();
  fs::path root = fs::path(CorpusDir()) / "jpg";
  testing::internal::CaptureStderr();
  int compared = 0;
  for (const fs::path& file : FilesUnder(root)) {
    std::string name = fs::relative(file, root).string();
    DibHandle dib(LoadJPEG(file.c_str()));
    EXPECT_EQ(!dib, kRefused.count(name) == 1) << name;
    if (!dib) continue;
    bool grey = dib.Header().biBitCount == 8;
    // ImageMagick decodes with libjpeg-turbo and its defaults as well.
    Bytes reference = ImageMagickPixels(file.string(), {.grey = grey});
    ASSERT_FALSE(reference.empty()) << name;
    ExpectSamePixels(dib, reference, name);
    ++compared;
  }
  testing::internal::GetCapturedStderr();
  EXPECT_GE(compared, 40);
}

}  // namespace
