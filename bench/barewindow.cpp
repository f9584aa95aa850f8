// A program that only opens one window and ends: the benchmark's baseline for what Wine
// itself costs to start and end a windowed program, which the setup's own rows include too.
#include <windows.h>

namespace {

const char kClass[] = "OrvandelBareWindow";

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    WNDCLASSA windowclass = {};
    windowclass.lpfnWndProc = DefWindowProcA;
    windowclass.hInstance = instance;
    windowclass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    windowclass.lpszClassName = kClass;
    if (!RegisterClassA(&windowclass)) return 1;
    HWND window = CreateWindowA(kClass, "Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 400, 200, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    DestroyWindow(window);
    return 0;
}
