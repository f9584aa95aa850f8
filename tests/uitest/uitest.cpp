// Win32 UI test library: processes, windows, dialogs and message boxes of another program.
//
// Windows of another process are read with messages (WM_GETTEXT, LB_GETTEXT, BM_GETCHECK)
// that the system marshals across processes. A message box is recognised as a dialog that
// has a static control with the message-box text id; its icon style is found by comparing
// the icon's pixels with the system icons, since icon handles differ between processes.
#include "tests/uitest/uitest.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

namespace uitest {

namespace {

constexpr int kMessageTextId = 0xFFFF; // static control with a message box's text
// Static control with a message box's icon: 0x14 on Windows, 1088 (stc1) under Wine.
constexpr int kMessageIconIds[] = {0x0014, 0x0440};
constexpr int kPoll = 50;

std::string buildenvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> variables;
    char* block = GetEnvironmentStringsA();
    for (char* p = block; *p; p += strlen(p) + 1) {
        std::string entry = p;
        size_t eq = entry.find('=', 1);
        if (eq != std::string::npos) variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    FreeEnvironmentStringsA(block);
    for (const std::string& entry : extra) {
        size_t eq = entry.find('=');
        variables[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    std::string result;
    for (auto& [name, value] : variables) result += name + "=" + value + '\0';
    return result + '\0';
}

struct Search {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND window, LPARAM lparam) {
    Search* search = reinterpret_cast<Search*>(lparam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
}

std::string classof(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

constexpr int kIconSize = 32;

// Pixels of a system icon drawn on the given background.
std::vector<COLORREF> drawnicon(HICON icon, COLORREF background) {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kIconSize, kIconSize);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, kIconSize, kIconSize};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    DrawIconEx(dc, 0, 0, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < kIconSize; y++)
        for (int x = 0; x < kIconSize; x++) pixels.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Pixels of the screen under a window's top-left 32x32 corner. Icon handles belong to the
// process that loaded them, so another program's icon is compared by what it looks like.
std::vector<COLORREF> shownicon(HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    HDC screen = GetDC(nullptr);
    std::vector<COLORREF> pixels;
    for (int y = 0; y < kIconSize; y++)
        for (int x = 0; x < kIconSize; x++)
            pixels.push_back(GetPixel(screen, rect.left + x, rect.top + y));
    ReleaseDC(nullptr, screen);
    return pixels;
}

unsigned iconstyle(HWND box) {
    HWND iconcontrol = nullptr;
    for (int id : kMessageIconIds)
        if (!iconcontrol) iconcontrol = GetDlgItem(box, id);
    if (!iconcontrol || !IsWindowVisible(iconcontrol)) return 0;
    std::vector<COLORREF> shown = shownicon(iconcontrol);
    const struct {
        LPCSTR resource;
        unsigned style;
    } kIcons[] = {{IDI_HAND, MB_ICONERROR},
                  {IDI_ASTERISK, MB_ICONINFORMATION},
                  {IDI_EXCLAMATION, MB_ICONWARNING},
                  {IDI_QUESTION, MB_ICONQUESTION}};
    for (const auto& candidate : kIcons)
        if (drawnicon(LoadIconA(nullptr, candidate.resource), shown[0]) == shown)
            return candidate.style;
    return 0;
}

// The window watch's hook library, built beside the test programs (windowwatch.cpp).
HMODULE watchlibrary() {
    static HMODULE library = [] {
        char path[MAX_PATH] = "";
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string folder = path;
        folder.resize(folder.rfind('\\') + 1);
        return LoadLibraryA((folder + "windowwatch.dll").c_str());
    }();
    return library;
}

// A fresh path for a started program's window log, in the temporary folder.
std::string newlogpath() {
    static int started = 0;
    char folder[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "orv-windows-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++started) + ".log";
}

std::wstring widened(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], int(wide.size()));
    wide.resize(units > 0 ? units - 1 : 0);
    return wide;
}

std::string holdevent(const char* what, DWORD process) {
    return std::string("orv-") + what + "-" + std::to_string(process);
}

// Hangs the window watch into a program's thread before it runs its first instruction.
HHOOK watchthread(DWORD thread) {
    HMODULE library = watchlibrary();
    HOOKPROC hook = library ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                  GetProcAddress(library, "windowwatchhook")))
                            : nullptr;
    HHOOK set = hook ? SetWindowsHookExA(WH_CALLWNDPROCRET, hook, library, thread) : nullptr;
    if (!set)
        fprintf(stderr, "uitest: the window watch could not be set (error %lu)\n", GetLastError());
    return set;
}

std::vector<std::string> fieldsof(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
    return fields;
}

std::vector<int> idlist(const std::string& text) {
    std::vector<int> ids;
    std::stringstream in(text);
    for (std::string id; std::getline(in, id, ',');) ids.push_back(std::stoi(id));
    return ids;
}

} // namespace

Process::Process(const std::string& exe, const std::string& arguments,
                 const std::vector<std::string>& extraenv, int holdat)
    : log_(newlogpath()) {
    DeleteFileA(log_.c_str());
    std::vector<std::string> variables = extraenv;
    variables.push_back("ORV_WINDOW_LOG=" + log_);
    if (holdat >= 0) variables.push_back("ORV_WINDOW_HOLD=" + std::to_string(holdat));
    std::wstring program = widened(exe);
    std::wstring commandline =
        L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + widened(arguments));
    std::string environment = buildenvironment(variables);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(program.c_str(), &commandline[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        &environment[0], nullptr, &startup, &info))
        return;
    handle_ = info.hProcess;
    id_ = info.dwProcessId;
    held_ = CreateEventA(nullptr, TRUE, FALSE, holdevent("held", id_).c_str());
    release_ = CreateEventA(nullptr, TRUE, FALSE, holdevent("release", id_).c_str());
    hook_ = watchthread(info.dwThreadId);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    WaitForInputIdle(handle_, 5000);
}

Process::~Process() {
    if (handle_) {
        release();
        if (WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(handle_, 255);
            WaitForSingleObject(handle_, 5000);
        }
        CloseHandle(handle_);
    }
    for (HANDLE event : {held_, release_})
        if (event) CloseHandle(event);
    if (hook_) UnhookWindowsHookEx(hook_);
    DeleteFileA(log_.c_str());
}

std::vector<WindowEvent> Process::events() const {
    std::ifstream in(log_, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    std::vector<WindowEvent> events;
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        std::vector<std::string> fields = fieldsof(text.substr(at, end - at));
        fields.resize(7);
        WindowEvent event;
        event.kind = fields[0];
        event.window = std::stoul("0" + fields[1], nullptr, 16);
        event.root = std::stoul("0" + fields[2], nullptr, 16);
        event.id = std::stoi("0" + fields[3]);
        event.classname = fields[4];
        event.text = fields[5];
        event.controls = idlist(fields[6]);
        events.push_back(event);
    }
    return events;
}

bool Process::waitheld(int timeout) const {
    if (!handle_ || !held_) return false;
    HANDLE either[] = {held_, handle_};
    return WaitForMultipleObjects(2, either, FALSE, timeout) == WAIT_OBJECT_0;
}

void Process::release() const {
    if (release_) SetEvent(release_);
}

bool messageboxshown(const std::vector<WindowEvent>& events) {
    for (int id : kMessageIconIds)
        if (wasshown(events, "#32770", id)) return true;
    return false;
}

bool wasshown(const std::vector<WindowEvent>& events, const char* classname, int control) {
    for (const WindowEvent& event : events) {
        if (event.kind != "show" || event.window != event.root) continue;
        if (classname && event.classname != classname) continue;
        bool hascontrol = control == 0;
        for (int id : event.controls) hascontrol |= id == control;
        if (hascontrol) return true;
    }
    return false;
}

std::vector<HWND> Process::windows() const {
    Search search = {id_, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Process::waitwindow(const char* classname, const char* caption, int timeout) const {
    for (int waited = 0; waited <= timeout; waited += kPoll) {
        for (HWND window : windows()) {
            if (classname && classof(window) != classname) continue;
            if (caption && windowtext(window) != caption) continue;
            return window;
        }
        if (handle_ && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0) return nullptr;
        Sleep(kPoll);
    }
    return nullptr;
}

HWND Process::waitmessagebox(int timeout) const {
    for (int waited = 0; waited <= timeout; waited += kPoll) {
        for (HWND window : windows())
            if (ismessagebox(window)) return window;
        if (handle_ && WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0) return nullptr;
        Sleep(kPoll);
    }
    return nullptr;
}

int Process::waitexit(int timeout) {
    if (!handle_ || WaitForSingleObject(handle_, timeout) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(handle_, &code);
    return (int)code;
}

bool Process::running() const {
    return handle_ && WaitForSingleObject(handle_, 0) == WAIT_TIMEOUT;
}

// A dialog with the text and the icon control of a message box (a dialog of our own may have
// controls with the text's id -1, but not the icon's).
bool ismessagebox(HWND window) {
    if (classof(window) != "#32770" || !GetDlgItem(window, kMessageTextId)) return false;
    for (int id : kMessageIconIds)
        if (GetDlgItem(window, id)) return true;
    return false;
}

MessageBoxContent readmessagebox(HWND box) {
    MessageBoxContent content;
    // The box may not have painted its icon yet when it first becomes visible. Its texts are
    // read after that, when the box is surely answering messages.
    for (int waited = 0; waited < 2000 && !content.icon; waited += kPoll) {
        content.icon = iconstyle(box);
        if (!content.icon) Sleep(kPoll);
    }
    content.caption = windowtext(box);
    content.text = controltext(box, kMessageTextId);
    for (int id : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        HWND button = GetDlgItem(box, id);
        if (button && IsWindowVisible(button)) content.buttons.push_back(id);
    }
    return content;
}

void answermessagebox(HWND box, int buttonid) {
    click(box, buttonid);
}

std::string windowtext(HWND window) {
    char text[4096] = "";
    // Not SMTO_ABORTIFHUNG: under an emulated Wine on a busy machine a program that is
    // working normally can count as hung and the text would come back empty at once.
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_NORMAL, 5000, nullptr);
    return text;
}

std::string controltext(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control ? windowtext(control) : std::string();
}

bool controlvisible(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE);
}

bool controlenabled(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    return control && IsWindowEnabled(control);
}

bool controlchecked(HWND dialog, int id) {
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

RECT controlrect(HWND dialog, int id) {
    RECT rect = {};
    HWND control = GetDlgItem(dialog, id);
    if (!control) return rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void click(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void typetext(HWND dialog, int id, const std::string& text) {
    HWND control = GetDlgItem(dialog, id);
    SendMessageTimeoutA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
}

// Items are read as UTF-16, in which the system marshals a list box's text across processes,
// and turned into UTF-8 here. The buffer is sized from the item's length, with room to spare.
std::vector<std::string> listitems(HWND dialog, int id) {
    std::vector<std::string> items;
    int count = (int)SendDlgItemMessageW(dialog, id, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; i++) {
        LRESULT length = SendDlgItemMessageW(dialog, id, LB_GETTEXTLEN, i, 0);
        if (length < 0) length = 0;
        std::vector<wchar_t> wide(2 * (length + 1) + 16, 0);
        SendDlgItemMessageW(dialog, id, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
        wide.back() = 0;
        char text[4096] = "";
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, text, sizeof text - 1, nullptr, nullptr);
        items.push_back(text);
    }
    return items;
}

bool waitgone(HWND window, int timeout) {
    for (int waited = 0; waited <= timeout; waited += kPoll) {
        if (!IsWindow(window) || !IsWindowVisible(window)) return true;
        Sleep(kPoll);
    }
    return false;
}

} // namespace uitest
