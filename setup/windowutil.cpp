// Window routines of the setup dialogs. Only Windows code here.
#include "setup/windowutil.h"

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
    if (root && IsDialogMessageA(root, message)) return;
    TranslateMessage(message);
    DispatchMessageA(message);
}

void dispatchpending() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage((int)message.wParam);
            return;
        }
        dispatch(&message);
    }
}

bool dispatchnext() {
    MSG message;
    BOOL got = GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) PostQuitMessage((int)message.wParam);
    if (got <= 0) return false;
    dispatch(&message);
    return true;
}

void showcontrol(HWND dialog, int id, bool show) {
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}
