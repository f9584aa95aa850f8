// The after-extraction command: started through the shell once a run has succeeded. Only
// Windows code includes it.
#pragma once

#include "setup/win32/setupstate.h"

// Prepares command (setup/commandtext) for state's destination, hides the setup windows and
// starts it through the shell, owned by the main dialog. When the shell cannot start it, the
// windows come back and the system's message for the error is shown; returns 0. Otherwise it
// waits up to a second for the program to be ready for input and, for a package that cleans
// up behind itself, until the program has ended and no installer window is left, keeping
// the thread's messages flowing; returns 1. The windows stay hidden: the setup ends next.
int runcommand(SetupState* state, const char* command);

// True when an installer window (class "InstallShield_Win" or "isdelete") exists; it then
// sleeps 500 ms before answering, so that a caller asking in a loop polls at that pace.
bool installerbusy();
