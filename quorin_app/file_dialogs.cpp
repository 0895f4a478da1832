#include "quorin_app/file_dialogs.h"

#include <cstring>

namespace {
int RunFileDialog(TWindow* owner, TOpenSaveDialog::TData& data, bool open) {
  if (open) return TFileOpenDialog(owner, data).Execute();
  return TFileSaveDialog(owner, data).Execute();
}
}  // namespace

bool AskForFileName(TWindow* owner, char* name, bool open, const char* filter, const char* defExt,
                    DWORD flags, char* customFilter, const char* initialDir) {
  TOpenSaveDialog::TData data(flags | OFN_EXPLORER, filter, customFilter, initialDir,
                              defExt ? defExt : "*");
  if (std::strlen(name) < sizeof data.FileName) std::strcpy(data.FileName, name);
  int result = RunFileDialog(owner, data, open);
  if (result != IDOK && CommDlgExtendedError() != 0) {
    data.FileName[0] = 0;
    result = RunFileDialog(owner, data, open);
  }
  if (result != IDOK) return false;
  std::strcpy(name, data.FileName);
  return true;
}
