// Pictures of windows taken from the screen (see windowpicture.h).
//
// The screen's device context is copied into a bottom-up 24-bit DIB section, whose rows lie
// in memory as a BMP file stores them (each padded to four bytes), so the file is its two
// headers followed by the section's bits.
#include "tests/uitest/windowpicture.h"

#include <fstream>

namespace uitest {

namespace {

constexpr WORD kBitmapSignature = 0x4D42; // "BM"
constexpr WORD kBitsPerPixel = 24;
constexpr int kPaintWait = 500; // milliseconds for another process to repaint

DWORD rowbytes(int width) {
    return (DWORD(width) * kBitsPerPixel / 8 + 3) & ~3u;
}

bool writebitmap(const std::string& path, const BITMAPINFOHEADER& info, const void* bits) {
    BITMAPFILEHEADER file = {};
    file.bfType = kBitmapSignature;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(static_cast<const char*>(bits), info.biSizeImage);
    return bool(out);
}

} // namespace

void showfront(HWND window) {
    SetForegroundWindow(window);
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(kPaintWait);
}

bool savewindowpicture(HWND window, const std::string& path) {
    RECT area;
    if (!GetWindowRect(window, &area)) return false;
    int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height; // positive: bottom-up rows, as a BMP file keeps them
    info.biPlanes = 1;
    info.biBitCount = kBitsPerPixel;
    info.biCompression = BI_RGB;
    info.biSizeImage = rowbytes(width) * height;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
    bool saved = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        saved =
            BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        SelectObject(memory, old);
        saved = saved && writebitmap(path, info, bits);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

} // namespace uitest
