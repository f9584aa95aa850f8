// The main setup dialog ("MAINDIALOG"): the one window of a setup.
#pragma once

#include <windows.h>

// Dialog procedure given to the modal dialog call of the run sequence. The dialog ends with
// 1 when the setup completed and 0 otherwise.
INT_PTR CALLBACK maindialogproc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
