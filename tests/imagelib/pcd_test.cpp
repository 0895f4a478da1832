#include "imagelib/pcd.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "platform/core/lowio.h"
#include "tests/support/imagemagick.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPacSize = 196608 + 3 * 768 * 512 / 2;  // through the Base image
constexpr std::size_t kOrientationAt = 194635;

// The picture of a synthetic Image Pac: luminance of pixel x in stored row r,
// and the two chrominance values of column pair k in row pair p.
struct PacPicture {
  std::function<BYTE(int x, int r)> y;
  std::function<BYTE(int k, int p)> c1, c2;
};

PacPicture Flat(BYTE y, BYTE u, BYTE v) {
  return {[=](int, int) { return y; }, [=](int, int) { return u; }, [=](int, int) { return v; }};
}

void WriteImage(Bytes& pac, std::size_t start, int width, int rows, const PacPicture& pic) {
  BYTE* out = &pac[start];
  for (int p = 0; p < rows / 2; ++p) {
    for (int r = 2 * p; r < 2 * p + 2; ++r)
      for (int x = 0; x < width; ++x) *out++ = pic.y(x, r);
    for (int k = 0; k < width / 2; ++k) *out++ = pic.c1(k, p);
    for (int k = 0; k < width / 2; ++k) *out++ = pic.c2(k, p);
  }
}

// An Image Pac with the same picture in all three resolutions.
Bytes MakeImagePac(const PacPicture& pic, BYTE orientation = 0) {
  Bytes pac(kPacSize, 0);
  std::memcpy(&pac[2048], "PCD_IPI", 7);
  pac[kOrientationAt] = orientation;
  WriteImage(pac, 8192, 192, 128, pic);
  WriteImage(pac, 47104, 384, 256, pic);
  WriteImage(pac, 196608, 768, 512, pic);
  return pac;
}

// Pixel (x, y), y from the top, as a COLORREF.
COLORREF Pixel(const TBitmap_Base& dib, DWORD x, LONG y) {
  const BYTE* p = dib.Bits + std::size_t(dib.Height - 1 - y) * RowStride(dib.Width, 24) + 3 * x;
  return RGB(p[2], p[1], p[0]);
}

// Loads the bytes through an in-memory file at the given resolution.
int LoadPac(TPCD& codec, const Bytes& file, int resolution) {
  TFileHandle fd(memfd_create("pcd", 0));
  EXPECT_EQ(_write(fd.Get(), file.data(), file.size()), long(file.size()));
  _lseek(fd.Get(), 0, SEEK_SET);
  codec.Resolution = resolution;
  return codec.LoadFromHandle(fd.Get(), nullptr);
}

class PcdTest : public testing::Test {
 protected:
  int Load(const Bytes& file, int resolution = kPcdBase16) {
    return LoadPac(Codec, file, resolution);
  }

  TPCD Codec;
};

TEST_F(PcdTest, GeometryFollowsResolutionAndOrientation) {
  struct Case {
    int resolution;
    BYTE orientation;
    DWORD width;
    LONG height;
  } cases[] = {
      {kPcdBase16, 0, 192, 128}, {kPcdBase16, 1, 128, 192}, {kPcdBase4, 0, 384, 256},
      {kPcdBase4, 2, 256, 384},  {kPcdBase, 0, 768, 512},   {kPcdBase, 3, 512, 768},
      {kPcdBase, 4, 768, 512},  // only the low two bits count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.resolution << "/" << int(c.orientation));
    ASSERT_EQ(Load(MakeImagePac(Flat(100, 156, 137), c.orientation), c.resolution), kOk);
    EXPECT_EQ(Codec.Width, c.width);
    EXPECT_EQ(Codec.Height, c.height);
    EXPECT_EQ(Codec.BitCount, 24u);
    EXPECT_EQ(Codec.Colors, 0);
    EXPECT_EQ(Codec.Header->biSizeImage, RowStride(c.width, 24) * DWORD(c.height));
  }
}

TEST_F(PcdTest, ConvertsLuminanceAndChrominanceToRgb) {
  struct Case {
    BYTE y, u, v;
    COLORREF rgb;
  } cases[] = {
      {0, 156, 137, RGB(0, 0, 0)},         {255, 156, 137, RGB(255, 255, 255)},  // 346.4 limited
      {100, 156, 137, RGB(135, 135, 135)},  // 135.84 cut, not rounded
      {0, 156, 100, RGB(0, 34, 0)},         // red below zero
      {100, 146, 137, RGB(135, 140, 113)}, {100, 166, 148, RGB(155, 121, 158)},
      {200, 156, 200, RGB(255, 213, 255)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.y) << "," << int(c.u) << "," << int(c.v));
    ASSERT_EQ(Load(MakeImagePac(Flat(c.y, c.u, c.v))), kOk);
    for (LONG y = 0; y < Codec.Height; ++y)
      for (DWORD x = 0; x < Codec.Width; ++x) ASSERT_EQ(Pixel(Codec, x, y), c.rgb) << x << "," << y;
  }
}

// Luminance 100 everywhere; the chrominance steps between odd and even
// column pairs and between odd and even row pairs (with an extra step where
// both are odd), so that every interpolated value shows.
PacPicture ChromaSteps() {
  auto step = [](int base, int k, int p) {
    return BYTE(base + (k % 2) * 11 + (p % 2) * 20 + (k % 2) * (p % 2) * 8);
  };
  return {[](int, int) { return BYTE(100); }, [=](int k, int p) { return step(156, k, p); },
          [=](int k, int p) { return step(137, k, p); }};
}

TEST_F(PcdTest, InterpolatesChrominanceBetweenColumnsAndRowPairs) {
  ASSERT_EQ(Load(MakeImagePac(ChromaSteps())), kOk);
  // U: 156 | (156+167)/2 = 161 over (156+176)/2 = 166 | (156+167+176+195)/4 = 173.
  // V: 137 | 142 over 147 | 154.
  EXPECT_EQ(Pixel(Codec, 0, 0), RGB(135, 135, 135));
  EXPECT_EQ(Pixel(Codec, 1, 0), RGB(144, 129, 146));
  EXPECT_EQ(Pixel(Codec, 2, 0), RGB(155, 120, 160));  // U 167, V 148 as stored
  EXPECT_EQ(Pixel(Codec, 0, 1), RGB(154, 122, 158));
  EXPECT_EQ(Pixel(Codec, 1, 1), RGB(166, 112, 173));
}

TEST_F(PcdTest, LastRowPairAndLastColumnRepeatTheirOwnChrominance) {
  ASSERT_EQ(Load(MakeImagePac(ChromaSteps())), kOk);
  const LONG last = Codec.Height - 1;
  const DWORD lastColumn = Codec.Width - 1;
  for (DWORD x = 0; x < Codec.Width; ++x) {
    ASSERT_EQ(Pixel(Codec, x, last), Pixel(Codec, x, last - 1)) << x;
    ASSERT_NE(Pixel(Codec, x, 1), Pixel(Codec, x, 0)) << x;  // elsewhere they differ
  }
  for (LONG y = 0; y < Codec.Height; ++y) {
    ASSERT_EQ(Pixel(Codec, lastColumn, y), Pixel(Codec, lastColumn - 1, y)) << y;
    ASSERT_NE(Pixel(Codec, lastColumn - 2, y), Pixel(Codec, lastColumn - 3, y)) << y;
  }
  // Last pair, upper and lower row: U 176 and V 157 as stored.
  EXPECT_EQ(Pixel(Codec, 0, last), RGB(172, 108, 180));
}

TEST_F(PcdTest, PortraitIsTheLandscapePictureTurnedAnticlockwise) {
  PacPicture pic{[](int x, int r) { return BYTE(x * 3 + r * 7); },
                 [](int k, int p) { return BYTE(120 + (k * 5 + p) % 80); },
                 [](int k, int p) { return BYTE(100 + (k + p * 3) % 90); }};
  TPCD landscape;
  ASSERT_EQ(LoadPac(landscape, MakeImagePac(pic, 0), kPcdBase16), kOk);
  for (BYTE orientation : {1, 3}) {
    SCOPED_TRACE(int(orientation));
    ASSERT_EQ(Load(MakeImagePac(pic, orientation)), kOk);
    ASSERT_EQ(Codec.Width, DWORD(landscape.Height));
    // Landscape (x, r) lands at column r, x rows up from the bottom.
    for (LONG r = 0; r < landscape.Height; ++r)
      for (DWORD x = 0; x < landscape.Width; ++x)
        ASSERT_EQ(Pixel(Codec, DWORD(r), Codec.Height - 1 - LONG(x)), Pixel(landscape, x, r))
            << x << "," << r;
  }
}

TEST_F(PcdTest, RefusesWhatItCannotRead) {
  Bytes pac = MakeImagePac(Flat(100, 156, 137));
  struct Case {
    const char* what;
    std::size_t keep;
    const char* signature;
    int resolution;
    int code;
  } cases[] = {
      {"lower-case signature", kPacSize, "pcd_ipi", kPcdBase, kErrSignature},
      {"other signature", kPacSize, "PCD_XXX", kPcdBase, kErrSignature},
      {"resolution 3", kPacSize, "PCD_IPI", 3, kErrBitCount},
      {"resolution -1", kPacSize, "PCD_IPI", -1, kErrBitCount},
      {"empty", 0, "", kPcdBase16, kErrShortRead},
      {"inside the signature", 2054, "PCD_IPI", kPcdBase16, kErrShortRead},
      {"before the orientation", kOrientationAt, "PCD_IPI", kPcdBase16, kErrShortRead},
      {"Base/16 and orientation there", kOrientationAt + 1, "PCD_IPI", kPcdBase16, kOk},
      {"Base/4 and orientation there", kOrientationAt + 1, "PCD_IPI", kPcdBase4, kOk},
      {"Base missing", kOrientationAt + 1, "PCD_IPI", kPcdBase, kErrShortRead},
      {"inside the Base image", 500000, "PCD_IPI", kPcdBase, kErrShortRead},
      {"one byte short", kPacSize - 1, "PCD_IPI", kPcdBase, kErrShortRead},
      {"complete", kPacSize, "PCD_IPI", kPcdBase, kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file(pac.begin(), pac.begin() + std::ptrdiff_t(c.keep));
    if (c.keep > 2055) std::memcpy(&file[2048], c.signature, 7);
    EXPECT_EQ(Load(file, c.resolution), c.code);
  }
}

TEST_F(PcdTest, ReadBitsRefusesAnUnknownResolution) {
  BYTE bits[4];
  Codec.Resolution = 7;
  EXPECT_EQ(Codec.ReadBits(-1, bits), kErrBitCount);
}

TEST_F(PcdTest, CutInTheBaseImageKeepsTheRowsReadSoFar) {
  // 10 row pairs of 3 x 768 bytes are there, then the file ends; the tenth
  // pair lacks the chrominance of the next and is not stored.
  Bytes pac = MakeImagePac(Flat(255, 156, 137));
  pac.resize(196608 + 10 * 3 * 768 + 100);
  ASSERT_EQ(Load(pac, kPcdBase), kErrShortRead);
  EXPECT_EQ(Pixel(Codec, 767, 17), RGB(255, 255, 255));
  EXPECT_EQ(Pixel(Codec, 0, 18), RGB(0, 0, 0));
}

// --- Sample files written by other programs ---

TEST_F(PcdTest, SampleFilesHaveTheBaseGeometryAndTurnAsTheirOrientationSays) {
  SKIP_WITHOUT_CORPUS();
  fs::path root = fs::path(CorpusDir()) / "pcd";
  auto loadBase = [&](const fs::path& path) {
    Codec.Resolution = kPcdBase;
    return Codec.Load(path.string().c_str());
  };
  for (const char* name : {"pillow/hopper.pcd", "generated/logo.pcd", "generated/plasma.pcd",
                           "generated/rose.pcd", "derived/hopper_orient_ipi3586_eq1.pcd"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(loadBase(root / name), kOk);
    EXPECT_EQ(Codec.Width, 768u);
    EXPECT_EQ(Codec.Height, 512);
  }
  // The orientation field that other programs use is not ours: this file
  // reads exactly like the one it was made from.
  Bytes ipiTurned(Codec.Bits, Codec.Bits + Codec.ImageSize);
  ASSERT_EQ(loadBase(root / "pillow/hopper.pcd"), kOk);
  EXPECT_EQ(Bytes(Codec.Bits, Codec.Bits + Codec.ImageSize), ipiTurned);

  TPCD landscape;
  landscape.Resolution = kPcdBase;
  ASSERT_EQ(landscape.Load((root / "pillow/hopper.pcd").string().c_str()), kOk);
  for (const char* name :
       {"derived/hopper_orient_194635_eq1.pcd", "derived/hopper_orient_194635_eq3.pcd"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(loadBase(root / name), kOk);
    ASSERT_EQ(Codec.Width, 512u);
    ASSERT_EQ(Codec.Height, 768);
    for (LONG r = 0; r < 512; ++r)  // landscape (x, r) at column r, x rows up from the bottom
      for (DWORD x = 0; x < 768; ++x)
        ASSERT_EQ(Pixel(Codec, DWORD(r), 767 - LONG(x)), Pixel(landscape, x, r)) << x << "," << r;
  }
}

// Pearson correlation of the brightness (red + green + blue) of our top-down
// pixels and ImageMagick's RGB bytes of the same size.
double BrightnessCorrelation(const TBitmap_Base& dib, const Bytes& theirs) {
  double n = 0, sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
  for (LONG y = 0; y < dib.Height; ++y)
    for (DWORD x = 0; x < dib.Width; ++x) {
      COLORREF c = Pixel(dib, x, y);
      const BYTE* t = &theirs[(std::size_t(y) * dib.Width + x) * 3];
      double a = GetRValue(c) + GetGValue(c) + GetBValue(c), b = t[0] + t[1] + t[2];
      n += 1, sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b;
    }
  return (n * sab - sa * sb) / std::sqrt((n * saa - sa * sa) * (n * sbb - sb * sb));
}

// ImageMagick converts Photo CD colours by other rules and reads the
// orientation from elsewhere, so it only vouches for where the picture lies:
// our landscape and portrait readings must show what it shows for a file
// turned by its own orientation field.
TEST_F(PcdTest, SampleFilesLieWhereImageMagickPutsThem) {
  SKIP_WITHOUT_CORPUS();
  if (!HaveImageMagick()) GTEST_SKIP() << "no ImageMagick convert";
  fs::path root = fs::path(CorpusDir()) / "pcd";
  struct Case {
    const char* ours;
    const char* theirs;
  } cases[] = {
      {"pillow/hopper.pcd", "pillow/hopper.pcd"},
      {"generated/plasma.pcd", "generated/plasma.pcd"},
      {"derived/hopper_orient_194635_eq1.pcd", "derived/hopper_orient_ipi3586_eq1.pcd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ours);
    Codec.Resolution = kPcdBase;
    ASSERT_EQ(Codec.Load((root / c.ours).string().c_str()), kOk);
    Bytes theirs = ImageMagickPixels((root / c.theirs).string());
    ASSERT_EQ(theirs.size(), std::size_t(Codec.Width) * Codec.Height * 3);
    EXPECT_GT(BrightnessCorrelation(Codec, theirs), 0.95);
  }
}

TEST_F(PcdTest, RefusesBadSampleFiles) {
  SKIP_WITHOUT_CORPUS();
  const std::map<std::string, int> expected = {
      {"hopper_bad_signature.pcd", kErrSignature},
      {"hopper_truncated_100000.pcd", kErrShortRead},
      {"hopper_truncated_500000.pcd", kErrShortRead},
      {"tiny.pcd", kErrShortRead},
  };
  for (const auto& [name, code] : expected) {
    SCOPED_TRACE(name);
    Codec.Resolution = kPcdBase;
    EXPECT_EQ(Codec.Load((fs::path(CorpusDir()) / "pcd/bad/derived" / name).string().c_str()),
              code);
  }
}

}  // namespace
