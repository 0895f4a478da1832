// The one entry through which a program opens an image: picks a reader by
// the file-type text in the path and returns a packed DIB.
#pragma once

#include "platform/core/global_memory.h"

// The packed DIB of the image (owned by the caller, unlocked), or null when
// the path is null or empty, names no supported type, or the reader fails.
HGLOBAL LoadImageFile(const char* path);

// 1 when the path's last extension is one of the supported types (any letter
// case), else 0.
int IsImageFile(const char* path);
