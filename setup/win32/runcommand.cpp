// The after-extraction command. Only Windows code here.
//
// The shell opens the prepared file with its verb ("Install" for an .inf file, "Merge" for a
// .reg file, otherwise the file type's default), the parameters after '|' and the destination
// as working folder. While the command runs, the main dialog and the banner behind it are
// hidden; the thread keeps dispatching their messages while it waits, so they stay alive.
#include "setup/win32/runcommand.h"

#include "platform/folders.h"
#include "platform/win32/widetext.h"
#include "setup/commandtext.h"
#include "setup/win32/windowutil.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"

#include <shellapi.h>

enum {
    kReadyWait = 1000,   // ms a started program gets to become ready for input
    kEndPoll = 10,       // ms each wait for its end lasts
    kPollPause = 500,    // ms between two polls
    kSystemMessage = 512 // the system's text for an error code
};

static const char* const kInstallerClasses[] = {"InstallShield_Win", "isdelete"};

bool installerbusy() {
    for (const char* windowclass : kInstallerClasses) {
        if (FindWindowA(windowclass, nullptr)) {
            Sleep(kPollPause);
            return true;
        }
    }
    return false;
}

// The main dialog and the window that owns it, unless that is the desktop.
static void showsetupwindows(HWND dialog, bool show) {
    int state = show ? SW_SHOW : SW_HIDE;
    ShowWindow(dialog, state);
    HWND owner = GetParent(dialog);
    if (owner && owner != GetDesktopWindow()) ShowWindow(owner, state);
}

// Why the shell could not start the command. The shell may show its own error box first,
// which can leave the thread's last error at 0 ("success"); its result code then says why.
// Codes up to 8 are the system's own error codes; the others are translated.
static DWORD shellerror(const SHELLEXECUTEINFOW& info) {
    DWORD error = GetLastError();
    if (error != ERROR_SUCCESS) return error;
    switch ((INT_PTR)info.hInstApp) {
    case SE_ERR_SHARE:
        return ERROR_SHARING_VIOLATION;
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return ERROR_NO_ASSOCIATION;
    case SE_ERR_DDETIMEOUT:
    case SE_ERR_DDEFAIL:
    case SE_ERR_DDEBUSY:
        return ERROR_DDE_FAIL;
    case SE_ERR_DLLNOTFOUND:
        return ERROR_DLL_NOT_FOUND;
    }
    INT_PTR code = (INT_PTR)info.hInstApp;
    if (code == 0) return ERROR_NOT_ENOUGH_MEMORY;
    return code <= SE_ERR_OOM ? (DWORD)code : ERROR_FILE_NOT_FOUND;
}

static void reportfailure(HWND dialog, DWORD error) {
    showsetupwindows(dialog, true);
    wchar_t wide[kSystemMessage];
    char message[kSystemMessage * kTextGrowth];
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        0, wide, kSystemMessage, nullptr))
        wide[0] = 0;
    platform::toutf8(wide, message, sizeof message);
    showmessage(dialog, message, UiText[kTextErrorCaption], MB_ICONWARNING);
}

// Waits for the program to end, then for any installer it left running.
static void waitforend(HANDLE process) {
    while (WaitForSingleObject(process, kEndPoll) == WAIT_TIMEOUT) {
        dispatchpending();
        Sleep(kPollPause);
    }
    while (installerbusy()) dispatchpending();
}

int runcommand(SetupState* state, const char* command) {
    char current[kCommandFolder];
    unsigned length = platform::currentfolder(current, sizeof current);
    if (length == 0 || length >= sizeof current) current[0] = 0;
    PreparedCommand prepared;
    if (!preparecommand(command, state->destination, current, ownpath, &prepared)) return 0;

    HWND dialog = state->maindialog;
    ShellTexts wide(prepared.verb, prepared.file,
                    prepared.parameters[0] ? prepared.parameters : nullptr, prepared.folder);
    if (!wide.converted) return 0;
    showsetupwindows(dialog, false);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT;
    info.hwnd = dialog;
    info.lpVerb = wide.verb;
    info.lpFile = wide.file;
    info.lpParameters = wide.parameters;
    info.lpDirectory = wide.folder;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        reportfailure(dialog, shellerror(info));
        return 0;
    }
    // A document handed to a program that was running already gives no process.
    if (!info.hProcess) return 1;
    WaitForInputIdle(info.hProcess, kReadyWait);
    if (sfxoptions->cleanafter) waitforend(info.hProcess);
    CloseHandle(info.hProcess);
    return 1;
}
