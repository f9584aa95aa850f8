// uiprobe: runs a package and prints what it shows, for people and for the main job.
//
//   uiprobe PACKAGE [ARGUMENTS...]
//
// It waits for the package's first window, prints a message box's caption, text and icon,
// or a dialog's caption and the texts of its visible controls, then closes it (OK for a
// message box, Cancel for a dialog) and prints the package's exit code. It fails (exit 3)
// only when no window appears or the package does not end in time; every wait has a timeout.
#include "uitest/uitest.h"

#include <cstdio>
#include <string>

namespace {

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

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: uiprobe PACKAGE [ARGUMENTS...]\n");
        return 2;
    }
    std::string arguments;
    for (int i = 2; i < argc; i++) arguments += (i > 2 ? " " : "") + std::string(argv[i]);
    uitest::Process run(argv[1], arguments);
    if (!run.started()) {
        std::fprintf(stderr, "uiprobe: cannot start %s\n", argv[1]);
        return 2;
    }
    HWND window = run.waitwindow();
    if (!window) {
        std::printf("no window appeared\n");
        return 3;
    }
    if (uitest::ismessagebox(window)) {
        uitest::MessageBoxContent box = uitest::readmessagebox(window);
        std::printf("message box \"%s\" (%s icon): %s\n", box.caption.c_str(), iconname(box.icon),
                    oneline(box.text).c_str());
        uitest::answermessagebox(window, IDOK);
    } else {
        std::printf("dialog \"%s\"\n", uitest::windowtext(window).c_str());
        EnumChildWindows(window, printcontrol, 0);
        std::printf("pressing Cancel\n");
        uitest::click(window, IDCANCEL);
    }
    int code = run.waitexit();
    std::printf("exit code %d\n", code);
    std::fflush(stdout);
    return code < 0 ? 3 : 0;
}
