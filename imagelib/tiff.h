// TTIF: the first image of a TIFF file. Read are stripped, single-plane images:
// bilevel and grey of 1, 4 or 8 bits, palette colour of 4 or 8 bits and RGB of
// 3 x 8 bits, each strip uncompressed, LZW or PackBits, with horizontal
// differencing for 8-bit samples. There is no TIFF writer.
//
// The whole file is read into memory by ReadHeader; the first IFD and the
// strips are taken from that copy, which ReadBits frees again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imagelib/bitmap_base.h"
#include "imagelib/byte_cursor.h"

class TTIF : public TBitmap_Base {
 public:
  // Result codes of this reader besides those of the base.
  static constexpr int kErrUnsupported = 2;  // a TIFF feature this reader does not read
  static constexpr int kErrNoDepth = 16;     // no DIB depth for the sample layout
  static constexpr int kErrByteOrder = 19;   // neither "II" nor "MM"

  TTIF();
  ~TTIF() override;

  // Reads the file into memory and interprets its first IFD; no options.
  int ReadHeader(int file, const char* options) override;
  // A grey ramp for bilevel and grey images, else the file's colour map.
  int ReadPalette(int file, RGBQUAD* colourTable) override;
  // Decodes the strips from the in-memory copy, then frees the copy.
  int ReadBits(int file, BYTE* bits) override;
  // There is no TIFF writer: writes nothing and returns 0.
  int WriteDIB(int file, HGLOBAL dib) override;

  // Unlocks and frees the in-memory copy of the file, if any.
  void FreeFileData();

  // The TIFF LZW decoder (most significant bit first, early change): decodes
  // count bytes at source into destination, at most capacity bytes. 1 when
  // the data or the room ran out or the end code came, 0 at a code without
  // a string. OutPos is left after the last byte decoded; bytes after it,
  // up to the capacity, may have been written over.
  int DecodeLzwStrip(const BYTE* source, BYTE* destination, std::size_t count,
                     std::size_t capacity);
  // The PackBits decoder with the same bounds; always 1.
  int UnpackBitsStrip(const BYTE* source, BYTE* destination, std::size_t count,
                      std::size_t capacity);

  // Tags of the first IFD, with the values they have when a tag is absent.
  DWORD ImageWidth = 0;
  DWORD ImageLength = 0;
  DWORD BitsPerSample = 1;
  DWORD SamplesPerPixel = 1;
  DWORD Compression = 1;
  DWORD Photometric = 0;
  LONG RowsPerStrip = -1;  // -1: the whole image is one strip
  // File offsets of the strip arrays (of the entry's own value field when the
  // array fits there), their counts and field types.
  DWORD StripOffsets = 0;
  DWORD StripByteCounts = 0;
  DWORD StripOffsetsCount = 0;
  DWORD StripByteCountsCount = 0;
  DWORD StripOffsetsType = 4;
  DWORD StripByteCountsType = 4;
  double XResolution = 0;
  double YResolution = 0;
  DWORD ResolutionUnit = 2;
  DWORD ColorMap = 0;  // file offset of the colour map, 0 = none
  DWORD FillOrder = 1;
  DWORD PlanarConfiguration = 1;
  DWORD ExtraSamples = 0;
  DWORD Predictor = 1;
  DWORD TileWidth = 0;
  DWORD TileLength = 0;

  BYTE* FileData = nullptr;  // locked copy of the whole file
  HGLOBAL FileBlock = nullptr;
  std::size_t FileDataSize = 0;
  DWORD IsGrey = 0;  // 1 for WhiteIsZero and BlackIsZero
  DWORD LittleEndian = 0;

  // Where the last strip decoder stopped writing.
  BYTE* OutPos = nullptr;
  // The LZW string table. A string beyond the 256 single bytes is an earlier
  // string plus the byte that followed it in the output, so it stands in the
  // output already: Offset bytes from the start of the strip, Length long.
  struct TLzwEntry {
    std::uint32_t Offset;
    std::uint32_t Length;
  };
  TLzwEntry LzwTables[4096] = {};

 private:
  struct TIfdEntry;
  struct TStripSpan {
    std::size_t Offset;
    std::size_t Length;
  };

  WORD Read16(ByteCursor& at) const;
  DWORD Read32(ByteCursor& at) const;
  ByteCursor CursorAt(std::uint64_t offset) const;

  int ReadFileCopy(int file);
  int InterpretFile();
  void ResetTags();
  int ReadIfd(DWORD offset);
  int ApplyEntry(const TIfdEntry& entry);
  bool ApplyScalarEntry(const TIfdEntry& entry);
  int ReadBitsPerSample(const TIfdEntry& entry);
  int ReadRational(const TIfdEntry& entry, double& value);
  WORD ShortValue(const TIfdEntry& entry) const;
  DWORD LongValue(const TIfdEntry& entry) const;
  DWORD ShortOrLongValue(const TIfdEntry& entry) const;
  int CheckSupported() const;
  int ChooseDepth();
  void ComputeResolution();
  int CheckColorMap() const;
  int CheckStrips() const;

  // Strip geometry: rows per strip (the image height for a single strip),
  // number of strips and bytes per row in the file.
  std::uint64_t StripRows() const;
  std::uint64_t StripCount() const;
  std::size_t SourceRowBytes() const;
  std::size_t RowsInStrip(std::uint64_t strip) const;
  bool StripSpan(std::uint64_t strip, TStripSpan& span) const;
  int ReadStrips(BYTE* bits);
  std::size_t DecodeStrip(const TStripSpan& span, BYTE* block, std::size_t capacity);
  void StoreRows(BYTE* bits, std::uint64_t firstRow, const BYTE* rows, std::size_t count) const;
};
