// The banner: a full-screen backdrop behind the setup dialogs, a blue-to-black gradient with
// the package title in large italic type. Only Windows code includes it.
#pragma once

#include <windows.h>

// Registers the window class "SetupSFX"; false when it cannot be registered.
bool registerbannerclass(HINSTANCE instance);

// Creates the banner with title as its text and shows it maximised, covering the screen;
// null when it cannot be created.
HWND createbanner(HINSTANCE instance, const char* title);
