#include "imagelib/bitmap_base.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/lowio.h"

DWORD RowStride(DWORD width, DWORD bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

std::uint64_t RowStride64(std::uint64_t width, std::uint64_t bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

BYTE* PixelAddress(const TDib& dib, LONG x, LONG y) {
  if (!dib.IsOK()) return nullptr;
  const BITMAPINFOHEADER& h = *dib.GetInfoHeader();
  if (x < 0 || y < 0 || x >= h.biWidth || y >= h.biHeight) return nullptr;
  std::uint64_t stride = RowStride64(std::uint64_t(h.biWidth), h.biBitCount);
  std::uint64_t offset = std::uint64_t(h.biHeight - 1 - y) * stride +
                         std::uint64_t(x) * h.biBitCount / 8;
  std::uint64_t end = stride * std::uint64_t(h.biHeight);
  // The header may claim more rows than the block holds.
  if (offset >= end || offset >= dib.BitsSize()) return nullptr;
  return dib.GetBits() + offset;
}

TBitmap_Base::TBitmap_Base() : Handle(nullptr) {
  Description[0] = 0;
  Extensions[0] = 0;
  Capability = 0;
  ResetMembers();
}

TBitmap_Base::~TBitmap_Base() { Release(); }

void TBitmap_Base::ResetMembers() {
  Bits = nullptr;
  Handle = nullptr;
  Header = nullptr;
  Info = nullptr;
  Palette = nullptr;
  Masks = nullptr;
  HasMasks = 0;
  OwnsMemory = 1;
  Colors = 0;
  Width = 0;
  Height = 0;
  BitCount = 0;
  FileSize = 0;
  ImageSize = 0;
  PaletteBytes = 0;
  DibSize = 0;
  XPelsPerMeter = 0;
  YPelsPerMeter = 0;
  ColorsImportant = 0;
  HeaderSize = 40;
}

void TBitmap_Base::SetDescriptor(const char* description, const char* extensions,
                                 int capability) {
  std::snprintf(Description, sizeof Description, "%s", description);
  std::snprintf(Extensions, sizeof Extensions, "%s", extensions);
  Capability = capability;
}

void TBitmap_Base::Release() {
  if (!Handle) return;
  GlobalUnlock(Handle);
  if (OwnsMemory) GlobalFree(Handle);
}

void TBitmap_Base::ComputeSizes() {
  // Unsigned arithmetic: absurd headers wrap here instead of overflowing, and
  // SizesAreSane refuses them before anything is allocated.
  ImageSize = LONG(RowStride(Width, BitCount) * DWORD(Height));
  PaletteBytes = LONG(DWORD(Colors) * 4u);
  DibSize = LONG((HasMasks ? 52u : 40u) + DWORD(PaletteBytes) + DWORD(ImageSize));
}

bool TBitmap_Base::SizesAreSane() const {
  if (Width == 0 || Height <= 0 || Colors < 0 || Colors > 65536) return false;
  std::uint64_t image = RowStride64(Width, BitCount) * std::uint64_t(Height);
  std::uint64_t total = (HasMasks ? 52u : 40u) + std::uint64_t(Colors) * 4 + image;
  return total <= kMaxDibBytes && std::uint64_t(ImageSize) == image &&
         std::uint64_t(DibSize) == total;
}

int TBitmap_Base::ColorsForBitCount(WORD bitCount) {
  switch (bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

namespace {
constexpr std::size_t kMaxOptionsText = 103;

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }

// Walks the tokens of the options text (at most its first 103 characters) and
// returns the first for which match(token, length) holds.
template <typename Match>
const char* FindToken(const char* options, Match match) {
  if (!options) return nullptr;
  std::size_t limit = strnlen(options, kMaxOptionsText);
  std::size_t i = 0;
  while (i < limit) {
    while (i < limit && IsSeparator(options[i])) ++i;
    std::size_t start = i;
    while (i < limit && !IsSeparator(options[i])) ++i;
    if (i > start && match(options + start, i - start)) return options + start;
  }
  return nullptr;
}

bool StartsWithNoCase(const char* token, std::size_t length, const char* keyword) {
  std::size_t n = std::strlen(keyword);
  if (n == 0 || length < n) return false;
  for (std::size_t k = 0; k < n; ++k)
    if (std::toupper(static_cast<unsigned char>(token[k])) !=
        std::toupper(static_cast<unsigned char>(keyword[k])))
      return false;
  return true;
}
}  // namespace

const char* TBitmap_Base::HasOption(const char* options, const char* keyword) {
  if (!keyword) return nullptr;
  return FindToken(options, [&](const char* token, std::size_t length) {
    return length == std::strlen(keyword) && StartsWithNoCase(token, length, keyword);
  });
}

const char* TBitmap_Base::FindOption(const char* options, const char* keyword) {
  if (!keyword) return nullptr;
  return FindToken(options, [&](const char* token, std::size_t length) {
    return StartsWithNoCase(token, length, keyword);
  });
}

int TBitmap_Base::Load(const char* path) {
  Release();
  ResetMembers();
  TFileHandle file(_open(path, _O_RDONLY | _O_BINARY));
  if (!file.IsOpen()) return kErrOpen;
  int result = ReadHeader(file.Get(), nullptr);
  if (result != kOk) return result;
  return AllocateAndRead(file.Get());
}

int TBitmap_Base::LoadFromHandle(int file, const char* options) {
  Release();
  // The geometry members stay as they are, but nothing may point into the
  // block that was just released.
  Handle = nullptr;
  Header = nullptr;
  Info = nullptr;
  Bits = nullptr;
  Palette = nullptr;
  Masks = nullptr;
  if (file < 0) return kErrOpen;
  int result = ReadHeader(file, options);
  if (result != kOk) return result;
  return AllocateAndRead(file);
}

int TBitmap_Base::AllocateAndRead(int file) {
  if (!AllocateBlock()) return kErrMemory;
  if (HasMasks && _read(file, Masks, 12) != 12) return kErrShortRead;
  if (ColorsForBitCount(WORD(BitCount)) != 0) {
    int result = ReadPalette(file, Palette);
    if (result != kOk) return result;
  }
  return ReadBits(file, Bits);
}

bool TBitmap_Base::AllocateBlock() {
  // Sizes that do not describe a block we could hold are a memory failure:
  // the same answer an allocator gives for an impossible request.
  if (!SizesAreSane()) return false;
  Handle = GlobalAlloc(GHND, std::size_t(DibSize));
  if (!Handle) return false;
  auto* block = static_cast<BYTE*>(GlobalLock(Handle));
  if (!block) return false;

  Header = reinterpret_cast<BITMAPINFOHEADER*>(block);
  Info = reinterpret_cast<BITMAPINFO*>(block);
  Header->biSize = 40;
  Header->biWidth = LONG(Width);
  Header->biHeight = Height;
  Header->biPlanes = 1;
  Header->biBitCount = WORD(BitCount);
  Header->biCompression = HasMasks ? BI_BITFIELDS : BI_RGB;
  Header->biSizeImage = DWORD(ImageSize);
  Header->biXPelsPerMeter = XPelsPerMeter ? XPelsPerMeter : kDefaultPelsPerMeter;
  Header->biYPelsPerMeter = YPelsPerMeter ? YPelsPerMeter : kDefaultPelsPerMeter;
  Header->biClrUsed = DWORD(Colors);
  Header->biClrImportant = DWORD(ColorsImportant);

  std::size_t masksBytes = HasMasks ? 12 : 0;
  Masks = HasMasks ? reinterpret_cast<DWORD*>(block + 40) : nullptr;
  Palette = reinterpret_cast<RGBQUAD*>(block + 40 + masksBytes);
  Bits = block + 40 + masksBytes + PaletteBytes;
  return true;
}

TBitmap_Base::AHEAD::AHEAD() : Buffer(static_cast<BYTE*>(std::malloc(kBufferSize))) {}

TBitmap_Base::AHEAD::~AHEAD() { std::free(Buffer); }

bool TBitmap_Base::AHEAD::Refill(int file) {
  long n = Buffer ? _read(file, Buffer, kBufferSize) : -1;
  Position = 0;
  Count = n > 0 ? int(n) : 0;
  return n > 0;
}
