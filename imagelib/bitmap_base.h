// The packed DIB model and TBitmap_Base, the common frame of the raster
// readers.
//
// A packed DIB is one global memory block: a 40-byte BITMAPINFOHEADER with a
// positive height, the three bit-field masks when biCompression is 3, the
// RGBQUAD colour table, and the pixel rows bottom row first, each padded to a
// multiple of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/core/dib.h"
#include "platform/core/global_memory.h"
#include "platform/core/wintypes.h"

// Result codes of the readers; 0 is success.
enum : int {
  kOk = 0,
  kErrMemory = 1,
  kErrSignature = 5,
  kErrZeroSize = 6,
  kErrShortRead = 7,
  kErrOpen = 8,
  kErrWrite = 9,
  kErrNullHandle = 10,
  kErrVariant = 12,
  kErrBitCount = 13,
  kErrLayout = 14,
  kErrCompression = 15,
  kErrNoSuchImage = 16,
  kErrCorrupt = 17,
};

// Resolution written when a file gives none: 75 dots per inch.
constexpr LONG kDefaultPelsPerMeter = 2953;

// Packed DIBs larger than this are refused with kErrMemory.
constexpr std::uint64_t kMaxDibBytes = 0x7fffffffu;

// Bytes per row, padded to 4: ((width * bitCount + 31) / 32) * 4 in unsigned
// 32-bit arithmetic.
DWORD RowStride(DWORD width, DWORD bitCount);
// The same in 64 bits, for checking sizes before they are trusted.
std::uint64_t RowStride64(std::uint64_t width, std::uint64_t bitCount);

// Address of the byte holding pixel (x, y), y counted from the picture's top;
// null outside the picture or outside the bits.
BYTE* PixelAddress(const TDib& dib, LONG x, LONG y);

class TBitmap_Base {
 public:
  TBitmap_Base();
  virtual ~TBitmap_Base();
  TBitmap_Base(const TBitmap_Base&) = delete;
  TBitmap_Base& operator=(const TBitmap_Base&) = delete;

  // Reads and checks the file's header, sets the geometry, then calls
  // ComputeSizes. options may be null.
  virtual int ReadHeader(int file, const char* options) = 0;
  // Fills Colors entries; called only for 1, 4 and 8 bits per pixel.
  virtual int ReadPalette(int file, RGBQUAD* colourTable) = 0;
  // Fills ImageSize bytes of bottom-up rows.
  virtual int ReadBits(int file, BYTE* bits) = 0;
  // Writes a packed DIB in the codec's format; only the BMP codec writes.
  virtual int WriteDIB(int file, HGLOBAL dib) = 0;

  // Loads the file into a new packed DIB held in Handle.
  int Load(const char* path);
  // The same on a file the caller opened and keeps open.
  int LoadFromHandle(int file, const char* options);

  // Unlocks the block once and frees it when the object owns it.
  void Release();
  void ComputeSizes();
  static int ColorsForBitCount(WORD bitCount);

  // The token of the options text equal to keyword (any letter case), or null.
  static const char* HasOption(const char* options, const char* keyword);
  // The token that begins with keyword (any letter case), or null.
  static const char* FindOption(const char* options, const char* keyword);

  // Whole-image transforms of the held packed DIB; 1 when the temporary row
  // cannot be had, else 0.
  int FlipVertical();
  int MirrorHorizontal();

  void SetDescriptor(const char* description, const char* extensions, int capability);

  // Buffered byte reader for decoders that consume a file a byte at a time.
  class AHEAD {
   public:
    static constexpr int kBufferSize = 16384;
    AHEAD();
    ~AHEAD();
    AHEAD(const AHEAD&) = delete;
    AHEAD& operator=(const AHEAD&) = delete;
    // The next byte 0..255, or -1 at the end of the file or on an error;
    // every later call tries the file again. Inline: run-length decoders
    // call it once per byte.
    int NextByte(int file) {
      if (Position >= Count && !Refill(file)) return -1;
      return Buffer[Position++];
    }

   private:
    bool Refill(int file);

    BYTE* Buffer;
    int Position = 0;
    int Count = 0;
  };

  int OwnsMemory;
  int Colors;
  DWORD Width;
  LONG Height;
  DWORD BitCount;
  DWORD HeaderSize;
  LONG FileSize;
  LONG ImageSize;
  LONG PaletteBytes;
  LONG DibSize;
  LONG XPelsPerMeter;
  LONG YPelsPerMeter;
  LONG ColorsImportant;
  char Description[64];
  int Capability;
  char Extensions[64];
  DWORD* Masks;
  int HasMasks;
  BITMAPINFOHEADER* Header;
  BYTE* Bits;
  RGBQUAD* Palette;
  HGLOBAL Handle;
  BITMAPINFO* Info;

 protected:
  // True when the sizes set by ComputeSizes describe a block that can be
  // allocated: positive, consistent, and within kMaxDibBytes.
  bool SizesAreSane() const;
  // Allocates the zero-filled block for the sizes set by ComputeSizes, locks
  // it, fills its header and points Header, Info, Masks, Palette and Bits
  // into it. False when the sizes are not sane or memory cannot be had.
  bool AllocateBlock();

 private:
  void ResetMembers();
  int AllocateAndRead(int file);
};
