// The record shared by the setup dialogs, the extraction run and the engine's callbacks:
// one per setup, owned by the main dialog. Only Windows code includes it.
//
// The engine reaches it as the context of its user-interface calls (engine/engineui.h):
// the progress report, the overwrite and password questions and the file list 301 all find
// their dialogs here, and the answers the user gives during a run are kept here, never in
// the package's options.
#pragma once

#include "common/pathlimits.h"
#include "engine/engineui.h"

#include <windows.h>

// Size of the shared text buffer: room for three paths (a member name, the destination and
// a composed message) and a little more.
enum { kSharedTextBuffer = 3 * kLongPathBuffer + 4 };

// The progress dialog's answer code: what the user pressed since the code was reset.
enum AnswerCode {
    kAnswerYes = 0,       // overwrite this file
    kAnswerNo = 1,        // keep it
    kAnswerCancelRun = 2, // Cancel: stop the run
    kAnswerRemember = 20, // added to Yes or No when "Don't ask again" is ticked
    kAnswerPending = 255, // nothing pressed yet
};

// Which of its two layouts the progress dialog shows.
enum PromptMode {
    kPromptProgress = 0, // progress bar, current file, Cancel
    kPromptQuestion = 1, // the overwrite question: Yes, No, "Don't ask again"
};

struct SetupState {
    HWND maindialog;
    HWND progressdialog;               // the modeless progress dialog during a run, else null
    char destination[kLongPathBuffer]; // the folder field's text; during and after a run
                                       // "/"-separated with a trailing "/"
    int dirlist;                       // string lists of the folders and files this run created
    int filelist;
    int newfilelist;      // the files made where none stood before (clean-up)
    int templist;         // the run sequence's files to delete at exit (the legal page's)
    const char* password; // the first password tried for encrypted members ("/p"; empty: none)
    int cancel;           // set when the progress report tells the engine to cancel the run
    bool running;         // an extraction runs: the main dialog's Cancel waits for it
    bool memberfailed;    // the engine reported a member it did not extract
    HWND choicelist;      // list 301 during a run, which the engine looks members up in
    int founditem;        // the item of list 301 the engine's last look-up found (0 at first)
    HWND progressbar;
    const char* currentname; // the path of the engine's last progress report
    bool progressshown;      // the progress window has been brought up to date in this run
    double shownat;          // when that was last done, in milliseconds
    double progresswait;     // the milliseconds until the next update
    unsigned long long bytesdone;
    unsigned long long bytestotal; // sum of the members' sizes, from the list fill
    int answer;                    // an AnswerCode
    int promptmode;                // a PromptMode
    bool overwriteremembered;      // "Don't ask again" was ticked: the answer is overwriteall
    bool overwriteall;
    char text[kSharedTextBuffer]; // the current member's name, questions, messages
};
