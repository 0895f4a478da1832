#include "platform/core/dib.h"

#include <algorithm>
#include <cstring>

TDib::TDib(HGLOBAL handle, TAutoDelete autoDelete)
    : Handle(handle), ShouldDelete(autoDelete == AutoDelete) {
  if (Handle && GlobalSize(Handle) >= sizeof(BITMAPINFOHEADER))
    Info = static_cast<BITMAPINFO*>(GlobalLock(Handle));
}

TDib::TDib(const TDib& other) : Handle(nullptr), ShouldDelete(true) {
  if (!other.Handle) return;
  std::size_t size = GlobalSize(other.Handle);
  Handle = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!Handle) return;
  void* target = GlobalLock(Handle);
  std::memcpy(target, GlobalLock(other.Handle), size);
  GlobalUnlock(other.Handle);
  if (size >= sizeof(BITMAPINFOHEADER)) Info = static_cast<BITMAPINFO*>(target);
  else GlobalUnlock(Handle);
}

TDib::~TDib() {
  if (Info) GlobalUnlock(Handle);
  if (ShouldDelete && Handle) GlobalFree(Handle);
}

DWORD TDib::NumColors() const {
  const auto& h = Info->bmiHeader;
  if (h.biClrUsed) return h.biClrUsed;
  return h.biBitCount <= 8 ? DWORD(1) << h.biBitCount : 0;
}

const RGBQUAD* TDib::GetColors() const {
  auto* base = reinterpret_cast<const BYTE*>(Info);
  std::size_t offset = sizeof(BITMAPINFOHEADER);
  if (Info->bmiHeader.biCompression == BI_BITFIELDS) offset += 12;
  return reinterpret_cast<const RGBQUAD*>(base + offset);
}

BYTE* TDib::GetBits() const {
  auto* base = reinterpret_cast<BYTE*>(Info);
  std::size_t offset = reinterpret_cast<const BYTE*>(GetColors()) - base;
  offset += std::size_t(NumColors()) * sizeof(RGBQUAD);
  return base + offset;
}

std::size_t TDib::BitsSize() const {
  std::size_t offset = GetBits() - reinterpret_cast<BYTE*>(Info);
  std::size_t size = GlobalSize(Handle);
  return offset < size ? size - offset : 0;
}

TPalette::TPalette(const PALETTEENTRY* entries, std::size_t count)
    : Entries(entries, entries + count) {}

TPalette::TPalette(const TDib& dib) {
  if (!dib.IsOK() || dib.BitsPerPixel() > 8) return;
  const RGBQUAD* colours = dib.GetColors();
  // Never read past the block, whatever the header claims.
  std::size_t room = (GlobalSize(dib.GetHandle()) -
                      (reinterpret_cast<const BYTE*>(colours) -
                       reinterpret_cast<const BYTE*>(dib.GetInfo()))) /
                     sizeof(RGBQUAD);
  std::size_t count = std::min<std::size_t>(dib.NumColors(), room);
  Entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    Entries.push_back({colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0});
}

UINT TPalette::GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* out) const {
  if (start >= Entries.size()) return 0;
  UINT n = std::min<UINT>(count, UINT(Entries.size() - start));
  std::memcpy(out, &Entries[start], n * sizeof(PALETTEENTRY));
  return n;
}

UINT TPalette::GetNearestPaletteIndex(COLORREF colour) const {
  UINT best = 0;
  long bestDistance = -1;
  for (UINT i = 0; i < Entries.size(); ++i) {
    long dr = long(Entries[i].peRed) - GetRValue(colour);
    long dg = long(Entries[i].peGreen) - GetGValue(colour);
    long db = long(Entries[i].peBlue) - GetBValue(colour);
    long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return best;
}
