// The options block of a package and the setup options record it fills.
//
// The block's layout and magic are drawn in startup/packageblocks.h. decodeoptions is portable
// and shared with the builder's "info"; readoptionsblock adds the file access and the error
// boxes of the stub.
#pragma once

#include "common/pathlimits.h"
#include "startup/packageblocks.h"
#include "startup/textblock.h"

#include <stddef.h>

// Flag byte A.
enum : unsigned char {
    kFlagCommandOptional = 0x01,
    kFlagSelectFiles = 0x02,
    kFlagShowOverwrite = 0x04,
    kFlagOverwriteAlways = 0x08,
    kFlagOverwriteNever = 0x10,
    kFlagCleanAfter = 0x20,
    kFlagAutoExtract = 0x40,
    kFlagNoDoneMessage = 0x80,
};
// Flag byte B.
enum : unsigned char {
    kFlagInfoPanel = 0x01,
    kFlagNoOpenWith = 0x02,
    kFlagShowComment = 0x04,
    kFlagNoAboutExtra = 0x08,
    kFlagNoProgress = 0x10,
    kFlagShowBanner = 0x20,
    kFlagWriteLog = 0x40,
};

// Overwrite modes of SfxOptions.overwritemode.
enum : unsigned char { kOverwriteAsk = 0, kOverwriteAlways = 8, kOverwriteNever = 16 };

struct SfxOptions {
    char* startprompt;
    char* abouttext;
    char* infotext;
    char title[kShortPathBuffer];
    char* command;
    char destfolder[kLongPathBuffer]; // the package's folder, or the one "/d" names
    bool hasstartprompt;
    unsigned short promptstyle;
    bool hasabouttext;
    bool aboutextra;
    bool hasinfotext;
    bool hascommand;
    bool commandoptional;
    bool showoverwrite;
    bool selectfiles;
    unsigned char overwritemode;
    bool autoextract;
    bool showdone;
    bool infopanel;
    bool noopenwith;
    bool showcomment;
    bool cleanafter;
    bool showprogress;
    bool showbanner;
    bool writelog;
};

// Outcome of decodeoptions; each failure is the UiText number of its message, so the stub
// shows UiText[status].
enum OptionsStatus {
    kOptionsOk = 0,
    kOptionsNoMemory = kTextOutOfMemory,  // a text field could not be allocated
    kOptionsUnreadable = kTextReadError,  // the program's own file cannot be opened
    kOptionsBadVersion = kTextBadVersion, // version is not 3
    // Short data, wrong magic, a length L below the header, fields past L, or neither "PK"
    // nor "MS" at L: whatever follows the texts is not a block and an archive this stub
    // knows. The stub shows it under the package's title.
    kOptionsInvalid = kTextUnknownCompression,
};

// Makes a zeroed SfxOptions whose four texts (startprompt, abouttext, infotext, command) are
// empty heap strings, as decodeoptions needs them. Null when memory runs out; nothing is
// left allocated then.
SfxOptions* makesfxoptions();

// Frees a record made by makesfxoptions together with its four texts; null is allowed.
void releasesfxoptions(SfxOptions* options);

// Reads the 16-bit block length L from the 12-byte header, or 0 when the header is not
// an options block header.
unsigned optionsblocklength(const unsigned char* header, size_t n);

// Decodes a whole block (data holds the block and at least the archive's first two bytes)
// into options, whose four text pointers must each hold a heap block (they are resized).
// The flags are set as soon as the version is known to be right, also if a later check
// fails. defaulttitle replaces an empty title.
OptionsStatus decodeoptions(const unsigned char* data, size_t n, SfxOptions* options,
                            const char* defaulttitle);

// The process's setup options, and the program's own path (filled by readoptionsblock).
extern SfxOptions* sfxoptions;
extern char* ownpath;

// Reads the options block of the program's own file at optionsoffset into sfxoptions,
// showing its own error box. Returns 1 on success, 0 after a failure.
int readoptionsblock();

// The same for any file, without a message box: returns 1, or 0 with the reason in
// *status (when given); the reason's number is the UiText number of its message.
int readoptionsblockfrom(const char* filepath, unsigned long offset,
                         OptionsStatus* status = nullptr);
