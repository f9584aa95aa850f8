// The main setup dialog ("MAINDIALOG"): the one window of a setup. Only Windows code
// includes it.
#pragma once

#include <windows.h>

// Runs the whole setup in the modal main dialog, owned by owner: the file list, the
// destination, the start-up question, the extraction and what follows it. Returns 1 when
// the setup completed, 0 otherwise. Temporary files the dialog makes (the legal page) are
// added to the string list templist, which the caller deletes. password is the first
// password tried for encrypted members (empty: none).
int runmaindialog(HWND owner, int templist, const char* password);
