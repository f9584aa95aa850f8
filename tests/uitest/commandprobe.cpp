// A program that a test package runs as its after-extraction command, recording what it got.
//
//   commandprobe ARGS...          writes probe.txt in its current folder: its argument text on
//                                 the first line, the current folder on the second (UTF-8)
//   commandprobe --sleep MS       the same, then sleeps MS milliseconds and writes late.txt
//   commandprobe --installer MS [CLASS]
//                                 the same, then starts a copy of itself as an installer that
//                                 outlives it (--window MS CLASS) and ends at once
//   commandprobe --window MS CLASS
//                                 keeps a window of class CLASS (default "isdelete") for MS
//                                 milliseconds, then writes installer.txt
//
// late.txt and installer.txt hold "payload=1" when payload.txt (a member of the test's
// package) still stood beside them at that moment: a package that cleans up behind itself
// must wait that long before it removes its files.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include <string>

namespace {

// The argument text behind the program's name.
const wchar_t* argumenttext() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ') line++;
    }
    while (*line == L' ') line++;
    return line;
}

void appendutf8(std::string& out, const wchar_t* text) {
    char bytes[4 * MAX_PATH * 3];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
    out += bytes;
}

void writetext(const char* name, const char* text) {
    if (FILE* file = fopen(name, "wb")) {
        fputs(text, file);
        fclose(file);
    }
}

void writepayloadstate(const char* name) {
    writetext(name, GetFileAttributesA("payload.txt") != INVALID_FILE_ATTRIBUTES ? "payload=1"
                                                                                 : "payload=0");
}

void startinstaller(const char* milliseconds, const char* windowclass) {
    char self[MAX_PATH], command[3 * MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    snprintf(command, sizeof command, "\"%s\" --window %s %s", self, milliseconds, windowclass);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        // The installer's window exists before this program ends (a process of the emulator
        // may take seconds to start).
        for (int waited = 0; waited < 30000 && !FindWindowA(windowclass, nullptr); waited += 20)
            Sleep(20);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void runinstaller(int milliseconds, const char* classname) {
    WNDCLASSA windowclass = {};
    windowclass.lpfnWndProc = DefWindowProcA;
    windowclass.hInstance = GetModuleHandleA(nullptr);
    windowclass.lpszClassName = classname;
    RegisterClassA(&windowclass);
    HWND window = CreateWindowA(classname, "installer", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                windowclass.hInstance, nullptr);
    DWORD end = GetTickCount() + milliseconds;
    while (GetTickCount() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(20);
    }
    writepayloadstate("installer.txt");
    DestroyWindow(window);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && strcmp(argv[1], "--window") == 0) {
        runinstaller(atoi(argv[2]), argv[3]);
        return 0;
    }
    wchar_t folder[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::string record;
    appendutf8(record, argumenttext());
    record += "\r\n";
    appendutf8(record, folder);
    record += "\r\n";
    writetext("probe.txt", record.c_str());
    if (argc == 3 && strcmp(argv[1], "--sleep") == 0) {
        Sleep(atoi(argv[2]));
        writepayloadstate("late.txt");
    }
    if (argc >= 3 && strcmp(argv[1], "--installer") == 0)
        startinstaller(argv[2], argc >= 4 ? argv[3] : "isdelete");
    return 0;
}
