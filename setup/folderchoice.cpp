// The folder browser and the new-folder dialog (setup/folderchoice.h). Only Windows code here.
//
// The browser is the shell's. When it has started, its caption, button texts and status line
// are the package's, it gets a New... button left of OK, and its window procedure is replaced:
// New... then closes the browser as OK would and marks the choice, so that choosefolder opens
// DLGNEW next. The replacement passes every other message to the default dialog processing,
// which hands it on to the browser's own dialog procedure.
#include "setup/folderchoice.h"

#include "common/pathlimits.h"
#include "resources/resource.h"
#include "setup/windowutil.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"
#include "startup/textutil.h"

#include <shlobj.h>
#include <string.h>

namespace {

// New... in the browser's dialog units, so that it scales with the browser: as wide as the
// shell's own buttons, this far left of OK.
enum : int {
    kNewButtonWidth = 50,
    kNewButtonGap = 3,
};

// One "..." click: the chosen folder (the field's text, then the browser's selection with a
// trailing '\') and whether New... closed the browser.
struct FolderChoice {
    char folder[kShortPathBuffer];
    bool newfolder;
};

// The replaced window procedure has no parameter of its own, so the choice in progress is
// kept here (one at a time, on the one thread, while the browser runs).
FolderChoice* choosing;

bool setfolder(const char* path) {
    if (strlen(path) >= sizeof choosing->folder) return false;
    strcpy(choosing->folder, path);
    return true;
}

LRESULT CALLBACK browsewindowproc(HWND browser, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND && LOWORD(wparam) == IDC_BROWSER_NEWFOLDER) {
        PostMessageA(browser, WM_COMMAND, IDOK, 0);
        choosing->newfolder = true;
        return 1;
    }
    return DefDlgProcA(browser, message, wparam, lparam);
}

void addnewbutton(HWND browser) {
    HWND ok = GetDlgItem(browser, IDOK);
    RECT box;
    GetWindowRect(ok, &box);
    MapWindowPoints(nullptr, browser, (POINT*)&box, 2);
    SIZE width = dialogpixels(browser, kNewButtonWidth, 0);
    SIZE offset = dialogpixels(browser, kNewButtonWidth + kNewButtonGap, 0); // its left edge's
    HWND button =
        CreateWindowExA(0, "BUTTON", UiText[kTextNewFolderButton],
                        WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, box.left - offset.cx,
                        box.top, width.cx, box.bottom - box.top, browser,
                        (HMENU)IDC_BROWSER_NEWFOLDER, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(button, WM_SETFONT, SendMessageA(ok, WM_GETFONT, 0, 0), TRUE);
}

void oninitialised(HWND browser) {
    SetWindowTextA(browser, sfxoptions->title);
    SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, (LPARAM) "");
    addnewbutton(browser);
    choosing->newfolder = false;
    SetDlgItemTextA(browser, IDOK, UiText[kTextOkButton]);
    SetDlgItemTextA(browser, IDCANCEL, UiText[kTextCancelButton]);
    SetWindowLongPtrA(browser, GWLP_WNDPROC, (LONG_PTR)browsewindowproc);
    size_t length = strlen(choosing->folder);
    if (length && choosing->folder[length - 1] == '\\') choosing->folder[length - 1] = 0;
    SendMessageA(browser, BFFM_SETSELECTIONA, TRUE, (LPARAM)choosing->folder);
    centerwindow(browser);
    ShowWindow(browser, SW_SHOW);
}

// A selection with a file-system path (that fits) becomes the chosen folder; any other, a
// virtual object of the shell, leaves OK and New... disabled.
void onselection(HWND browser, LPCITEMIDLIST item) {
    char path[MAX_PATH + 1] = "";
    bool usable = SHGetPathFromIDListA(item, path) && path[0] &&
                  endwithbackslash(path, sizeof path) && setfolder(path);
    SendMessageA(browser, BFFM_ENABLEOK, 0, usable);
    EnableWindow(GetDlgItem(browser, IDC_BROWSER_NEWFOLDER), usable);
    SendMessageA(browser, BFFM_SETSTATUSTEXTA, 0, (LPARAM)shortenpath(path));
}

int CALLBACK browsecallback(HWND browser, UINT event, LPARAM detail, LPARAM) {
    if (event == BFFM_INITIALIZED) oninitialised(browser);
    if (event == BFFM_SELCHANGED) onselection(browser, (LPCITEMIDLIST)detail);
    return 0;
}

// The typed name below the chosen folder, or the typed path when it holds the chosen folder
// already. False when the result would not fit the folder field.
bool takenewname(HWND dialog) {
    char name[kShortPathBuffer];
    GetDlgItemTextA(dialog, IDC_NEWFOLDER_NAME, name, sizeof name);
    if (!endwithbackslash(choosing->folder, sizeof choosing->folder)) return false;
    if (findnocase(name, choosing->folder)) return setfolder(name);
    if (strlen(choosing->folder) + strlen(name) >= sizeof choosing->folder) return false;
    strcat(choosing->folder, name);
    return true;
}

INT_PTR CALLBACK newfolderdialogproc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
    if (message == WM_INITDIALOG) {
        centerwindow(dialog);
        SetWindowTextA(dialog, UiText[kTextNewFolderCaption]);
        SetDlgItemTextA(dialog, IDC_NEWFOLDER_CURRENTLABEL, UiText[kTextCurrentFolderLabel]);
        SetDlgItemTextA(dialog, IDC_NEWFOLDER_NAMELABEL, UiText[kTextNewFolderNameLabel]);
        SetDlgItemTextA(dialog, IDOK, UiText[kTextOkButton]);
        SetDlgItemTextA(dialog, IDC_CANCEL, UiText[kTextCancelButton]);
        SetDlgItemTextA(dialog, IDC_NEWFOLDER_CURRENT, choosing->folder);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wparam) == IDOK) EndDialog(dialog, takenewname(dialog));
    if (LOWORD(wparam) == IDC_CANCEL) EndDialog(dialog, 0);
    return TRUE;
}

// The result of a choice: the folder selected in the browser as it names it, or the folder
// typed in DLGNEW with a trailing '\', whether or not it exists already.
void settlechoice(LPCITEMIDLIST item) {
    char path[MAX_PATH + 1];
    if (choosing->newfolder)
        endwithbackslash(choosing->folder, sizeof choosing->folder);
    else if (SHGetPathFromIDListA(item, path))
        setfolder(path);
}

} // namespace

int choosefolder(HWND maindialog) {
    FolderChoice choice = {};
    choosing = &choice;
    GetDlgItemTextA(maindialog, IDC_FOLDER, choice.folder, sizeof choice.folder);
    char display[MAX_PATH];
    BROWSEINFOA browse = {};
    browse.hwndOwner = maindialog;
    browse.pszDisplayName = display;
    browse.lpszTitle = UiText[kTextChooseFolderPrompt];
    browse.ulFlags = BIF_STATUSTEXT;
    browse.lpfn = browsecallback;
    LPITEMIDLIST item = SHBrowseForFolderA(&browse);
    bool chosen =
        item && (!choice.newfolder || DialogBoxParamA(GetModuleHandleA(nullptr), "DLGNEW",
                                                      maindialog, newfolderdialogproc, 0) == 1);
    if (chosen) {
        settlechoice(item);
        SetDlgItemTextA(maindialog, IDC_FOLDER, choice.folder);
    }
    if (item) ILFree(item);
    choosing = nullptr;
    return chosen;
}
