// TDib and TPalette, the data side of the drawing layer's DIB and palette
// objects: a packed DIB in a global memory block, and a logical palette built
// from a colour table. Drawing them is the business of platform/gdi.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/core/global_memory.h"
#include "platform/core/wintypes.h"

enum TAutoDelete { NoAutoDelete, AutoDelete };

class TDib {
 public:
  // Takes the packed DIB in the block; locks it for the object's lifetime.
  // With AutoDelete the block is freed when the object goes.
  TDib(HGLOBAL handle, TAutoDelete autoDelete);
  // A copy with its own block.
  TDib(const TDib& other);
  TDib& operator=(const TDib&) = delete;
  ~TDib();

  // True when the block holds at least a 40-byte header.
  bool IsOK() const { return Info != nullptr; }
  HGLOBAL GetHandle() const { return Handle; }

  const BITMAPINFOHEADER* GetInfoHeader() const { return &Info->bmiHeader; }
  const BITMAPINFO* GetInfo() const { return Info; }
  LONG Width() const { return Info->bmiHeader.biWidth; }
  LONG Height() const { return Info->bmiHeader.biHeight; }
  WORD BitsPerPixel() const { return Info->bmiHeader.biBitCount; }
  // biClrUsed, or the full table for 1/4/8 bits when the header says 0.
  DWORD NumColors() const;
  const RGBQUAD* GetColors() const;
  BYTE* GetBits() const;
  // Bytes of the block from the bits to its end.
  std::size_t BitsSize() const;

 private:
  HGLOBAL Handle;
  bool ShouldDelete;
  BITMAPINFO* Info = nullptr;
};

// A logical palette: looking colours up and finding the nearest entry.
class TPalette {
 public:
  TPalette(const PALETTEENTRY* entries, std::size_t count);
  // The palette of a DIB's colour table (empty for a DIB without one).
  explicit TPalette(const TDib& dib);

  std::size_t GetNumEntries() const { return Entries.size(); }
  // Copies up to count entries from start on; returns how many were copied
  // (0 when start lies beyond the palette).
  UINT GetPaletteEntries(UINT start, UINT count, PALETTEENTRY* out) const;
  // The index of the entry nearest to the colour (smallest squared distance,
  // the lowest index on a tie); 0 for an empty palette.
  UINT GetNearestPaletteIndex(COLORREF colour) const;

 private:
  std::vector<PALETTEENTRY> Entries;
};
