// Feeds fuzzer input to the JPEG bridge through a path, as the loader does.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE

#include "fuzz/fuzz_support.h"
#include "imagelib/jpeg.h"

// After our headers: jpeglib.h defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace {

struct QuietErrors {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

[[noreturn]] void JumpBack(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<QuietErrors*>(cinfo->err)->jump, 1);
}

void Silent(j_common_ptr) {}

// libjpeg fills a cut-off picture up to its full frame, so a few bytes can
// ask for gigabytes of decoded rows. Like libjpeg-turbo's own fuzzers, leave
// frames beyond a few megapixels out; nothing else is held back.
bool FrameIsSmall(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint64_t kMaxPixels = 4u << 20;
  jpeg_decompress_struct cinfo;
  QuietErrors errors;
  cinfo.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = JumpBack;
  errors.pub.output_message = Silent;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return true;  // the bridge meets the same error on its own
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  bool small = std::uint64_t(cinfo.image_width) * cinfo.image_height <= kMaxPixels;
  jpeg_destroy_decompress(&cinfo);
  return small;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!FrameIsSmall(data, size)) return 0;
  HGLOBAL dib = LoadJPEG(PathForBytes(data, size));
  GlobalFree(dib);
  return 0;
}
