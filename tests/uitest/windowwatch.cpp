// The window watch: a hook library that a UI test hangs into a program it starts, so that
// what the program shows is recorded as it happens, however short-lived its windows are.
//
// uitest::Process starts the program suspended, sets windowwatchhook on its main thread
// (WH_CALLWNDPROCRET) and lets it run; the system loads this library into the program, and
// the hook runs on the program's own thread after each message one of its windows has
// handled. It appends a line to the log that ORV_WINDOW_LOG names for each of these:
//   show   a window was shown (its text: the caption; its controls: the ids of its children)
//   hide   a window was hidden
//   text   a window's text was set (its text: the new text)
//   value  a progress bar's position was set (its text: the position in decimal)
// A line is "kind<TAB>window<TAB>root<TAB>id<TAB>class<TAB>text<TAB>controls", the handles
// in hexadecimal, texts in UTF-8 with tabs and line breaks as blanks, each written in one
// append so that the test can read the log while the program runs.
//
// With ORV_WINDOW_HOLD set to a number, the program is held at the first progress position
// of at least that number: its windows are painted, the event "orv-held-PID" is set, and the
// hook waits for "orv-release-PID" (a minute at most), so that a test sees a running state
// that a fast machine would pass before any look at the screen.
#include <windows.h>
#include <commctrl.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

constexpr int kTextLength = 1024;           // characters of a window text recorded
constexpr int kTextBytes = 3 * kTextLength; // its UTF-8: a UTF-16 unit takes 3 bytes at most
constexpr int kClassLength = 256;           // the longest window class name
constexpr int kClassBytes = 3 * kClassLength;
constexpr int kControlBytes = 1024; // the ids of a dialog's controls
constexpr int kNumberBytes = 64;    // the kind, two handles, an id and the separators
constexpr int kLineBytes = kTextBytes + kClassBytes + kControlBytes + kNumberBytes;
static_assert(kNumberBytes > 5 + 2 * 8 + 11 + 7 + 1, "the fixed fields of a line fit");
constexpr DWORD kHoldLimit = 60000;

HANDLE logfile = INVALID_HANDLE_VALUE;
long holdat = -1; // the position to hold at, -1 when not asked or done

void openlog() {
    static bool opened = false;
    if (opened) return;
    opened = true;
    wchar_t path[MAX_PATH];
    if (GetEnvironmentVariableW(L"ORV_WINDOW_LOG", path, MAX_PATH) - 1u < MAX_PATH - 1u)
        logfile = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    char hold[16];
    if (GetEnvironmentVariableA("ORV_WINDOW_HOLD", hold, sizeof hold) - 1u < sizeof hold - 1u)
        holdat = atol(hold);
}

// A wide text as UTF-8, with the log's separators turned into blanks.
void utf8of(const wchar_t* text, char* out, int size) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, nullptr, nullptr);
    if (n <= 0) out[0] = 0;
    for (char* c = out; *c; c++)
        if (*c == '\t' || *c == '\r' || *c == '\n') *c = ' ';
}

// The ids of a window's direct children, comma-separated.
struct ControlList {
    HWND parent;
    char* text;
    int size;
};

BOOL CALLBACK addcontrol(HWND child, LPARAM lparam) {
    ControlList* list = reinterpret_cast<ControlList*>(lparam);
    if (GetParent(child) != list->parent) return TRUE;
    int used = (int)strlen(list->text);
    snprintf(list->text + used, list->size - used, used ? ",%d" : "%d", GetDlgCtrlID(child));
    return TRUE;
}

void record(const char* kind, HWND window, const char* text, bool withcontrols) {
    if (logfile == INVALID_HANDLE_VALUE) return;
    wchar_t wideclass[kClassLength] = L"";
    GetClassNameW(window, wideclass, kClassLength);
    char classname[kClassBytes], controls[kControlBytes] = "";
    utf8of(wideclass, classname, sizeof classname);
    if (withcontrols) {
        ControlList list = {window, controls, sizeof controls};
        EnumChildWindows(window, addcontrol, reinterpret_cast<LPARAM>(&list));
    }
    bool child = (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0;
    char line[kLineBytes];
    int n = snprintf(line, sizeof line, "%s\t%lx\t%lx\t%d\t%s\t%s\t%s\n", kind,
                     (unsigned long)(UINT_PTR)window,
                     (unsigned long)(UINT_PTR)GetAncestor(window, GA_ROOT),
                     child ? GetDlgCtrlID(window) : 0, classname, text, controls);
    if (n <= 0 || n >= (int)sizeof line) return;
    DWORD written;
    WriteFile(logfile, line, (DWORD)n, &written, nullptr);
}

void recordtext(const char* kind, HWND window, bool withcontrols) {
    wchar_t wide[kTextLength] = L"";
    GetWindowTextW(window, wide, kTextLength);
    char text[kTextBytes];
    utf8of(wide, text, sizeof text);
    record(kind, window, text, withcontrols);
}

// Paints the program's windows, tells the test and waits until it lets the program go on.
void hold(HWND window) {
    RedrawWindow(GetAncestor(window, GA_ROOT), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    char name[64];
    snprintf(name, sizeof name, "orv-held-%lu", GetCurrentProcessId());
    HANDLE held = CreateEventA(nullptr, TRUE, FALSE, name);
    snprintf(name, sizeof name, "orv-release-%lu", GetCurrentProcessId());
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, name);
    if (held && release) {
        SetEvent(held);
        WaitForSingleObject(release, kHoldLimit);
    }
    if (held) CloseHandle(held);
    if (release) CloseHandle(release);
}

void onposition(HWND window, long position) {
    char text[16];
    snprintf(text, sizeof text, "%ld", position);
    record("value", window, text, false);
    if (holdat >= 0 && position >= holdat) {
        holdat = -1;
        hold(window);
    }
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    windowwatchhook(int code, WPARAM wparam, LPARAM lparam) {
    if (code == HC_ACTION) {
        openlog();
        const CWPRETSTRUCT* message = reinterpret_cast<const CWPRETSTRUCT*>(lparam);
        switch (message->message) {
        case WM_WINDOWPOSCHANGED: {
            // Every way of showing a window ends here, also the maximized show, which sends
            // no WM_SHOWWINDOW.
            UINT flags = reinterpret_cast<const WINDOWPOS*>(message->lParam)->flags;
            if (flags & SWP_SHOWWINDOW) recordtext("show", message->hwnd, true);
            if (flags & SWP_HIDEWINDOW) record("hide", message->hwnd, "", false);
            break;
        }
        case WM_SETTEXT:
            recordtext("text", message->hwnd, false);
            break;
        case PBM_SETPOS:
            onposition(message->hwnd, (long)message->wParam);
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}
