#include "util/window_strings.h"

#include <vector>

#include "platform/ui/controls.h"

BOOL SetWindowString(const std::string& text, HWND window) {
  return SetWindowText(window, text.c_str());
}

void GetWindowString(std::string& out, HWND window) {
  std::vector<char> buffer(std::size_t(GetWindowTextLength(window)) + 1);
  int length = GetWindowText(window, buffer.data(), int(buffer.size()));
  out.assign(buffer.data(), std::size_t(length));
}

void SetComboString(const std::string& text, HWND comboBox) {
  SetWindowText(comboBox, text.empty() ? nullptr : text.c_str());
}
