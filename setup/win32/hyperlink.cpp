// The "KVB_URLText" window class of the main dialog's links. Only Windows code here.
//
// A link's window text is "shown text#target" (without '#' the whole text is both). The
// control paints the shown text in blue, red and underlined while the mouse is over it (it
// then holds the mouse capture), grey when disabled, with a dotted frame while it has the
// focus. A click, or the space bar pressed and released with nothing in between, opens the
// target through the shell: with "mailto:" in front when it holds an '@'; a target that
// begins with '~' is not opened, the parent gets kLinkActivated instead.
//
// A link draws in its dialog's font, which the dialog manager made for the DPI the dialog is
// shown at (and makes again when a move to another monitor changes it), so the link follows
// the DPI as the dialog's own controls do. The hot and focused links are class-wide: at most
// one link is under the mouse and one has the focus.
#include "setup/win32/hyperlink.h"

#include "resources/resource.h"
#include "setup/win32/windowutil.h"

#include <windows.h>

#include <string.h>
#include <wchar.h>

namespace {

const wchar_t kLinkClass[] = L"KVB_URLText";
const wchar_t kMailPrefix[] = L"mailto:";
enum { kMailPrefixLength = sizeof kMailPrefix / sizeof *kMailPrefix - 1 };
const COLORREF kLinkColour = RGB(0, 0, 200);
const COLORREF kHotColour = RGB(255, 0, 0);

enum : int {
    kLinkText = 256, // window texts are read with room for 255 UTF-16 units
    kTextInset = 2,  // the text stands this far in from the left and top edges
};
static_assert(kLinkActivated == WM_USER + 100, "the parent's notification of '~' targets");
static_assert(SS_CENTER == 1, "bit 0 of the template's style centres the text");

struct LinkClass {
    bool registered;
    HWND focused, hot;
    bool spacedown; // the space bar went down while a link had the focus
};
LinkClass links;

// The dotted focus frame around the text drawn into area, in single pixels.
void drawfocus(HDC dc, const RECT& area, const wchar_t* text, int length, bool centred) {
    SIZE size;
    GetTextExtentPoint32W(dc, text, length, &size);
    int left = centred ? area.left + (area.right - area.left) / 2 - size.cx / 2 - 2 : area.left - 2;
    int right = left + size.cx + 4, top = area.top - 2, bottom = area.top + size.cy;
    COLORREF colour = GetSysColor(COLOR_3DDKSHADOW);
    for (int x = left + 1; x < right; x += 2) {
        SetPixel(dc, x, top, colour);
        SetPixel(dc, x, bottom, colour);
    }
    for (int y = top + 1; y < bottom; y += 2) {
        SetPixel(dc, left, y, colour);
        SetPixel(dc, right, y, colour);
    }
}

// The dialog's font, underlined or not (the system's font for a parent without one); the
// caller deletes it.
HFONT linkfont(HWND window, bool underlined) {
    LOGFONTW look = {};
    GetObjectW((HFONT)SendMessageW(GetParent(window), WM_GETFONT, 0, 0), sizeof look, &look);
    look.lfUnderline = underlined;
    return CreateFontIndirectW(&look);
}

void paintlink(HWND window) {
    wchar_t text[kLinkText];
    int length = GetWindowTextW(window, text, kLinkText);
    if (const wchar_t* mark = wmemchr(text, L'#', length)) length = int(mark - text);
    RECT area;
    GetClientRect(window, &area);
    bool centred = (GetWindowLongW(window, GWL_STYLE) & SS_CENTER) != 0;
    bool hot = links.hot == window;

    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetTextColor(dc, !IsWindowEnabled(window) ? GetSysColor(COLOR_GRAYTEXT)
                     : hot                    ? kHotColour
                                              : kLinkColour);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldfont = SelectObject(dc, linkfont(window, hot));
    area.left += kTextInset;
    area.top += kTextInset;
    DrawTextW(dc, text, length, &area,
              (centred ? DT_CENTER : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX);
    if (links.focused == window) drawfocus(dc, area, text, length, centred);
    DeleteObject(SelectObject(dc, oldfont));
    EndPaint(window, &paint);
}

void activate(HWND window) {
    links.hot = nullptr;
    ReleaseCapture();
    redrawnow(window);
    SetCursor(LoadCursorW(nullptr, (LPCWSTR)IDC_APPSTARTING));
    // The text is read behind room for the mail prefix, which is written in front of the
    // target where it needs one.
    wchar_t buffer[kMailPrefixLength + kLinkText];
    wchar_t* text = buffer + kMailPrefixLength;
    GetWindowTextW(window, text, kLinkText);
    if (wchar_t* mark = wcschr(text, L'#')) text = mark + 1;
    if (wcschr(text, L'@')) {
        text -= kMailPrefixLength;
        memcpy(text, kMailPrefix, kMailPrefixLength * sizeof *kMailPrefix);
    }
    if (text[0] == L'~')
        SendMessageW(GetParent(window), kLinkActivated, GetWindowLongW(window, GWL_ID), 0);
    else
        ShellExecuteW(nullptr, L"open", text, nullptr, nullptr, SW_SHOWNORMAL);
    SetCursor(LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW));
}

// The hot link follows the mouse: the first move over a link captures the mouse, and a move
// outside its window lets it go.
void onmousemove(HWND window, LPARAM position) {
    if (!links.hot) {
        links.hot = window;
        redrawnow(window);
        SetCapture(window);
        return;
    }
    RECT box;
    GetWindowRect(window, &box);
    int x = (short)LOWORD(position), y = (short)HIWORD(position);
    if (x < 0 || y < 0 || x > box.right - box.left || y > box.bottom - box.top) {
        links.hot = nullptr;
        ReleaseCapture();
        redrawnow(window);
    }
}

void setfocused(HWND window, HWND focused) {
    links.focused = focused;
    if (!focused) links.spacedown = false;
    redrawnow(window);
}

LRESULT CALLBACK linkwindowproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        if (!links.registered) return -1;
        links.focused = GetFocus() == window ? window : nullptr;
        links.hot = nullptr;
        return 0;
    case WM_DESTROY:
        if (links.hot == window) ReleaseCapture(); // the hot link holds the capture
        break;
    case WM_SETFOCUS:
        setfocused(window, window);
        return 0;
    case WM_KILLFOCUS:
        setfocused(window, nullptr);
        return 0;
    case WM_ENABLE:
        InvalidateRect(window, nullptr, TRUE);
        break;
    case WM_PAINT:
        paintlink(window);
        return 0;
    case WM_KEYDOWN:
        links.spacedown = wparam == VK_SPACE;
        return 0;
    case WM_KEYUP:
        if (wparam == VK_SPACE && links.spacedown)
            activate(window);
        else
            links.spacedown = false;
        return 0;
    case WM_MOUSEMOVE:
        onmousemove(window, lparam);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(window);
        setfocused(window, window);
        return 0;
    case WM_LBUTTONUP:
        activate(window);
        return 0;
    case WM_CAPTURECHANGED:
        links.hot = nullptr;
        redrawnow(window);
        return 0;
    case WM_SETTEXT: {
        LRESULT result = DefWindowProcW(window, message, wparam, lparam);
        InvalidateRect(window, nullptr, TRUE);
        return result;
    }
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

int registerlinkclass() {
    if (links.registered) return 1;
    links.registered = true;
    WNDCLASSW linkclass = {};
    linkclass.style = CS_HREDRAW | CS_VREDRAW;
    linkclass.lpfnWndProc = linkwindowproc;
    linkclass.hInstance = GetModuleHandleW(nullptr);
    linkclass.hCursor = LoadCursorW(linkclass.hInstance, L"URLHAND");
    linkclass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    linkclass.lpszClassName = kLinkClass;
    return RegisterClassW(&linkclass);
}

int unregisterlinkclass() {
    if (!links.registered) return 0;
    links.registered = false;
    UnregisterClassW(kLinkClass, GetModuleHandleW(nullptr));
    return 1;
}
