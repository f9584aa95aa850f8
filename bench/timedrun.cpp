// Times one run of a Win32 program from its creation to its end, for the benchmark's rows
// under Wine: every row is timed the same way, inside Wine, without the start-up of the
// program that times it.
//
// With --extract the program is a package whose setup dialog is driven as a person would:
// once its main dialog is up, the benchmark presses Extract and waits for the end. The
// package is built with its overwrite mode "always" and without the completion message, so
// that nothing else is asked.
//
// Usage: timedrun [--extract] PROGRAM [ARGUMENT...]
// Prints "elapsed SECONDS exit CODE" and exits with the program's exit code (2 when it could
// not be started or did not end within the limit).
#include "resources/resource.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

constexpr DWORD kLimit = 30 * 60 * 1000; // milliseconds a run may take at most
constexpr DWORD kLook = 5;               // milliseconds between two looks for the dialog

struct DialogSearch {
    DWORD process;
    HWND found;
};

BOOL CALLBACK findmaindialog(HWND window, LPARAM lparam) {
    DialogSearch* search = reinterpret_cast<DialogSearch*>(lparam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->process && IsWindowVisible(window) && GetDlgItem(window, IDC_EXTRACT) &&
        GetDlgItem(window, IDC_MODE_OVERWRITE))
        search->found = window;
    return search->found == nullptr;
}

// Presses Extract once the package's main dialog is shown; false when the package ended
// first. The package is first waited for until it waits for input (its dialog is up then),
// so that looking for the dialog does not take time from the package while it starts.
bool pressextract(const PROCESS_INFORMATION& run) {
    WaitForInputIdle(run.hProcess, kLimit);
    DialogSearch search = {run.dwProcessId, nullptr};
    for (;;) {
        EnumWindows(findmaindialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) break;
        if (WaitForSingleObject(run.hProcess, kLook) == WAIT_OBJECT_0) return false;
    }
    PostMessageA(search.found, WM_COMMAND, MAKEWPARAM(IDC_EXTRACT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(search.found, IDC_EXTRACT)));
    return true;
}

std::string commandline(int argc, char** argv, int first) {
    std::string line;
    for (int i = first; i < argc; i++) {
        if (i > first) line += ' ';
        bool quote = strchr(argv[i], ' ') != nullptr;
        line += quote ? "\"" + std::string(argv[i]) + "\"" : std::string(argv[i]);
    }
    return line;
}

} // namespace

int main(int argc, char** argv) {
    bool extract = argc > 1 && strcmp(argv[1], "--extract") == 0;
    int first = extract ? 2 : 1;
    if (argc <= first) {
        fprintf(stderr, "usage: timedrun [--extract] PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    std::string line = commandline(argc, argv, first);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION run = {};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &run)) {
        fprintf(stderr, "timedrun: cannot start %s (error %lu)\n", argv[first], GetLastError());
        return 2;
    }
    if (extract && !pressextract(run)) fprintf(stderr, "timedrun: no main dialog came\n");
    bool ended = WaitForSingleObject(run.hProcess, kLimit) == WAIT_OBJECT_0;
    QueryPerformanceCounter(&end);
    DWORD code = 2;
    if (ended)
        GetExitCodeProcess(run.hProcess, &code);
    else
        TerminateProcess(run.hProcess, 2);
    CloseHandle(run.hThread);
    CloseHandle(run.hProcess);
    printf("elapsed %.3f exit %lu\n", double(end.QuadPart - start.QuadPart) / frequency.QuadPart,
           code);
    return ended ? int(code) : 2;
}
