// Window routines shared by the setup dialogs: centring, enabling children and keeping the
// interface alive while the engine runs on the one thread.
#pragma once

#include <windows.h>

// Style bits of createfont.
enum : unsigned { kFontBold = 1, kFontItalic = 2, kFontUnderline = 4, kFontStrikeOut = 8 };

// A font of face (the system's choice when null) at points on the screen, with the style bits;
// null when the screen's device context cannot be had.
HFONT createfont(const char* face, int points, unsigned style);

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
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)record);
}
template <typename Record>
Record* recordof(HWND dialog) {
    return (Record*)GetWindowLongPtrA(dialog, DWLP_USER);
}

// Shows or hides one control of a dialog.
void showcontrol(HWND dialog, int id, bool show);
