// The main setup dialog. Only Windows code here.
//
// The dialog opens with the package's title as caption and the control texts of the
// package's text table, so that a translated package shows its own language. Extraction
// is not offered yet: Extract stays disabled, and Cancel (or the close box) ends the setup
// with 0.
#include "setup/maindialog.h"

#include "resources/resource.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"

// Controls whose text is a numbered text of the package.
struct ControlText {
    int control;
    int text;
};
static const ControlText kControlTexts[] = {
    {IDC_EXTRACT, 5},      {IDC_CANCEL, 6},          {IDC_HELPBUTTON, 7}, {IDC_ABOUT, 8},
    {IDC_FOLDERLABEL, 20}, {IDC_FILESLABEL, 21},     {IDC_MODEGROUP, 24}, {IDC_MODE_CONFIRM, 25},
    {IDC_MODE_SKIP, 26},   {IDC_MODE_OVERWRITE, 27},
};

static void initmaindialog(HWND window) {
    SetWindowTextA(window, sfxoptions->title);
    for (const ControlText& item : kControlTexts)
        SetDlgItemTextA(window, item.control, UiText[item.text]);
    SetDlgItemTextA(window, IDC_FOLDER, sfxoptions->destfolder);
    EnableWindow(GetDlgItem(window, IDC_EXTRACT), FALSE);
    ShowWindow(GetDlgItem(window, IDC_FILELIST_CHOICE), SW_HIDE);
}

INT_PTR CALLBACK maindialogproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        initmaindialog(window);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDC_CANCEL) {
            EndDialog(window, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}
