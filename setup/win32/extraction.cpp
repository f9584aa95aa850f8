// The extraction run: destination folder, the engine's run request, the result message.
// Only Windows code here.
//
// The engine runs on this thread, inside the Extract command, and reaches the dialogs only
// through the setup's operations table, whose context is the SetupState: the progress
// report and the two questions (progressdialog.cpp, passworddialog.cpp), list 301 of the
// main dialog, which chooses the members and from which the engine removes what it has
// extracted, and the failures of members, which decide how a run that ends with a warning
// counts. The destination handed to the engine is "/"-separated and ends with "/".
#include "setup/win32/extraction.h"

#include "resources/resource.h"
#include "platform/win32/widetext.h"
#include "setup/win32/passworddialog.h"
#include "setup/win32/progressdialog.h"
#include "setup/runoptions.h"
#include "setup/runreport.h"
#include "setup/win32/windowutil.h"
#include "startup/optionsblock.h"
#include "startup/pathutils.h"
#include "startup/textblock.h"

#include <string.h>

static LRESULT choicelist(void* context, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageW(((SetupState*)context)->choicelist, message, wparam, lparam);
}

// The first item that begins with text, ignoring case, searched from the top; -1 for none.
// A search from the top reads the list through to the name (the engine asks after every
// member), but the engine goes through the archive in an order close to the list's, so the
// search first starts at the item found last. What it finds there counts only when it is the
// whole name: the list is sorted, so a name stands before every longer item it begins, and
// an item equal to the name is what the search from the top finds too.
static int finditem(void* context, const char* text) {
    SetupState* state = (SetupState*)context;
    wchar_t wide[kLongPathBuffer];
    if (!platform::towide(text, wide, kLongPathBuffer)) return -1;
    LRESULT item = LB_ERR;
    if (state->founditem > 0) {
        item = choicelist(context, LB_FINDSTRING, state->founditem - 1, (LPARAM)wide);
        if (item != LB_ERR && choicelist(context, LB_GETTEXTLEN, item, 0) != (LRESULT)wcslen(wide))
            item = LB_ERR;
    }
    if (item == LB_ERR) item = choicelist(context, LB_FINDSTRING, (WPARAM)-1, (LPARAM)wide);
    if (item == LB_ERR) return -1;
    state->founditem = (int)item;
    return (int)item;
}

static int isselected(void* context, int item) {
    return choicelist(context, LB_GETSEL, item, 0) > 0;
}

static void deleteitem(void* context, int item) {
    choicelist(context, LB_DELETESTRING, item, 0);
}

// The overwrite mode of the checked radio button (ask when none is checked).
static unsigned char checkedmode(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_MODE_CONFIRM) == BST_CHECKED) return kOverwriteAsk;
    if (IsDlgButtonChecked(dialog, IDC_MODE_OVERWRITE) == BST_CHECKED) return kOverwriteAlways;
    if (IsDlgButtonChecked(dialog, IDC_MODE_SKIP) == BST_CHECKED) return kOverwriteNever;
    return kOverwriteAsk;
}

// Makes the destination folder and its missing parents. A folder that is still missing
// afterwards passes only as the root of an existing drive ("C:" becomes "C:\").
static bool makedestination(SetupState* state) {
    char* folder = state->destination;
    makefolderpath(folder, state->dirlist);
    bool ready = pathexists(folder);
    if (!ready && endwithbackslash(folder, sizeof state->destination))
        ready = strlen(folder) <= 3 && GetDriveTypeA(folder) != DRIVE_NO_ROOT_DIR;
    if (!ready || !endwithbackslash(folder, sizeof state->destination)) {
        showmessage(state->maindialog, UiText[kTextFolderError], sfxoptions->title, MB_ICONERROR);
        return false;
    }
    backtoslashes(folder);
    return true;
}

// A member the engine did not extract; one whose leading separators it removed is extracted
// all the same.
static void notefailure(void* context, int reason, int, const char* member, int) {
    if (member && reason != kReasonAbsolutePath) ((SetupState*)context)->memberfailed = true;
}

// The disk-full and version questions are not asked: the run stops, the member is refused.
static const EngineUi kSetupUi = {
    askoverwrite, promptpassword, nullptr,  nullptr,    reportprogress, notefailure,
    nullptr,      nullptr,        finditem, isselected, deleteitem,
};

static int runengine(SetupState* state, unsigned char mode) {
    char archive[kLongPathBuffer];
    strcpy(archive, ownpath);
    state->choicelist = GetDlgItem(state->maindialog, IDC_FILELIST_CHOICE);
    state->founditem = 0;
    RunRequest request =
        runrequest(backtoslashes(archive), state->destination, kRunExtract, &kSetupUi, state);
    request.archivename = ownpath;
    request.selection = sfxoptions->selectfiles ? kRunSelected : kRunAll;
    request.overwrite = overwritepolicy(mode);
    request.password = state->password;
    request.dirlist = state->dirlist;
    request.filelist = state->filelist;
    request.newfilelist = state->newfilelist;
    return runarchive(&request);
}

int runextraction(SetupState* state) {
    HWND dialog = state->maindialog;
    itemtext(dialog, IDC_FOLDER, state->destination, sizeof state->destination);
    unsigned char mode = checkedmode(dialog);
    bool noneselected = SendDlgItemMessageW(dialog, IDC_FILELIST_CHOICE, LB_GETSELCOUNT, 0, 0) <= 0;
    if (sfxoptions->selectfiles && noneselected) return 1;
    if (!makedestination(state)) return 0;

    state->bytesdone = 0;
    state->answer = kAnswerPending;
    state->cancel = 0;
    state->memberfailed = false;
    state->text[0] = 0;
    state->currentname = nullptr;
    state->progressshown = false;
    openprogressdialog(state);
    state->running = true;
    int code = runengine(state, mode);
    code = runoutcome(code, state->cancel, sfxoptions->autoextract, state->memberfailed);
    state->running = false;
    showprogressnow(state);
    closeprogressdialog(state);

    char message[kRunMessage];
    if (runmessage(code, message, sizeof message))
        showmessage(dialog, message, sfxoptions->title, MB_ICONERROR);
    return code == 0;
}
