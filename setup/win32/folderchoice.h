// The folder choice of the main dialog's "..." button: the system's folder browser with a
// New... button that leads to the new-folder dialog ("DLGNEW").
#pragma once

#include <windows.h>

// Lets the user choose the destination, starting from the main dialog's folder field, and puts
// the choice into the field: an existing folder as the browser names it, a new one (typed in
// DLGNEW, made later by the extraction) with a trailing '\'. 1 when a folder was chosen, 0
// when the user cancelled; the field is then unchanged.
int choosefolder(HWND maindialog);
