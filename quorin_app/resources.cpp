// Everything Quorin shows besides its pictures: dialog templates, the icon
// and the version data.
#include "quorin_app/resources.h"

namespace {
// Both dialogs carry OK and cancel buttons that are never shown: they give
// the dialogs their Enter and Esc commands.
const TControlTemplate kClientControls[] = {
    {"BUTTON", "OK", 1, 40, 88, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"BUTTON", "Cancel", 2, 116, 88, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

const TControlTemplate kTouchControls[] = {
    {"BUTTON", "OK", 1, 148, 6, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP},
    {"BUTTON", "Abbruch", 2, 148, 24, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
};

const TDialogTemplate kDialogs[] = {
    {IDD_CLIENT, "Dialog Client", 8, "MS Sans Serif", 6, 15, 207, 111,
     WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, WS_EX_DLGMODALFRAME, kClientControls},
    {IDD_TOUCH, nullptr, 8, "MS Sans Serif", 8, 42, 207, 111,
     WS_POPUP | WS_VISIBLE | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, kTouchControls},
};

// A red object on white paper with its contour drawn around it.
const char* const kIconLarge[] = {
    "32 32 4 1",
    "g c #606060",
    "w c #FFFFFF",
    "r c #D02020",
    "b c #102060",
    "gggggggggggggggggggggggggggggggg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwbbbbbbwwwwbbbbbbwwwwwwwg",
    "gwwwwwbbbrrrbbbbbbbbrrrbbbwwwwwg",
    "gwwwbbbrrrrrrrrrrrrrrrrrrbbbwwwg",
    "gwwwbbrrrrrrrrrrrrrrrrrrrrbbwwwg",
    "gwwbbrrrrrrrrrrrrrrrrrrrrrrbbwwg",
    "gwwbbrrrrrrrrrrrrrrrrrrrrrrbbwwg",
    "gwwwbrrrrrrrrrrrrrrrrrrrrrrbwwwg",
    "gwwwbbrrrrrrrrrrrrrrrrrrrrbbwwwg",
    "gwwwwbbrrrrrrrrrrrrrrrrrrbbwwwwg",
    "gwwwwwbbrrrrrrrrrrrrrrrrbbwwwwwg",
    "gwwwwwwbbrrrrrrrrrrrrrrbbwwwwwwg",
    "gwwwwwwwbbrrrrrrrrrrrrbbwwwwwwwg",
    "gwwwwwwwbbrrrrrrrrrrrrbbwwwwwwwg",
    "gwwwwwwwwbrrrrrrrrrrrrbwwwwwwwwg",
    "gwwwwwwwwbbrrrrrrrrrrbbwwwwwwwwg",
    "gwwwwwwwwwbbrrrrrrrrbbwwwwwwwwwg",
    "gwwwwwwwwwwbbrrrrrrbbwwwwwwwwwwg",
    "gwwwwwwwwwwwbbbbbbbbwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwbbwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwg",
    "gggggggggggggggggggggggggggggggg",
};

const char* const kIconSmall[] = {
    "16 16 4 1",
    "g c #606060",
    "w c #FFFFFF",
    "r c #D02020",
    "b c #102060",
    "gggggggggggggggg",
    "gwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwg",
    "gwwbbbbbbbbbbwwg",
    "gwbrrrrrrrrrrbwg",
    "gwbrrrrrrrrrrbwg",
    "gwbrrrrrrrrrrbwg",
    "gwwbrrrrrrrrbwwg",
    "gwwwbrrrrrrbwwwg",
    "gwwwbrrrrrrbwwwg",
    "gwwwwbrrrrbwwwwg",
    "gwwwwwbrrbwwwwwg",
    "gwwwwwwwwwwwwwwg",
    "gwwwwwwwwwwwwwwg",
    "gggggggggggggggg",
};

const TIconTemplate kIcons[] = {
    {IDI_QUORIN, kIconLarge, kIconSmall},
};

const TVersionInfo kVersion = {
    {1, 0, 0, 0}, {1, 0, 0, 0}, "Quorin for Windows", "1.0", "Quorin", "Quorin.exe", "Quorin", "1.0",
};
}  // namespace

TModule QuorinModule(kDialogs, kIcons, &kVersion);
