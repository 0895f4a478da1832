// Asking the user for a file name with the system's open or save dialog.
#pragma once

#include "platform/core/wintypes.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/window.h"

// Shows the open (open = true) or save dialog owned by owner. name holds
// the initial name on entry (at least MAX_PATH bytes; a name that does not
// fit is not offered) and the chosen path after OK. filter: description and
// patterns separated and ended by '|'. defExt null means "*". OFN_EXPLORER
// is always added. A dialog that fails is run once more with an empty name.
// True when the user confirmed; otherwise name is unchanged.
bool AskForFileName(TWindow* owner, char* name, bool open, const char* filter,
                    const char* defExt = nullptr, DWORD flags = 0, char* customFilter = nullptr,
                    const char* initialDir = nullptr);
