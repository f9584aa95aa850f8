// The extraction run that the main dialog's Extract button starts. Only Windows code
// includes it.
#pragma once

#include "setup/win32/setupstate.h"

// Reads the folder field and the overwrite mode from the main dialog, makes the destination
// folder (recording each folder it creates in state->dirlist), runs the engine on the
// program's own file with the progress dialog, and shows the message for its result.
// Returns 1 when the engine reported success or when no file was selected (nothing is then
// made), 0 otherwise; state->cancel tells a cancelled run from a failed one.
int runextraction(SetupState* state);
