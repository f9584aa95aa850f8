// The stub's entry and run sequence: one setup per process, exit code 0 when it completed.
#pragma once

// Process entry: skips the program name on the command line, runs sfxmain and ends the
// process with its result.
extern "C" void sfxentry();

// The run sequence: loads the package's texts and options, applies the command line's tail
// (the arguments after the program name), runs the main dialog and cleans up. Returns 0 when
// the setup completed and 1 otherwise.
int sfxmain(void* instance, char* tail);

// Frees the process-wide state: link class, ownpath, the options record and the texts.
void releasesetup();

// Resets the zip engine before the main dialog runs; it cannot fail.
void enginestartup();
