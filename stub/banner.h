// The banner: a full-screen backdrop behind the setup dialogs, a blue-to-black gradient with
// the package title in large italic type. Only Windows code includes it.
#pragma once

#include <windows.h>

// Registers the window class "SetupSFX"; false when it cannot be registered.
bool registerbannerclass(HINSTANCE instance);

// Creates the banner with title as its text and shows it maximised; null when it cannot be
// created. show is not used: the banner always covers the screen.
HWND createbanner(HINSTANCE instance, int show, const char* title);
