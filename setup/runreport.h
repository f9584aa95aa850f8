// What an extraction run shows: the progress bar's position and the message for the
// engine's result code. Portable: built and tested without a display.
#pragma once

enum RunReport {
    kProgressRange = 50000, // the progress bar's steps, whatever the archive's size
    kCancelledRun = 221,    // the run's code after the user cancelled, whatever the engine said
    kRunMessage = 2048,     // a composed result message: two texts of the package, in UTF-8
};

// The bar's position for bytes done of bytes total: 0 to kProgressRange, never beyond. A
// total of 0 (only empty members) shows the bar full as soon as any byte is done.
int progressposition(unsigned long long done, unsigned long long total);

// The message the run shows for result code `code` into out (kRunMessage bytes); false when
// the code shows none (success, a cancelled run, and a warning of an automatic run).
bool runmessage(int code, bool autoextract, char* out, unsigned size);
