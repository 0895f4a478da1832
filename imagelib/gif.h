// TGIF: GIF87a and GIF89a files.
//
// The reader produces a DIB of the logical screen's size (1, 4 or 8 bits per
// pixel, from the screen descriptor's size field) holding the colour indices
// of one image at its position on the screen, with that image's colour
// table. Pixels the image does not cover stay index 0. No compositing,
// disposal or transparency is applied; what the extensions say about the
// image (graphic control, loop count, comments) lands in members.
//
// One object reads one file; the LZW decoder keeps its state in the object.
#pragma once

#include <cstdint>
#include <string>

#include "imagelib/bitmap_base.h"

// Result codes with their meaning in this reader.
constexpr int kErrGifBadBlock = kErrBitCount;  // a byte between blocks introduces nothing known
constexpr int kErrGifColourTable = kErrNoSuchImage;  // local table too large, or no table
constexpr int kErrGifOffScreen = 18;  // the image starts at or beyond the right or bottom edge
constexpr int kErrGifNoImage = 19;    // the trailer came before the wanted image

// The description of one image of a GIF file. The writer takes a record of
// exactly this layout from its caller.
struct GIFFRAME {
  COLORREF TransparentColor;  // colour of the transparent index, red in the low byte
  DWORD FrameWidth;
  DWORD FrameHeight;  // after clipping to the screen
  DWORD FrameLeft;    // moved down to a byte boundary of the DIB row
  DWORD FrameTop;
  DWORD StoredLeft;  // as the file stores it
  DWORD StoredTop;
  DWORD Delay;        // milliseconds
  BYTE Interlaced;    // 0x40 when interlaced, else 0
  BYTE Transparent;   // 1 when the graphic control sets the transparent flag
  BYTE Disposal;      // 0 to 7
  BYTE UserInput;     // 2 when the user-input flag is set, else 0
  BYTE HasLocalTable;
  WORD LocalColors;  // entries of the colour table the image uses
  DWORD TransparentIndex;
};

// The LZW string table shared by decoder and encoder: a code's string is its
// prefix code's string followed by its suffix byte.
struct TLzwTables {
  static constexpr int kCodes = 4096;
  std::int32_t Prefix[kCodes];
  BYTE Suffix[kCodes];
  BYTE Stack[kCodes];  // a string, built from its last byte backwards
};
static_assert(sizeof(TLzwTables) == 24576);

class TGIF : public TBitmap_Base {
 public:
  TGIF();

  // Signature, logical screen and global colour table; options are not used.
  int ReadHeader(int file, const char* options) override;
  // The colour table of the current image (local, else global) into the DIB.
  int ReadPalette(int file, RGBQUAD* colourTable) override;
  // Walks the blocks and reads the image chosen by ImageIndex into the DIB.
  int ReadBits(int file, BYTE* bits) override;
  // Writes nothing and returns 0.
  int WriteDIB(int file, HGLOBAL dib) override;

  BYTE* Indices = nullptr;  // one byte per pixel of the image, rows top to bottom
  BYTE* OutPos = nullptr;   // decoder: next write position in Indices
  int MinCodeSize = 0;
  int CodeSize = 0;
  int CodeMask = 0;
  int ClearCode = 0;
  int EndCode = 0;
  int NextCode = 0;
  int PrevCode = 0;    // 4096 = none
  int ScreenBits = 0;  // size field of the screen descriptor + 1
  BYTE LocalTable[768] = {};  // red, green, blue triples as in the file
  BYTE GlobalTable[768] = {};
  LONG DataStart = 0;  // file offset of the first block after the global table
  TLzwTables LzwTables;  // not cleared: every entry is set before it can be read
  int ImageIndex = 0;  // the image to read, 0 = the first
  int HasGlobalTable = 0;
  COLORREF BackgroundColor = RGB(255, 255, 255);
  int LoopCount = 0;  // repetitions from the NETSCAPE2.0 extension
  WORD GlobalColors = 0;
  GIFFRAME Frame{};
  int ImagesRead = -1;  // number of the last image read
  LONG ResumePos = -1;  // sequential reading: offset after the last image read
  int Sequential = 0;   // 1 = each Load reads the next image
  std::string Comment;  // all comment extensions read, concatenated

 protected:
  void ReadExtension(int file);
  int ReadImage(int file, BYTE* bits);
  int DecodeImageData(int file, DWORD width, DWORD height);
  // 1 = valid, 0 = invalid code, -1 = the string would run past the image.
  int ExpandCode(int code);
  void PackRow(BYTE* destination, DWORD sourceRow, DWORD width, DWORD copyWidth,
               DWORD bitCount);

 private:
  int ReadImageDescriptor(int file, DWORD& width, DWORD& height);
  int ReadLocalTable(int file, BYTE packed);
  void ReadGraphicControl(const BYTE* block);
  int PlaceImage(BYTE* bits, DWORD width, DWORD height);
  void StoreRows(BYTE* destination, DWORD width, DWORD height, DWORD copyWidth,
                 const DWORD* sourceRows);
  int DecodeSubBlocks(int file);
  void ResetCodeTable();

  BYTE* OutEnd = nullptr;  // end of the image's indices: the decoder writes no further
  BYTE FirstChar = 0;      // first byte of the previous code's string
};
