// The folder browser and the new-folder dialog (setup/folderchoice.h). Only Windows code here.
//
// The browser is the shell's. When it has started, its caption, button texts and status line
// are the package's, it gets a New... button left of OK, and its window procedure is replaced:
// New... then closes the browser as OK would and marks the choice, so that choosefolder opens
// DLGNEW next. The replacement passes every other message to the default dialog processing,
// which hands it on to the browser's own dialog procedure. Paths cross to and from the shell
// in UTF-16, so a folder of any name can be chosen.
#include "setup/win32/folderchoice.h"

#include "common/pathlimits.h"
#include "platform/win32/widetext.h"
#include "resources/resource.h"
#include "setup/win32/windowutil.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"
#include "startup/textutil.h"

#include <shlobj.h>
#include <stdlib.h>
#include <string.h>

namespace {

// New... in the browser's dialog units, so that it scales with the browser: as wide as the
// shell's own buttons, this far left of OK.
enum : int {
    kNewButtonWidth = 50,
    kNewButtonGap = 3,
};

enum : int {
    kShellPath = MAX_PATH, // the shell writes a selection's path into this many units
};

// One "..." click: the chosen folder (the field's text, then the browser's selection with a
// trailing '\') and whether New... closed the browser. The browser keeps it as a window
// property, since its replaced window procedure has no parameter of its own; DLGNEW keeps it
// as its dialog record.
struct FolderChoice {
    char folder[kLongPathBuffer];
    bool newfolder;
};
const wchar_t kChoiceProperty[] = L"OrvandelFolderChoice";

FolderChoice* choiceof(HWND browser) {
    return (FolderChoice*)GetPropW(browser, kChoiceProperty);
}

bool setfolder(FolderChoice* choice, const char* path) {
    if (strlen(path) >= sizeof choice->folder) return false;
    strcpy(choice->folder, path);
    return true;
}

// The file-system path of a shell item as UTF-8 into path (kLongPathBuffer bytes); false
// for a virtual object of the shell.
bool itempath(LPCITEMIDLIST item, char* path) {
    wchar_t wide[kShellPath];
    path[0] = 0;
    return SHGetPathFromIDListW(item, wide) && wide[0] &&
           platform::toutf8(wide, path, kLongPathBuffer) < kLongPathBuffer;
}

void setstatus(HWND browser, const char* text) {
    wchar_t* wide = platform::widecopy(text);
    SendMessageW(browser, BFFM_SETSTATUSTEXTW, 0, (LPARAM)(wide ? wide : L""));
    free(wide);
}

LRESULT CALLBACK browsewindowproc(HWND browser, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_COMMAND && LOWORD(wparam) == IDC_BROWSER_NEWFOLDER) {
        PostMessageW(browser, WM_COMMAND, IDOK, 0);
        choiceof(browser)->newfolder = true;
        return 1;
    }
    if (message == WM_DESTROY) RemovePropW(browser, kChoiceProperty);
    return DefDlgProcW(browser, message, wparam, lparam);
}

void addnewbutton(HWND browser) {
    HWND ok = GetDlgItem(browser, IDOK);
    RECT box;
    GetWindowRect(ok, &box);
    MapWindowPoints(nullptr, browser, (POINT*)&box, 2);
    SIZE width = dialogpixels(browser, kNewButtonWidth, 0);
    SIZE offset = dialogpixels(browser, kNewButtonWidth + kNewButtonGap, 0); // its left edge's
    HWND button =
        CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                        box.left - offset.cx, box.top, width.cx, box.bottom - box.top, browser,
                        (HMENU)IDC_BROWSER_NEWFOLDER, GetModuleHandleW(nullptr), nullptr);
    settext(button, UiText[kTextNewFolderButton]);
    SendMessageW(button, WM_SETFONT, SendMessageW(ok, WM_GETFONT, 0, 0), TRUE);
}

void oninitialised(HWND browser, FolderChoice* choice) {
    SetPropW(browser, kChoiceProperty, choice);
    settext(browser, sfxoptions->title);
    setstatus(browser, "");
    addnewbutton(browser);
    choice->newfolder = false;
    setitemtext(browser, IDOK, UiText[kTextOkButton]);
    setitemtext(browser, IDCANCEL, UiText[kTextCancelButton]);
    SetWindowLongPtrW(browser, GWLP_WNDPROC, (LONG_PTR)browsewindowproc);
    size_t length = strlen(choice->folder);
    if (length && choice->folder[length - 1] == '\\') choice->folder[length - 1] = 0;
    wchar_t* wide = platform::widecopy(choice->folder);
    if (wide) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, (LPARAM)wide);
    free(wide);
    centerwindow(browser);
    ShowWindow(browser, SW_SHOW);
}

// A selection with a file-system path (that fits) becomes the chosen folder; any other, a
// virtual object of the shell, leaves OK and New... disabled.
void onselection(HWND browser, LPCITEMIDLIST item) {
    char path[kLongPathBuffer];
    bool usable = itempath(item, path) && endwithbackslash(path, sizeof path) &&
                  setfolder(choiceof(browser), path);
    SendMessageW(browser, BFFM_ENABLEOK, 0, usable);
    EnableWindow(GetDlgItem(browser, IDC_BROWSER_NEWFOLDER), usable);
    setstatus(browser, shortenpath(path));
}

int CALLBACK browsecallback(HWND browser, UINT event, LPARAM detail, LPARAM choice) {
    if (event == BFFM_INITIALIZED) oninitialised(browser, (FolderChoice*)choice);
    if (event == BFFM_SELCHANGED) onselection(browser, (LPCITEMIDLIST)detail);
    return 0;
}

// The typed name below the chosen folder, or the typed path when it holds the chosen folder
// already. False when the result would not fit the folder field.
bool takenewname(HWND dialog, FolderChoice* choice) {
    char name[kLongPathBuffer];
    itemtext(dialog, IDC_NEWFOLDER_NAME, name, sizeof name);
    if (!endwithbackslash(choice->folder, sizeof choice->folder)) return false;
    if (findnocase(name, choice->folder)) return setfolder(choice, name);
    if (strlen(choice->folder) + strlen(name) >= sizeof choice->folder) return false;
    strcat(choice->folder, name);
    return true;
}

INT_PTR CALLBACK newfolderdialogproc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        FolderChoice* choice = (FolderChoice*)lparam;
        keeprecord(dialog, choice);
        centerwindow(dialog);
        settext(dialog, UiText[kTextNewFolderCaption]);
        setitemtext(dialog, IDC_NEWFOLDER_CURRENTLABEL, UiText[kTextCurrentFolderLabel]);
        setitemtext(dialog, IDC_NEWFOLDER_NAMELABEL, UiText[kTextNewFolderNameLabel]);
        setitemtext(dialog, IDOK, UiText[kTextOkButton]);
        setitemtext(dialog, IDC_CANCEL, UiText[kTextCancelButton]);
        setitemtext(dialog, IDC_NEWFOLDER_CURRENT, choice->folder);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    if (LOWORD(wparam) == IDOK)
        EndDialog(dialog, takenewname(dialog, recordof<FolderChoice>(dialog)));
    if (LOWORD(wparam) == IDC_CANCEL) EndDialog(dialog, 0);
    return TRUE;
}

// The result of a choice: the folder selected in the browser as it names it, or the folder
// typed in DLGNEW with a trailing '\', whether or not it exists already.
void settlechoice(FolderChoice* choice, LPCITEMIDLIST item) {
    char path[kLongPathBuffer];
    if (choice->newfolder)
        endwithbackslash(choice->folder, sizeof choice->folder);
    else if (itempath(item, path))
        setfolder(choice, path);
}

} // namespace

int choosefolder(HWND maindialog) {
    FolderChoice choice = {};
    itemtext(maindialog, IDC_FOLDER, choice.folder, sizeof choice.folder);
    wchar_t display[kShellPath];
    wchar_t* prompt = platform::widecopy(UiText[kTextChooseFolderPrompt]);
    BROWSEINFOW browse = {};
    browse.hwndOwner = maindialog;
    browse.pszDisplayName = display;
    browse.lpszTitle = prompt;
    browse.ulFlags = BIF_STATUSTEXT;
    browse.lpfn = browsecallback;
    browse.lParam = (LPARAM)&choice;
    LPITEMIDLIST item = SHBrowseForFolderW(&browse);
    free(prompt);
    bool chosen = item && (!choice.newfolder ||
                           DialogBoxParamW(GetModuleHandleW(nullptr), L"DLGNEW", maindialog,
                                           newfolderdialogproc, (LPARAM)&choice) == 1);
    if (chosen) {
        settlechoice(&choice, item);
        setitemtext(maindialog, IDC_FOLDER, choice.folder);
    }
    if (item) ILFree(item);
    return chosen;
}
