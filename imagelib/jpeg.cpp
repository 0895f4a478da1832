#include "imagelib/jpeg.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "imagelib/bitmap_base.h"

// libjpeg reports errors by calling error_exit, which must not return; ours
// jumps back to LoadJPEG with longjmp. A longjmp skips destructors, so no
// object with a destructor may live in the frames it crosses: this file uses
// plain records and C streams only, and the records that must survive the
// jump live in the caller of the function that sets the jump point.

namespace {

// Where the decoded scanlines go: one packed DIB being filled.
struct cjpeg_dest_struct {
  HGLOBAL handle;             // the result; null until the block exists
  JDIMENSION width;
  JDIMENSION height;
  DWORD stride;
  BYTE* block;                // start of the locked block
  BITMAPINFOHEADER* header;   // the same address as block
  BYTE* pixels;               // first byte of the bottom row
  JDIMENSION rowsStored;
};

// The library's standard error manager with the jump point behind it.
struct dib_error_mgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

constexpr int kGreyColours = 256;

[[noreturn]] void dib_error_exit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  std::longjmp(reinterpret_cast<dib_error_mgr*>(cinfo->err)->jump, 1);
}

// Bits per pixel of the DIB for the decoder's output colour space; 0 when a
// DIB has no layout for it (CMYK and YCCK files, unknown spaces).
WORD BitsForOutput(const jpeg_decompress_struct& cinfo) {
  switch (cinfo.out_color_space) {
    case JCS_GRAYSCALE: return 8;
    case JCS_EXT_BGR: return 24;
    default: return 0;
  }
}

void FillHeader(const cjpeg_dest_struct& dest, WORD bits, int colours) {
  BITMAPINFOHEADER& h = *dest.header;
  h.biSize = 40;
  h.biWidth = LONG(dest.width);
  h.biHeight = LONG(dest.height);
  h.biPlanes = 1;
  h.biBitCount = bits;
  h.biCompression = BI_RGB;
  h.biSizeImage = dest.stride * dest.height;
  h.biXPelsPerMeter = kDefaultPelsPerMeter;
  h.biYPelsPerMeter = kDefaultPelsPerMeter;
  h.biClrUsed = DWORD(colours);
  h.biClrImportant = 0;
  auto* table = reinterpret_cast<RGBQUAD*>(dest.block + 40);
  for (int i = 0; i < colours; ++i) table[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
}

// Allocates and prepares the DIB for the frame. Leaves dest.handle null when
// the output has no DIB layout or the block cannot be had.
void start_dib_output(cjpeg_dest_struct* dest, j_decompress_ptr cinfo) {
  dest->width = cinfo->image_width;
  dest->height = cinfo->image_height;
  WORD bits = BitsForOutput(*cinfo);
  int colours = bits == 8 ? kGreyColours : 0;
  std::uint64_t stride = RowStride64(dest->width, bits);
  std::uint64_t size = 40 + 4u * std::uint64_t(colours) + stride * dest->height;
  if (bits == 0 || size > kMaxDibBytes) return;

  HGLOBAL handle = GlobalAlloc(GHND, std::size_t(size));
  auto* block = static_cast<BYTE*>(GlobalLock(handle));
  if (!block) {
    GlobalFree(handle);
    return;
  }
  dest->handle = handle;
  dest->stride = DWORD(stride);
  dest->block = block;
  dest->header = reinterpret_cast<BITMAPINFOHEADER*>(block);
  dest->pixels = block + 40 + 4 * colours;
  dest->rowsStored = 0;
  FillHeader(*dest, bits, colours);
}

// Decodes the next scanline straight into its DIB row. The top of the
// picture comes first and lands in the last row, so the rows fill upwards.
// Called only while rowsStored < height.
void put_dib_rows(cjpeg_dest_struct* dest, j_decompress_ptr cinfo) {
  JSAMPROW row = dest->pixels + std::size_t(dest->height - dest->rowsStored - 1) * dest->stride;
  dest->rowsStored += jpeg_read_scanlines(cinfo, &row, 1);
}

// Runs libjpeg over the open file into dest. False when the library raised
// an error or no DIB could be made; decoding stops at once then.
bool Decode(std::FILE* file, jpeg_decompress_struct* cinfo, dib_error_mgr* jerr,
            cjpeg_dest_struct* dest) {
  cinfo->err = jpeg_std_error(&jerr->pub);
  jerr->pub.error_exit = dib_error_exit;
  if (setjmp(jerr->jump)) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_create_decompress(cinfo);
  jpeg_stdio_src(cinfo, file);
  jpeg_read_header(cinfo, TRUE);
  // The DIB keeps blue, green, red. libjpeg-turbo's colour converter writes
  // that order itself, with the samples of the default RGB output, so no
  // pass over the pixels is needed to swap them.
  if (cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = JCS_EXT_BGR;
  // The layout and size are known from the header: refuse before the
  // decompressor allocates its own buffers for a picture we cannot hold.
  start_dib_output(dest, cinfo);
  if (!dest->handle) {
    jpeg_destroy_decompress(cinfo);
    return false;
  }
  jpeg_start_decompress(cinfo);
  while (cinfo->output_scanline < cinfo->output_height && dest->rowsStored < dest->height)
    put_dib_rows(dest, cinfo);
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return true;
}

}  // namespace

HGLOBAL LoadJPEG(const char* path) {
  if (!path) return nullptr;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    std::fprintf(stderr, "can't open %s\n", path);
    return nullptr;
  }
  jpeg_decompress_struct cinfo;
  dib_error_mgr jerr;
  cjpeg_dest_struct dest{};
  bool decoded = Decode(file, &cinfo, &jerr, &dest);
  std::fclose(file);
  if (decoded) return dest.handle;
  // A block made before the library gave up holds a partial picture.
  GlobalFree(dest.handle);
  return nullptr;
}
