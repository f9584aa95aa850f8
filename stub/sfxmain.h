// The stub's entry and run sequence: one setup per process, exit code 0 when it completed.
#pragma once

// Process entry: skips the program name on the command line, runs sfxmain and ends the
// process with its result.
extern "C" void sfxentry();

// The run sequence: loads the package's texts and options, runs the main dialog and cleans
// up. Returns 0 when the setup completed and 1 otherwise. It takes WinMain's arguments and
// reads neither previous (always null) nor show: its windows choose how they show.
int sfxmain(void* instance, void* previous, char* tail, int show);

// Frees the process-wide state: link class, ownpath, the options record and the texts.
void releasesetup();

// Resets the zip engine before the main dialog runs; it cannot fail.
void enginestartup();
