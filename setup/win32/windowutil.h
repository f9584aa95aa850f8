// Window routines shared by the setup dialogs: their texts, sizes in dialog units,
// centring, enabling children and keeping the interface alive while the engine runs on the
// one thread.
//
// The program holds its texts in UTF-8; the windows take and give them through the wide
// calls, converted at the call (platform/win32/widetext.h), so a dialog shows and reads
// every character whatever the system's code page.
#pragma once

#include <windows.h>

// A window's text, a dialog control's text, and a message box with the system's answer.
void settext(HWND window, const char* text);
void setitemtext(HWND dialog, int id, const char* text);
int showmessage(HWND owner, const char* text, const char* caption, unsigned style);

// A dialog control's text as UTF-8 into out (size bytes), cut at a character boundary;
// returns its length.
unsigned itemtext(HWND dialog, int id, char* out, unsigned size);

// The texts of a shell call in UTF-16, freed with the record: a null text stays null.
// converted is false when memory ran out for one of them.
struct ShellTexts {
    wchar_t *verb, *file, *parameters, *folder;
    bool converted;
    ShellTexts(const char* verb, const char* file, const char* parameters, const char* folder);
    ~ShellTexts();
};

// Has the shell open file with verb (the default verb when null), parameters and working
// folder (none when null); true when it started something.
bool shellopen(HWND owner, const char* verb, const char* file, const char* parameters,
               const char* folder, int show);

// A size in dialog units as pixels of dialog: dialog units follow the dialog's font, which the
// dialog manager makes for the DPI the dialog is shown at, so a size placed by hand in a dialog
// is given in them.
SIZE dialogpixels(HWND dialog, int across, int down);

// Moves window to the centre of the desktop without changing its size or z-order.
void centerwindow(HWND window);

// Invalidates the whole window, erases its background and repaints it at once.
void redrawnow(HWND window);

// Enumeration callback: enables (enable nonzero) or disables one child window.
BOOL CALLBACK enablechild(HWND child, LPARAM enable);

// Dispatches every message waiting for the thread; each is first offered to the keyboard
// navigation of the dialog it belongs to.
void dispatchpending();

// Takes one message, waiting for it, and dispatches it the same way; false when the thread
// was asked to quit (the quit message is left for the message loop that owns it).
bool dispatchnext();

// A dialog procedure's record: kept in DWLP_USER when the dialog initialises, read back by
// every handler after that.
inline void keeprecord(HWND dialog, void* record) {
    SetWindowLongPtrW(dialog, DWLP_USER, (LONG_PTR)record);
}
template <typename Record>
Record* recordof(HWND dialog) {
    return (Record*)GetWindowLongPtrW(dialog, DWLP_USER);
}

// Shows or hides one control of a dialog.
void showcontrol(HWND dialog, int id, bool show);
