// Window routines of the setup dialogs. Only Windows code here.
#include "setup/windowutil.h"

HFONT createfont(const char* face, int points, unsigned style) {
    HDC screen = GetDC(nullptr);
    if (!screen) return nullptr;
    int height = -((points * GetDeviceCaps(screen, LOGPIXELSY) + 36) / 72); // rounded
    ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, style & kFontBold ? FW_BOLD : FW_NORMAL,
                       (style & kFontItalic) != 0, (style & kFontUnderline) != 0,
                       (style & kFontStrikeOut) != 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face ? face : "");
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
