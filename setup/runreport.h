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

// The code a run ends with, from the engine's result: kCancelledRun once the user cancelled,
// whatever the engine said. An automatic run shows no notice for a warning, so there a
// warning counts as success when every chosen member was extracted (what remains is a
// warning about the archive as a whole, such as a comment cut short), and as the failure it
// is when a member failed.
int runoutcome(int code, bool cancelled, bool automatic, bool memberfailed);

// The message the run shows for the code it ended with into out (kRunMessage bytes); false
// when the code shows none (success and a cancelled run).
bool runmessage(int code, char* out, unsigned size);
