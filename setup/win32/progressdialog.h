// The progress dialog ("EXTRACTING") of an extraction run, which also asks whether an
// existing file may be overwritten. Only Windows code includes it.
#pragma once

#include "setup/win32/setupstate.h"

// Creates the modeless dialog owned by the main dialog, shown when the package shows
// progress, and keeps it in state->progressdialog. False when it cannot be created.
bool openprogressdialog(SetupState* state);

// Destroys it.
void closeprogressdialog(SetupState* state);

// The engine's progress report after each block written to name, with the bytes written so
// far (state is the context): moves the bar, shows the name, keeps the interface alive;
// nonzero, and state->cancel set, when the user cancelled. The window is brought up to date
// a few dozen times a second, not at every report.
int reportprogress(void* state, const char* name, unsigned long long bytesdone);

// Brings the bar and the name field up to the last report at once: before a question and at
// the end of a run, so that the window never stays behind the run.
void showprogressnow(SetupState* state);

// The engine's question for an existing output file at path: nonzero overwrites it. The
// progress dialog turns into the question until Yes or No is pressed; "Don't ask again"
// answers every later question of the setup the same way.
int askoverwrite(void* state, const char* path, const char* member);
