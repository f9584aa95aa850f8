// The banner window. Only Windows code here.
//
// The client area is painted in horizontal bands from blue (0, 0, 255) at the top to black
// (0, 0, 0) at the bottom (setup/dialoglayout.h places them). The title is drawn on one line, in
// black at (15, 15) and then in white at (10, 10), which gives it a shadow. The font lives as long
// as the window and is kept in the window's user data. Its sizes are pixels at 96 DPI, scaled to
// the screen's DPI: the banner covers the primary screen, whose DPI is the system DPI that GDI
// reports.
#include "stub/banner.h"

#include "setup/dialoglayout.h"
#include "setup/win32/windowutil.h"

static const wchar_t kBannerClass[] = L"SetupSFX";

enum {
    kTitleHeight = 48,
    kTitleText = 256, // UTF-16 units of the title read back for painting, NUL included
    kShadowOffset = 15,
    kTitleOffset = 10,
    kBaseDpi = 96, // the DPI at which the sizes above hold
};

static int screenpixels(int pixels) {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return (pixels * dpi + kBaseDpi / 2) / kBaseDpi; // rounded
}

static HFONT createtitlefont() {
    return CreateFontA(screenpixels(kTitleHeight), 0, 0, 0, FW_BOLD, TRUE, FALSE, FALSE, 0,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN,
                       "Times New Roman");
}

static void paintgradient(HDC dc, const RECT& client) {
    for (int band = 0; band < kBannerBands; band++) {
        BandRows rows = bannerband(band, client.bottom);
        RECT rect = {0, rows.top, client.right + 1, rows.bottom};
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, bannerblue(band)));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
}

static void paintbanner(HWND window) {
    wchar_t title[kTitleText];
    int length = GetWindowTextW(window, title, kTitleText);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    paintgradient(dc, client);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ oldfont = SelectObject(dc, (HFONT)GetWindowLongPtrW(window, GWLP_USERDATA));
    int shadow = screenpixels(kShadowOffset), offset = screenpixels(kTitleOffset);
    SetTextColor(dc, RGB(0, 0, 0));
    TextOutW(dc, shadow, shadow, title, length);
    SetTextColor(dc, RGB(255, 255, 255));
    TextOutW(dc, offset, offset, title, length);
    SelectObject(dc, oldfont);
    EndPaint(window, &paint);
}

static LRESULT CALLBACK bannerproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_CREATE:
        settext(window, (const char*)((CREATESTRUCTW*)lparam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)createtitlefont());
        ShowWindow(window, SW_SHOWMAXIMIZED);
        return 0;
    case WM_PAINT:
        paintbanner(window);
        return 0;
    case WM_DESTROY:
        DeleteObject((HFONT)GetWindowLongPtrW(window, GWLP_USERDATA));
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

bool registerbannerclass(HINSTANCE instance) {
    WNDCLASSW windowclass = {};
    windowclass.style = CS_VREDRAW | CS_HREDRAW;
    windowclass.lpfnWndProc = bannerproc;
    windowclass.hInstance = instance;
    windowclass.hIcon = LoadIconW(instance, L"MNICON");
    windowclass.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    windowclass.hbrBackground = (HBRUSH)GetStockObject(LTGRAY_BRUSH);
    windowclass.lpszClassName = kBannerClass;
    return RegisterClassW(&windowclass) != 0;
}

// The window is made as large as the screen from the start: a pop-up window given the
// default size is made 0 by 0, and a window manager may keep it so even once it is
// maximised (Wine does), which would leave the banner unseen.
HWND createbanner(HINSTANCE instance, const char* title) {
    HWND window =
        CreateWindowExW(0, kBannerClass, L"", WS_POPUPWINDOW, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                        GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance, (void*)title);
    if (window) ShowWindow(window, SW_SHOWMAXIMIZED);
    return window;
}
