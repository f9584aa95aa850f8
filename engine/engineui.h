// The narrow interface through which the engine reaches the user interface.
//
// The engine never shows anything itself. Whatever needs the user (an existing file, a
// password, progress and cancel, the choice of members) goes through this record, which the
// user interface fills and hangs into EngineState before a run: the stub's dialogs with
// their list box 301 and progress dialog, the Linux front-end with its terminal, the tests
// with scripted answers. The pointed-to fields belong to the user interface; the engine
// reads and writes them during a run.
#pragma once

#include "common/pathlimits.h"

// Size of the user interface's shared text buffer: room for three paths (a member name, the
// destination and a composed message) and a little more.
enum { kSharedTextBuffer = 3 * kLongPathBuffer + 4 };

// The password question's buffer, UTF-8: a password of kPasswordLength characters as the
// dialog takes it, or a "/p" value of the command line. The engine's cached password and
// its preset password have this size too (checked in enginestate.h), so a password that the
// command line or the dialog accepts is never cut before it is tried. The builder encrypts
// with at most kPasswordLength bytes of the package's code page.
enum { kPasswordLength = 255, kPasswordBuffer = kLongPathBuffer };
static_assert(int(kPasswordBuffer) > int(kPasswordLength) * int(kTextGrowth),
              "a password typed in full fits as UTF-8");

// Special answers of the password question: its first byte only is looked at, the bytes
// behind it are whatever the buffer held.
enum PasswordMarker : unsigned char {
    kPasswordCancelMarker = 0xAC, // ask no more in this run
    kPasswordSkipMarker = 0xAD,   // skip this member
};

// Every operation gets the record's context, the front end's own state for this run.
struct EngineUi {
    void* context;

    // An output file exists already: nonzero overwrites it, 0 skips the member.
    int (*askoverwrite)(void* context, const char* path);
    // Asks for the password of `member` into buffer (kPasswordBuffer bytes: at most 255
    // characters and a NUL), or for one of the PasswordMarker answers.
    void (*promptpassword)(void* context, char* buffer, const char* member);
    // Called after every block written to path; nonzero cancels the run.
    int (*reportprogress)(void* context, const char* path);

    // The file list that chooses members (list 301 of the main dialog): the index of the
    // first item that begins with text, ignoring case (-1 when none); whether an item is
    // selected; deleting an item.
    int (*finditem)(void* context, const char* text);
    int (*isselected)(void* context, int item);
    void (*deleteitem)(void* context, int item);

    int* cancel;                   // set by the engine when reportprogress asks to cancel
    unsigned long long* bytesdone; // running total of bytes written in this run
    char* text;        // shared text buffer; the member loop copies a list item name here
    unsigned textsize; // its size in bytes (kSharedTextBuffer in every front end)
    int dirlist;       // string list of created folders (0: none)
    int filelist;      // string list of every output file written (0: none)
    int newfilelist;   // of those, the ones made where no file stood before (0: none); the
                       // clean-up after a cancelled run removes these and nothing else

    // Why something failed: called once for each failing member (member is its central
    // name) and for each fault of the archive as a whole (member is null), with an
    // EngineReason, the result code it gives and a system error code (0: none). Null: not
    // reported. The stub's dialogs leave it null and show the run's result code only.
    void (*reportfailure)(void* context, int reason, int result, const char* member, int syserror);

    // Called after a member's file has been written and closed (folder 0), or after a folder
    // member's folder has been created (folder 1), with what its central header says: the
    // host system (the high byte of "version made by") and the external attributes (whose
    // high 16 bits hold a Unix host's mode), and its times as FILETIMEs in the order
    // modification, access, creation with the time flags of those that are valid. Null: not
    // called. The stub's dialogs leave it null; orvsfx gives Unix modes and folder times.
    void (*memberdone)(void* context, const char* path, int folder, unsigned host,
                       unsigned external, const unsigned long long* times, unsigned timeflags);
};
