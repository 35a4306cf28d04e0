#include "resources.h"

#include "resource.h"

#include <iterator>

#include "kyrattack16.xpm"
#include "kyrattack32.xpm"

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kFrame = kChild | SS_BLACKFRAME | SS_SUNKEN;
constexpr DWORD kCheck = kChild | BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kPush = kChild | BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kEdit = kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP;

using enum ControlClass;

const DialogItemTemplate kViewerItems[] = {
    {Edit, IDC_FOLDER, "", 0, kEdit, 17, 51, 236, 12},
    {Button, IDC_RELOAD, "Reload File Now (maybe I just edited it)", 0, kPush, 259, 52, 132, 11},
    {Button, IDC_PREV_ROW, "Prev Row", 0, kPush, 337, 75, 62, 14},
    {Button, IDC_NEXT_ROW, "Next Row", 0, kPush, 337, 106, 62, 14},
    {Button, IDOK, "Throw Weapon", 0, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 337, 132, 62, 14},
    {Button, IDC_CONTINUOUSLY, "Continuously", 0, kCheck, 340, 151, 56, 11},
    {Button, IDC_LOOP_FRAMES, "Loop frames", 0, kCheck, 340, 190, 56, 10},
    {Button, IDC_THROW_IN_ARC, "Throw in arc", 0, kCheck, 340, 204, 56, 9},
    // Present for Escape and the close box to land on, never shown.
    {Button, IDCANCEL, "Cancel", 0, WS_CHILD | BS_PUSHBUTTON | WS_TABSTOP, 246, 129, 13, 14},
    {Static, IDC_STATIC,
     "Here is the folder where I keep all my attackNN.bmp and effectsNN.bmp files:", 0,
     kChild | SS_LEFT, 18, 41, 247, 10},
    {Static, IDC_ROW_FRAME, "", 0, kFrame, 60, 82, 266, 39},
    {Static, IDC_STAGE_FRAME, "", 0, kFrame, 7, 132, 319, 103},
    {Static, IDC_ROW_LABEL, "Row:", 0, kChild | SS_LEFT, 341, 93, 17, 8},
    {Static, IDC_STATIC, "", 0, kChild | SS_BLACKRECT | SS_SUNKEN, 7, 124, 392, 1},
    {Static, IDC_CLOSEUP_FRAME, "", 0, kFrame, 7, 82, 48, 39},
    {Button, IDC_FAST_THROW, "Fast Throw", 0, kCheck, 340, 218, 56, 9},
    {Button, IDC_SMEAR, "Smear", 0, kCheck, 340, 164, 56, 11},
    {Button, IDC_FPS_X2, "FPS x2", 0, kCheck, 340, 176, 56, 11},
    {Edit, IDC_ROW, "", 0, kEdit, 363, 91, 30, 13},
    {Button, IDC_ATTACK_MODE,
     "I would like to view those little arrows and swords and things which get thrown at "
     "people in the game.",
     0, kChild | BS_AUTORADIOBUTTON, 16, 18, 341, 9},
    {Button, IDC_EFFECTS_MODE,
     "I would like to view those teensy little sparkly bits which fly around when you cast "
     "magical spells in the games.",
     0, kChild | BS_AUTORADIOBUTTON, 16, 29, 370, 10},
    {Static, IDC_INFO, "Information about the current file", 0, kChild | SS_LEFT, 7, 71, 318, 8},
    {Button, IDC_STATIC, "View Mode: ", 0, kChild | BS_GROUPBOX, 7, 7, 392, 61},
};

const DialogItemTemplate kAboutItems[] = {
    {Static, IDC_STATIC, nullptr, IDR_MAINFRAME, kChild | SS_ICON, 11, 17, 20, 20},
    {Static, IDC_STATIC, "kyrAttack Version 1.0", 0, kChild | SS_LEFT | SS_NOPREFIX | WS_GROUP, 40,
     10, 119, 8},
    {Static, IDC_STATIC, "Sprites thrown and cast, up close.", 0, kChild | SS_LEFT | WS_GROUP, 40,
     25, 119, 8},
    {Button, IDOK, "OK", 0, kChild | BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP, 178, 7, 32, 14},
};

const DialogTemplate kDialogs[] = {
    {IDD_ABOUTBOX, DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 217, 55,
     "About kyrAttack", "MS Sans Serif", 8, kAboutItems, (int)std::size(kAboutItems)},
    {IDD_VIEWER, DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
     WS_EX_APPWINDOW, 406, 242, "Kyr Attack/Effect Viewer", "MS Sans Serif", 8, kViewerItems,
     (int)std::size(kViewerItems)},
};

struct StringEntry {
    UINT nID;
    LPCTSTR lpszText;
};

const StringEntry kStrings[] = {
    {IDS_ABOUTBOX, "&About kyrAttack..."},
};

const IconImage kMainIcons[] = {{32, kyrattack32_xpm}, {16, kyrattack16_xpm}};
const IconGroup kIconGroups[] = {{IDR_MAINFRAME, kMainIcons, (int)std::size(kMainIcons)}};

const VersionString kVersionStrings[] = {
    {"CompanyName", ""},
    {"FileDescription", "KYRATTACK MFC Application"},
    {"FileVersion", "1, 0, 0, 1"},
    {"InternalName", "KYRATTACK"},
    {"LegalTrademarks", ""},
    {"OriginalFilename", "KYRATTACK.EXE"},
    {"ProductName", "KYRATTACK Application"},
    {"ProductVersion", "1, 0, 0, 1"},
};

const VersionResource kVersion = {{1, 0, 0, 1},
                                  {1, 0, 0, 1},
                                  VOS__WINDOWS32,
                                  VFT_APP,
                                  "040904B0",
                                  kVersionStrings,
                                  (int)std::size(kVersionStrings)};

} // namespace

const DialogTemplate* ResFindDialog(UINT nID) {
    for (const DialogTemplate& dlg : kDialogs)
        if (dlg.nID == nID)
            return &dlg;
    return nullptr;
}

LPCTSTR ResFindString(UINT nID) {
    for (const StringEntry& entry : kStrings)
        if (entry.nID == nID)
            return entry.lpszText;
    return nullptr;
}

const IconGroup* ResFindIconGroup(UINT nID) {
    for (const IconGroup& group : kIconGroups)
        if (group.nID == nID)
            return &group;
    return nullptr;
}

const VersionResource* ResFindVersion() {
    return &kVersion;
}

const ResourceTable* ResGetTable() {
    static const ResourceTable table = {&ResFindDialog, &ResFindString, &ResFindIconGroup,
                                        &ResFindVersion};
    return &table;
}
