// The "KVB_URLText" window class of the main dialog's links. Only Windows code here.
//
// A link's window text is "shown text#target"; the control paints the part before '#',
// centred, in the dialog's font. Opening the target on a click belongs to the full link
// control; this class shows the text so that the dialog template can be created.
#include "setup/hyperlink.h"

#include <windows.h>

#include <string.h>

static const char kLinkClass[] = "KVB_URLText";

static void paintlink(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    char text[512];
    int length = GetWindowTextA(window, text, sizeof text);
    if (char* target = (char*)memchr(text, '#', length)) length = (int)(target - text);
    RECT area;
    GetClientRect(window, &area);
    HFONT font = (HFONT)SendMessageA(GetParent(window), WM_GETFONT, 0, 0);
    HGDIOBJ oldfont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 192));
    DrawTextA(dc, text, length, &area, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldfont) SelectObject(dc, oldfont);
    EndPaint(window, &paint);
}

static LRESULT CALLBACK linkproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_PAINT:
        paintlink(window);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcA(window, message, wparam, lparam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

int registerlinkclass() {
    WNDCLASSA linkclass = {};
    linkclass.lpfnWndProc = linkproc;
    linkclass.hInstance = GetModuleHandleA(nullptr);
    linkclass.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
    linkclass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    linkclass.lpszClassName = kLinkClass;
    return RegisterClassA(&linkclass) != 0;
}

void unregisterlinkclass() {
    UnregisterClassA(kLinkClass, GetModuleHandleA(nullptr));
}
