// Everything verlado shows: the progress dialog, the icon and the version
// data.
#include "verlado_app/resources.h"

namespace {
constexpr DWORD kPathField = ES_LEFT | ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP | WS_VISIBLE;

const TControlTemplate kClientControls[] = {
    {"BUTTON", "OK", 1, 137, 130, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE},
    {"BUTTON", "Abbruch", 2, 213, 130, 50, 14, BS_PUSHBUTTON | WS_TABSTOP | WS_VISIBLE},
    {"STATIC", "", IDC_GAUGE_PLACE, 21, 50, 357, 21, SS_BLACKFRAME | WS_VISIBLE},
    {"STATIC", "Zieldatei:", -1, 21, 30, 33, 8, SS_LEFT | WS_GROUP | WS_VISIBLE},
    {"STATIC", "Quelldatei:", -1, 21, 13, 36, 8, SS_LEFT | WS_GROUP | WS_VISIBLE},
    {"EDIT", "", IDC_SOURCE, 66, 12, 310, 12, kPathField},
    {"EDIT", "", IDC_TARGET, 66, 28, 310, 12, kPathField},
    // Shown only when the run leaves messages.
    {"EDIT", "", IDC_MESSAGES, 21, 75, 357, 49,
     ES_LEFT | ES_MULTILINE | ES_WANTRETURN | WS_BORDER | WS_VSCROLL | WS_HSCROLL | WS_TABSTOP},
};

const TDialogTemplate kDialogs[] = {
    {IDD_CLIENT, "Dialog-Client", 8, "MS Sans Serif", 6, 15, 400, 150,
     WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_3DLOOK | DS_SETFONT, 0, kClientControls},
};

// A grey page copied over to a blue one.
const char* const kIconLarge[] = {
    "32 32 6 1",
    ". c None",
    "k c #202020",
    "w c #FFFFFF",
    "g c #808080",
    "b c #2040C0",
    "r c #C02020",
    "................................",
    "................................",
    "................................",
    ".kkkkkkkkkkkk......kkkkkkkkkkkk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwggggggwwk......kwwbbbbbbwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwggggggwwk......kwwbbbbbbwwk.",
    ".kwwwwwwwwwwk..r...kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk..rr..kwwwwwwwwwwk.",
    ".kwwggggggwwk..rrr.kwwbbbbbbwwk.",
    ".kwwwwwwwwwwkrrrrrrkwwwwwwwwwwk.",
    ".kwwwwwwwwwwkrrrrrrkwwwwwwwwwwk.",
    ".kwwggggggwwkrrrrrrkwwbbbbbbwwk.",
    ".kwwwwwwwwwwkrrrrrrkwwwwwwwwwwk.",
    ".kwwwwwwwwwwk..rrr.kwwwwwwwwwwk.",
    ".kwwggggggwwk..rr..kwwbbbbbbwwk.",
    ".kwwwwwwwwwwk..r...kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwggggggwwk......kwwbbbbbbwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwggggggwwk......kwwbbbbbbwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kwwwwwwwwwwk......kwwwwwwwwwwk.",
    ".kkkkkkkkkkkk......kkkkkkkkkkkk.",
    "................................",
    "................................",
    "................................",
};

const char* const kIconSmall[] = {
    "16 16 6 1",
    ". c None",
    "k c #202020",
    "w c #FFFFFF",
    "g c #808080",
    "b c #2040C0",
    "r c #C02020",
    "................",
    "kkkkkk....kkkkkk",
    "kwwwwk....kwwwwk",
    "kwwwwk....kwwwwk",
    "kwggwk....kwbbwk",
    "kwwwwk..r.kwwwwk",
    "kwggwk..rrkwbbwk",
    "kwwwwkrrrrkwwwwk",
    "kwggwkrrrrkwbbwk",
    "kwwwwk..rrkwwwwk",
    "kwggwk..r.kwbbwk",
    "kwwwwk....kwwwwk",
    "kwggwk....kwbbwk",
    "kwwwwk....kwwwwk",
    "kkkkkk....kkkkkk",
    "................",
};

const TIconTemplate kIcons[] = {
    {IDI_VERLADO, kIconLarge, kIconSmall},
};

const TVersionInfo kVersion = {
    {1, 0, 0, 0}, {1, 0, 0, 0}, "Verlado", "1.0", "verlado", "verlado", "Verlado", "1.0",
};
}  // namespace

TModule VerladoModule(kDialogs, kIcons, &kVersion);
