// Resources of a program: dialog templates, icons and version data, kept in
// tables in code. A program's resource file fills one TModule.
#pragma once

#include <cstring>
#include <span>

#include "platform/core/wintypes.h"

// The name of a resource: a number or a text.
class TResId {
 public:
  constexpr TResId(int id) : Num(id), Name(nullptr) {}
  constexpr TResId(const char* name) : Num(0), Name(name) {}
  bool operator==(const TResId& other) const {
    if (Name || other.Name) return Name && other.Name && std::strcmp(Name, other.Name) == 0;
    return Num == other.Num;
  }
  int Number() const { return Num; }
  const char* Text() const { return Name; }

 private:
  int Num;
  const char* Name;
};

// Window and control styles that the templates use.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
// Top-level windows only: the same bits as WS_GROUP and WS_TABSTOP.
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD DS_3DLOOK = 0x4;
constexpr DWORD DS_SETFONT = 0x40;
constexpr DWORD DS_MODALFRAME = 0x80;
constexpr DWORD WS_EX_DLGMODALFRAME = 0x1;
constexpr DWORD BS_PUSHBUTTON = 0x0;
constexpr DWORD BS_DEFPUSHBUTTON = 0x1;
constexpr DWORD SS_LEFT = 0x0;
constexpr DWORD SS_BLACKFRAME = 0x7;
constexpr DWORD ES_LEFT = 0x0;
constexpr DWORD ES_MULTILINE = 0x4;
constexpr DWORD ES_AUTOVSCROLL = 0x40;
constexpr DWORD ES_AUTOHSCROLL = 0x80;
constexpr DWORD ES_READONLY = 0x800;
constexpr DWORD ES_WANTRETURN = 0x1000;

// A control of a dialog template; position and size in dialog units.
struct TControlTemplate {
  const char* ClassName;  // "BUTTON", "STATIC" or "EDIT"
  const char* Text;
  int Id;
  int X, Y, Cx, Cy;
  DWORD Style;
};

// A dialog template; position and size in dialog units of its font.
struct TDialogTemplate {
  TResId Id;
  const char* Caption;
  int PointSize;
  const char* FaceName;
  int X, Y, Cx, Cy;
  DWORD Style;
  DWORD ExStyle;
  std::span<const TControlTemplate> Controls;
};

// An icon group: a large (32 x 32) and a small (16 x 16) image in XPM form.
struct TIconTemplate {
  TResId Id;
  const char* const* Large;
  const char* const* Small;
};

struct TVersionInfo {
  WORD FileVersion[4];
  WORD ProductVersion[4];
  const char* FileDescription;
  const char* FileVersionText;
  const char* InternalName;
  const char* OriginalFilename;
  const char* ProductName;
  const char* ProductVersionText;
};

// The resources of one program.
class TModule {
 public:
  TModule(std::span<const TDialogTemplate> dialogs, std::span<const TIconTemplate> icons,
          const TVersionInfo* version)
      : Dialogs(dialogs), Icons(icons), Version(version) {}

  const TDialogTemplate* FindDialog(TResId id) const;
  const TIconTemplate* FindIcon(TResId id) const;
  const TVersionInfo* GetVersion() const { return Version; }

 private:
  std::span<const TDialogTemplate> Dialogs;
  std::span<const TIconTemplate> Icons;
  const TVersionInfo* Version;
};
