// Window routines shared by the setup dialogs: sizes in dialog units, centring, enabling
// children and keeping the interface alive while the engine runs on the one thread.
#pragma once

#include <windows.h>

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
    SetWindowLongPtrA(dialog, DWLP_USER, (LONG_PTR)record);
}
template <typename Record>
Record* recordof(HWND dialog) {
    return (Record*)GetWindowLongPtrA(dialog, DWLP_USER);
}

// Shows or hides one control of a dialog.
void showcontrol(HWND dialog, int id, bool show);
