// The system's open and save dialogs: Qt's own file dialog widget.
#pragma once

#include <string>

#include "platform/ui/window.h"

constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_CREATEPROMPT = 0x00002000;
constexpr DWORD OFN_EXPLORER = 0x00080000;

// The chosen path does not fit the name buffer.
constexpr DWORD FNERR_BUFFERTOOSMALL = 0x3003;

class TOpenSaveDialog {
 public:
  struct TData {
    // filter: pairs of description and patterns ("*.bmp;*.gif"), each part
    // ended by '|'. defExt: an extension to append to names without one
    // ("*" or null: none).
    TData(DWORD flags = 0, const char* filter = nullptr, char* customFilter = nullptr,
          const char* initialDir = nullptr, const char* defExt = nullptr);

    DWORD Flags;
    DWORD Error = 0;
    // The initial name on entry, the chosen path after OK.
    char FileName[MAX_PATH] = {};
    std::string Filter;
    char* CustomFilter;
    std::string InitialDir;
    std::string DefExt;
    int FilterIndex = 0;
  };

  TOpenSaveDialog(TWindow* parent, TData& data, bool open);
  // Runs the dialog; IDOK when a name was chosen, else IDCANCEL (with
  // data.Error set when the dialog failed).
  int Execute();

 private:
  TWindow* Parent;
  TData& Data;
  bool Open;
};

class TFileOpenDialog : public TOpenSaveDialog {
 public:
  TFileOpenDialog(TWindow* parent, TData& data, TResId templateId = 0, const char* title = nullptr,
                  TModule* module = nullptr);
};

class TFileSaveDialog : public TOpenSaveDialog {
 public:
  TFileSaveDialog(TWindow* parent, TData& data, TResId templateId = 0, const char* title = nullptr,
                  TModule* module = nullptr);
};

// The error of the file dialog that ran last; 0 when it did not fail.
DWORD CommDlgExtendedError();
