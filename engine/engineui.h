// The narrow interface through which the engine reaches the user interface.
//
// The engine never shows anything itself. Whatever needs the user (an existing file, a
// password, a full disk, a member of a newer version, progress and cancel, the choice of
// members) goes through this table of operations, which each front end keeps as a constant
// and hands to the engine in its RunRequest (engine/runrequest.h) with a context pointer, its
// own state for the run: the stub's dialogs with their list box 301 and progress dialog, the
// Linux front-end with its terminal, the tests with scripted answers. Every operation may be
// left null; the engine then does what the comment beside it says.
#pragma once

#include "common/pathlimits.h"

// The password question's buffer, UTF-8: a password of kPasswordLength characters as the
// dialog takes it, or a "/p" value of the command line. The engine's cached password has
// this size too, so a password that the command line or the dialog accepts is never cut
// before it is tried. The builder encrypts with at most kPasswordLength bytes of the
// package's code page.
enum { kPasswordLength = 255, kPasswordBuffer = kLongPathBuffer };
static_assert(int(kPasswordBuffer) > int(kPasswordLength) * int(kTextGrowth),
              "a password typed in full fits as UTF-8");

// Special answers of the password question: its first byte only is looked at, the bytes
// behind it are whatever the buffer held.
enum PasswordMarker : unsigned char {
    kPasswordCancelMarker = 0xAC, // ask no more in this run
    kPasswordSkipMarker = 0xAD,   // skip this member
};

// The fields of a central file header, as the engine has read them.
struct CentralHeader {
    unsigned char versionmadeby, hostmadeby, versionneeded, hostneeded;
    unsigned short flags, method;
    unsigned dostime, crc, compressedsize, uncompressedsize;
    unsigned short namelength, extralength, commentlength, diskstart, internal;
    unsigned external, localoffset;
};

// Every operation gets the context of the run request first.
struct EngineUi {
    // Questions.
    // An output file exists already at path (the output of the central name member): nonzero
    // overwrites it, 0 skips the member. Null: skipped.
    int (*askoverwrite)(void* context, const char* path, const char* member);
    // Asks for the password of `member` into buffer (kPasswordBuffer bytes: at most 255
    // characters and a NUL), or for one of the PasswordMarker answers. Null: no more
    // questions in this run.
    void (*promptpassword)(void* context, char* buffer, const char* member);
    // Writing path failed on a full disk: nonzero abandons this member and goes on with the
    // next, 0 stops the run. Null: stops.
    int (*askdiskfull)(void* context, const char* path);
    // member comes from a system (VMS) whose newer versions may still be readable though its
    // header asks for a newer version: nonzero extracts it anyway. Null: refused.
    int (*asknewversion)(void* context, const char* member);

    // Reports.
    // Called after every block written to path, with the bytes written in this run so far;
    // nonzero cancels the run (result 80). Null: never cancelled.
    int (*reportprogress)(void* context, const char* path, unsigned long long bytesdone);
    // Why something failed: called once for each failing member (member is its central
    // name) and for each fault of the archive as a whole (member is null), with an
    // EngineReason, the result code it gives and a system error code, or for kReasonMethod
    // the method (0: none). A member reported with kReasonAbsolutePath is still written,
    // under its name without the leading separators; every other failure of a member keeps it
    // from being written whole.
    void (*reportfailure)(void* context, int reason, int result, const char* member, int detail);
    // Called after a member's file has been written and closed (folder 0), or after a folder
    // member's folder has been created (folder 1), with what its central header says: the
    // host system (the high byte of "version made by") and the external attributes (whose
    // high 16 bits hold a Unix host's mode), and its times as FILETIMEs in the order
    // modification, access, creation with the time flags of those that are valid.
    void (*memberdone)(void* context, const char* path, int folder, unsigned host,
                       unsigned external, const unsigned long long* times, unsigned timeflags);
    // Called for every central-directory entry as it is read, before it is chosen or refused:
    // its name as name text, its header and its extra field (extra null when it has none).
    void (*offerentry)(void* context, const char* name, const CentralHeader* header,
                       const unsigned char* extra, unsigned extralength);

    // The file list that chooses members (list 301 of the main dialog): the index of the
    // first item that begins with text, ignoring case (-1 when none); whether an item is
    // selected; deleting an item, which the engine does for each member it has extracted.
    // Null finditem: no list, so that a run of the selected members chooses none.
    int (*finditem)(void* context, const char* text);
    int (*isselected)(void* context, int item);
    void (*deleteitem)(void* context, int item);
};
