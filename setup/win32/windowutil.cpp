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
    wchar_t* widetext = platform::widecopy(text);
    wchar_t* widecaption = platform::widecopy(caption);
    int answer = MessageBoxW(owner, widetext ? widetext : L"", widecaption, style);
    free(widetext);
    free(widecaption);
    return answer;
}

bool shellopen(HWND owner, const char* verb, const char* file, const char* parameters,
               const char* folder, int show) {
    const char* texts[] = {verb, file, parameters, folder};
    wchar_t* wide[4] = {};
    bool converted = true;
    for (int i = 0; i < 4; i++)
        if (texts[i]) converted &= (wide[i] = platform::widecopy(texts[i])) != nullptr;
    bool started =
        converted && (INT_PTR)ShellExecuteW(owner, wide[0], wide[1], wide[2], wide[3], show) > 32;
    for (wchar_t* text : wide) free(text);
    return started;
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
