// Window routines of the setup dialogs. Only Windows code here.
#include "setup/win32/windowutil.h"

#include "platform/win32/widetext.h"

#include <shellapi.h>
#include <stdlib.h>

void settext(HWND window, const char* text) {
    wchar_t* wide = platform::widecopy(text);
    SetWindowTextW(window, wide ? wide : L"");
    free(wide);
}

void setitemtext(HWND dialog, int id, const char* text) {
    settext(GetDlgItem(dialog, id), text);
}

int showmessage(HWND owner, const char* text, const char* caption, unsigned style) {
    return platform::widemessagebox(owner, text, caption, style);
}

// A copy of text in UTF-16, or null for none; a copy that failed clears converted.
static wchar_t* widecopyof(const char* text, bool* converted) {
    if (!text) return nullptr;
    wchar_t* wide = platform::widecopy(text);
    if (!wide) *converted = false;
    return wide;
}

ShellTexts::ShellTexts(const char* verb, const char* file, const char* parameters,
                       const char* folder)
    : converted(true) {
    this->verb = widecopyof(verb, &converted);
    this->file = widecopyof(file, &converted);
    this->parameters = widecopyof(parameters, &converted);
    this->folder = widecopyof(folder, &converted);
}

ShellTexts::~ShellTexts() {
    free(verb);
    free(file);
    free(parameters);
    free(folder);
}

bool shellopen(HWND owner, const char* verb, const char* file, const char* parameters,
               const char* folder, int show) {
    ShellTexts wide(verb, file, parameters, folder);
    return wide.converted && (INT_PTR)ShellExecuteW(owner, wide.verb, wide.file, wide.parameters,
                                                    wide.folder, show) > 32;
}

// UTF-8 takes at least as many bytes as UTF-16 takes units, so a text that fits out as
// UTF-8 fits `size` units.
unsigned itemtext(HWND dialog, int id, char* out, unsigned size) {
    out[0] = 0;
    wchar_t* wide = (wchar_t*)malloc(size * sizeof(wchar_t));
    if (!wide) return 0;
    GetDlgItemTextW(dialog, id, wide, (int)size);
    platform::toutf8(wide, out, size);
    free(wide);
    return (unsigned)strlen(out);
}

SIZE dialogpixels(HWND dialog, int across, int down) {
    RECT box = {0, 0, across, down};
    MapDialogRect(dialog, &box);
    return {box.right, box.bottom};
}

void centerwindow(HWND window) {
    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    int x = ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
    int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void redrawnow(HWND window) {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_INTERNALPAINT | RDW_ALLCHILDREN);
}

BOOL CALLBACK enablechild(HWND child, LPARAM enable) {
    EnableWindow(child, enable != 0);
    return TRUE;
}

// Escape, Enter and Tab reach the dialog the message's window belongs to.
static void dispatch(MSG* message) {
    HWND root = message->hwnd ? GetAncestor(message->hwnd, GA_ROOT) : nullptr;
    if (root && IsDialogMessageW(root, message)) return;
    TranslateMessage(message);
    DispatchMessageW(message);
}

void dispatchpending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage((int)message.wParam);
            return;
        }
        dispatch(&message);
    }
}

bool dispatchnext() {
    MSG message;
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) PostQuitMessage((int)message.wParam);
    if (got <= 0) return false;
    dispatch(&message);
    return true;
}

void showcontrol(HWND dialog, int id, bool show) {
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}
