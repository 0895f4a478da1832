// The JPEG bridge: decodes a JPEG/JFIF file with libjpeg (release-6 API, the
// library's default decompression parameters) into a packed DIB.
#pragma once

#include "platform/core/global_memory.h"

// The packed DIB of the file, owned by the caller: 8 bits per pixel with a
// linear grey colour table for one-component files, 24 bits (blue, green,
// red) for colour files, 2953 pixels per metre both ways. The block comes
// back still locked once. Null when the file cannot be opened (a "can't open"
// line goes to standard error), when libjpeg raises an error (its message
// goes to standard error), for output the DIB cannot hold (CMYK, YCCK) and
// when the block cannot be had; nothing stays allocated then.
HGLOBAL LoadJPEG(const char* path);
