// The password dialog. Only Windows code here.
//
// The field takes at most kPasswordLength characters, which the engine's password buffer
// holds in UTF-8, so what is typed is never cut after OK. Cancel and Skip answer with the
// engine's marker bytes (engine/engineui.h); the engine looks at the first byte only.
#include "setup/win32/passworddialog.h"

#include "resources/resource.h"
#include "setup/dialogtexts.h"
#include "setup/win32/progressdialog.h"
#include "setup/win32/windowutil.h"
#include "startup/textblock.h"

#include <string.h>

// Writes a marker answer: its first byte is all the engine looks at.
static void setmarker(char* answer, PasswordMarker marker) {
    answer[0] = (char)marker;
    answer[1] = 0;
}

static void oninitdialog(HWND dialog, PasswordRequest* request) {
    keeprecord(dialog, request);
    centerwindow(dialog);
    char caption[kPasswordCaption];
    passwordcaption(request->member, caption, sizeof caption);
    settext(dialog, caption);
    setitemtext(dialog, IDOK, UiText[kTextOkButton]);
    setitemtext(dialog, IDC_CANCEL, UiText[kTextCancelButton]);
    setitemtext(dialog, IDC_PASSWORD_SKIP, UiText[kTextSkipButton]);
    SendDlgItemMessageW(dialog, IDC_PASSWORD, EM_LIMITTEXT, kPasswordLength, 0);
    SetFocus(GetDlgItem(dialog, IDC_PASSWORD));
}

// Ends the dialog with a marker answer (Cancel, Skip).
static void endwithmarker(HWND dialog, PasswordMarker marker) {
    setmarker(recordof<PasswordRequest>(dialog)->answer, marker);
    EndDialog(dialog, 0);
}

static INT_PTR oncommand(HWND dialog, int id) {
    switch (id) {
    case IDOK:
        itemtext(dialog, IDC_PASSWORD, recordof<PasswordRequest>(dialog)->answer, kPasswordBuffer);
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_CANCEL:
        endwithmarker(dialog, kPasswordCancelMarker);
        return TRUE;
    case IDC_PASSWORD_SKIP:
        endwithmarker(dialog, kPasswordSkipMarker);
        return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK passworddialogproc(HWND dialog, UINT message, WPARAM wparam,
                                           LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG:
        oninitdialog(dialog, (PasswordRequest*)lparam);
        return FALSE; // the focus is on the field
    case WM_COMMAND:
        return oncommand(dialog, LOWORD(wparam));
    }
    return FALSE;
}

int askpasswordof(HWND owner, PasswordRequest* request) {
    INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), L"PASSWD", owner,
                                     passworddialogproc, (LPARAM)request);
    // A dialog that cannot be shown asks no more in this run.
    if (result < 0) setmarker(request->answer, kPasswordCancelMarker);
    return result > 0;
}

void promptpassword(void* context, char* buffer, const char* member) {
    SetupState* state = (SetupState*)context;
    PasswordRequest request = {member, buffer};
    showprogressnow(state);
    askpasswordof(state->progressdialog, &request);
}
