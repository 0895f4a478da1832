#include "imagelib/loader.h"

#include <cstring>
#include <memory>
#include <string>

#include "imagelib/bmp.h"
#include "imagelib/gif.h"
#include "imagelib/jpeg.h"
#include "imagelib/pcd.h"
#include "imagelib/pcx.h"
#include "imagelib/tga.h"
#include "imagelib/tiff.h"
#include "util/file_helpers.h"

namespace {
using Factory = std::unique_ptr<TBitmap_Base> (*)();

template <typename Codec>
std::unique_ptr<TBitmap_Base> Make() {
  return std::make_unique<Codec>();
}

enum class Branch { Metafile, Raster, Jpeg };

struct LoaderRow {
  const char* text;
  Branch branch;
  Factory make;  // raster readers; null while a reader does not exist yet
  const char* description;
  const char* extensions;
  int capability;
};

// Tested in this order; the first text that occurs anywhere in the path,
// without regard to case, decides. A substring test, so "x.bmp.gif" is BMP.
const LoaderRow kRows[] = {
    {".WMF", Branch::Metafile, nullptr, "", "", 0},
    {".EMF", Branch::Metafile, nullptr, "", "", 0},
    {".BMP", Branch::Raster, Make<_TDIB>, "OS/2 1.x, 2.0, Windows 3.0 Bitmap",
     "BMP DIB RLE RL4 RL8", 255},
    {".DIB", Branch::Raster, Make<_TDIB>, "OS/2 1.x, 2.0, Windows 3.0 Bitmap",
     "BMP DIB RLE RL4 RL8", 255},
    {".PCX", Branch::Raster, Make<TPCX>, "ZSoft PCX", "PCX", 255},
    {".TGA", Branch::Raster, Make<TTGA>, "Truevision Targa", "TGA VST AFI", 204},
    {".GIF", Branch::Raster, Make<TGIF>, "CompuServe Graphics Interchange Format", "GIF", 119},
    {".TIF", Branch::Raster, Make<TTIF>, "Tagged Image File Format", "TIF", 119},
    {".PCD", Branch::Raster, Make<TPCD>, "Kodak PCD", "PCD", 128},
    {".JPG", Branch::Jpeg, nullptr, "", "", 0},
};

HGLOBAL LoadRaster(const LoaderRow& row, const char* path) {
  if (!row.make) return nullptr;
  std::unique_ptr<TBitmap_Base> codec = row.make();
  codec->SetDescriptor(row.description, row.extensions, row.capability);
  if (codec->Load(path) != kOk) return nullptr;  // the codec frees its block
  codec->OwnsMemory = 0;
  return codec->Handle;  // the destructor only unlocks it
}
}  // namespace

HGLOBAL LoadImageFile(const char* path) {
  if (!path || !*path) return nullptr;
  for (const LoaderRow& row : kRows) {
    if (!ContainsNoCase(path, row.text)) continue;
    switch (row.branch) {
      case Branch::Raster: return LoadRaster(row, path);
      case Branch::Jpeg: return LoadJPEG(path);
      case Branch::Metafile: return nullptr;
    }
  }
  return nullptr;
}

int IsImageFile(const char* path) {
  if (!path) return 0;
  const char* dot = std::strrchr(path, '.');
  if (!dot) return 0;
  std::string ext = dot;
  for (const LoaderRow& row : kRows)
    if (ext.size() == std::strlen(row.text) && ContainsNoCase(ext, row.text)) return 1;
  return 0;
}
