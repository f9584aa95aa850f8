// uiprobe: runs a package and prints what it shows, for people and for the main job.
//
//   uiprobe PACKAGE [ARGUMENTS...]            shows the first window, then closes it
//   uiprobe --extract PACKAGE [ARGUMENTS...]  runs the whole setup through its dialogs
//
// Without --extract it waits for the package's first window, prints a message box's caption,
// text and icon, or a dialog's caption and the texts of its visible controls, then closes it
// (OK for a message box, Cancel for a dialog) and prints the package's exit code.
//
// With --extract it prints the main dialog and its file list, presses Extract, and answers
// what the setup asks as a user who wants the files would: Yes to an existing file, OK to a
// message, Cancel to a password it does not know. When the package has ended it lists what
// lies in the destination folder and prints install.log, and exits with the package's exit
// code. Every wait has a timeout; it fails (exit 3) when no window appears or the package
// does not end in time.
#include "tests/uitest/uitest.h"

#include "resources/resource.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

const int kSetupTimeout = 300000; // a whole setup under an emulated Wine

const char* iconname(unsigned icon) {
    switch (icon) {
    case MB_ICONERROR:
        return "error";
    case MB_ICONINFORMATION:
        return "information";
    case MB_ICONWARNING:
        return "warning";
    case MB_ICONQUESTION:
        return "question";
    }
    return "none";
}

std::string oneline(std::string text) {
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos;)
        text.replace(at, 2, "\\r\\n");
    return text;
}

BOOL CALLBACK printcontrol(HWND control, LPARAM) {
    if (!IsWindowVisible(control)) return TRUE;
    char classname[64] = "";
    GetClassNameA(control, classname, sizeof classname);
    std::string text = oneline(uitest::windowtext(control));
    if (!text.empty())
        std::printf("  control %4d %-12s \"%s\"%s\n", GetDlgCtrlID(control), classname,
                    text.c_str(), IsWindowEnabled(control) ? "" : " (disabled)");
    return TRUE;
}

void printdialog(HWND window) {
    std::printf("dialog \"%s\"\n", uitest::windowtext(window).c_str());
    EnumChildWindows(window, printcontrol, 0);
}

// Prints a message box and presses its first answer that goes on with the setup.
void answerbox(HWND box) {
    uitest::MessageBoxContent shown = uitest::readmessagebox(box);
    std::printf("message box \"%s\" (%s icon): %s\n", shown.caption.c_str(), iconname(shown.icon),
                oneline(shown.text).c_str());
    uitest::answermessagebox(box, GetDlgItem(box, IDYES) ? IDYES : IDOK);
}

bool isquestion(HWND window) {
    return GetDlgItem(window, IDC_QUESTION_DONTASK) &&
           uitest::controlvisible(window, IDC_QUESTION_YES);
}

bool ispassword(HWND window) {
    HWND field = GetDlgItem(window, IDC_PASSWORD);
    return field && (GetWindowLongA(field, GWL_STYLE) & ES_PASSWORD);
}

// Answers whatever the setup shows until it ends; returns its exit code (-1: no end).
int answeruntilend(uitest::Process& run) {
    std::set<HWND> answered;
    for (int waited = 0; waited < kSetupTimeout && run.running(); waited += 100) {
        for (HWND window : run.windows()) {
            if (answered.count(window) && !isquestion(window)) continue;
            if (uitest::ismessagebox(window)) {
                answerbox(window);
            } else if (isquestion(window)) {
                std::printf("question \"%s\": %s -> Yes\n", uitest::windowtext(window).c_str(),
                            uitest::controltext(window, IDC_PROGRESS_NAME).c_str());
                uitest::click(window, IDC_QUESTION_YES);
                uitest::waitgone(window, 2000);
                for (int w = 0; w < 5000 && isquestion(window); w += 50) Sleep(50);
            } else if (ispassword(window)) {
                std::printf("password question \"%s\" -> Cancel\n",
                            uitest::windowtext(window).c_str());
                uitest::click(window, IDCANCEL);
            } else {
                continue;
            }
            answered.insert(window);
        }
        Sleep(100);
    }
    return run.waitexit(1000);
}

void listfolder(const std::string& folder, const std::string& shown) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::printf("  %s%s\\\n", shown.c_str(), name.c_str());
            listfolder(folder + "\\" + name, shown + name + "\\");
        } else {
            std::printf("  %s%s  (%lu bytes)\n", shown.c_str(), name.c_str(),
                        (unsigned long)found.nFileSizeLow);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

void printlog(const std::string& folder) {
    FILE* log = std::fopen((folder + "\\install.log").c_str(), "rb");
    if (!log) return;
    std::printf("install.log:\n");
    char line[1024];
    while (std::fgets(line, sizeof line, log)) {
        size_t length = std::strlen(line);
        while (length && (line[length - 1] == '\n' || line[length - 1] == '\r')) line[--length] = 0;
        std::printf("  | %s\n", line);
    }
    std::fclose(log);
}

int extractall(uitest::Process& run) {
    HWND window = run.waitwindow();
    while (window && uitest::ismessagebox(window)) {
        answerbox(window);
        uitest::waitgone(window);
        window = run.waitwindow();
    }
    if (!window) {
        std::printf("no dialog appeared\n");
        return 3;
    }
    printdialog(window);
    std::string folder = uitest::controltext(window, IDC_FOLDER);
    for (const std::string& item : uitest::listitems(window, IDC_FILELIST_DISPLAY))
        std::printf("  file list: %s\n", item.c_str());
    std::printf("pressing Extract\n");
    uitest::click(window, IDC_EXTRACT);
    int code = answeruntilend(run);
    std::printf("exit code %d\n", code);
    std::printf("in %s:\n", folder.c_str());
    listfolder(folder, "");
    printlog(folder);
    return code;
}

int showfirst(uitest::Process& run) {
    HWND window = run.waitwindow();
    if (!window) {
        std::printf("no window appeared\n");
        return 3;
    }
    if (uitest::ismessagebox(window)) {
        answerbox(window);
    } else {
        printdialog(window);
        std::printf("pressing Cancel\n");
        uitest::click(window, IDCANCEL);
    }
    int code = run.waitexit();
    std::printf("exit code %d\n", code);
    return code < 0 ? 3 : 0;
}

} // namespace

int main(int argc, char** argv) {
    bool extract = argc > 1 && std::strcmp(argv[1], "--extract") == 0;
    int first = extract ? 2 : 1;
    if (argc <= first) {
        std::fprintf(stderr, "usage: uiprobe [--extract] PACKAGE [ARGUMENTS...]\n");
        return 2;
    }
    std::string arguments;
    for (int i = first + 1; i < argc; i++)
        arguments += (i > first + 1 ? " " : "") + std::string(argv[i]);
    uitest::Process run(argv[first], arguments);
    if (!run.started()) {
        std::fprintf(stderr, "uiprobe: cannot start %s\n", argv[first]);
        return 2;
    }
    int result = extract ? extractall(run) : showfirst(run);
    std::fflush(stdout);
    if (extract && result < 0) return 3;
    return result;
}
