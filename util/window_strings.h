// A window's text as a byte string (UTF-8), in and out.
#pragma once

#include <string>

#include "platform/core/wintypes.h"
#include "platform/ui/window.h"

// Sets the window's text (a multi-line edit field takes "\r\n" as its line
// break); the result of SetWindowText, FALSE without a window.
BOOL SetWindowString(const std::string& text, HWND window);
// The window's whole text; "" without a window.
void GetWindowString(std::string& out, HWND window);
// Sets the text of a combo box; an empty text clears it.
void SetComboString(const std::string& text, HWND comboBox);
