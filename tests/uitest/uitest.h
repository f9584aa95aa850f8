// A small library for Win32 UI tests: start a program, find its windows, read and drive
// its dialogs and message boxes, and collect its exit code.
//
// Every wait has a timeout (in milliseconds). A Process that is still running when it goes
// out of scope is terminated, so a failing test never leaves a program behind.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace uitest {

enum : int { kDefaultTimeout = 15000 };

// What a started program did to its windows, recorded on its own thread as it happened
// (windowwatch.cpp): so a test sees a window however short-lived, with no look in time.
struct WindowEvent {
    std::string kind;          // "show", "hide", "text" (a text was set), "value" (a position)
    unsigned window = 0;       // the window's handle
    unsigned root = 0;         // its top-level window
    int id = 0;                // its control id; 0 for a top-level window
    std::string classname;     // its window class
    std::string text;          // the caption or new text (UTF-8), or the position in decimal
    std::vector<int> controls; // for "show": the ids of its child windows
};

class Process {
  public:
    // Starts exe with the given argument text (both UTF-8); extraenv holds "NAME=value"
    // entries that are added to (or replace in) the test's own environment. Its windows are watched
    // from its first instruction on (events()). With holdat >= 0 the program is held still at the
    // first progress-bar position of at least holdat (waitheld, release).
    Process(const std::string& exe, const std::string& arguments = "",
            const std::vector<std::string>& extraenv = {}, int holdat = -1);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return handle_ != nullptr; }
    DWORD id() const { return id_; }

    // Visible top-level windows of the process.
    std::vector<HWND> windows() const;

    // The first visible top-level window whose class is classname (any class when null)
    // and, when given, whose caption is caption; null on timeout.
    HWND waitwindow(const char* classname = nullptr, const char* caption = nullptr,
                    int timeout = kDefaultTimeout) const;

    // Waits for a message box (a dialog with a message text) of the process.
    HWND waitmessagebox(int timeout = kDefaultTimeout) const;

    // The exit code, or -1 when the process is still running at the timeout.
    int waitexit(int timeout = kDefaultTimeout);

    // True while the process has not ended.
    bool running() const;

    // Everything recorded of its windows so far, in order.
    std::vector<WindowEvent> events() const;

    // Waits until the program is held at its progress position; false on timeout or when it
    // ended first. Its windows are painted and stay as they are until release().
    bool waitheld(int timeout = kDefaultTimeout) const;
    void release() const;

  private:
    HANDLE handle_ = nullptr;
    DWORD id_ = 0;
    std::string log_;          // the window log's path
    HHOOK hook_ = nullptr;     // the window watch on the program's main thread
    HANDLE held_ = nullptr;    // set by the program when it is held
    HANDLE release_ = nullptr; // set by release()
};

// Whether events hold a top-level window shown whose class is classname (any when null)
// and that has a control with the id control (any when 0).
bool wasshown(const std::vector<WindowEvent>& events, const char* classname, int control = 0);

// Whether events hold a message box shown.
bool messageboxshown(const std::vector<WindowEvent>& events);

// What a message box shows. icon is the MB_ICON* style whose system icon it displays
// (MB_ICONERROR, MB_ICONINFORMATION, MB_ICONWARNING, MB_ICONQUESTION) or 0.
struct MessageBoxContent {
    std::string caption;
    std::string text;
    unsigned icon = 0;
    std::vector<int> buttons; // ids of the visible buttons, in the order IDOK, IDCANCEL, IDABORT,
                              // IDRETRY, IDIGNORE, IDYES, IDNO
};

bool ismessagebox(HWND window);
MessageBoxContent readmessagebox(HWND box);

// Presses a message-box button by its id (IDOK, IDYES ...).
void answermessagebox(HWND box, int buttonid);

std::string windowtext(HWND window);
std::string controltext(HWND dialog, int id);
bool controlvisible(HWND dialog, int id);
bool controlenabled(HWND dialog, int id);
bool controlchecked(HWND dialog, int id);
RECT controlrect(HWND dialog, int id); // in the dialog's client coordinates

// Clicks a button of a dialog (as the user would: the button sends its notification).
void click(HWND dialog, int id);

// Replaces the text of an edit field.
void typetext(HWND dialog, int id, const std::string& text);

// Items of a list box, in UTF-8.
std::vector<std::string> listitems(HWND dialog, int id);

// Waits until window is gone (destroyed or hidden); false on timeout.
bool waitgone(HWND window, int timeout = kDefaultTimeout);

} // namespace uitest
