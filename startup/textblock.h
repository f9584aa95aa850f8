// The text block of a package: marker search, checksum and the 66 user-interface texts.
//
// The block's layout and marker are drawn in startup/packageblocks.h. The stub looks for the
// marker only between file offsets 30,000 and 95,529, so the stub's image must end below
// 95,497 and a builder pads a smaller stub up to 30,000.
// This header is portable: the builder's "info" and the tests use the same decoders.
#pragma once

#include "startup/packageblocks.h"

#include <stddef.h>

enum {
    kTextCount = 66,
    kMarkerSearchStart = 30000,  // first file offset searched for the marker
    kMarkerSearchBuffer = 65536, // bytes read at kMarkerSearchStart
    kMarkerSearchSpan = 65530,   // buffer positions at which a '{' may be taken
    kMarkerLastOffset = kMarkerSearchStart + kMarkerSearchSpan - 1,
    kPaddingAreaSize = 32, // between the stub image and the marker
    kStubSizeLimit = kMarkerLastOffset - kPaddingAreaSize,
};
static_assert(kMarkerLastOffset == 95529, "the marker window ends at 95,529");
static_assert(kStubSizeLimit == 95497, "a stub larger than this cannot be found by itself");
static_assert(kMarkerSearchSpan + kTextMarkerSize - 1 <= kMarkerSearchBuffer,
              "a marker found in the span lies whole in the buffer");

// The 66 texts by their roles. Every text the program shows after start-up is addressed by
// one of these names; the numbers are fixed by the package format.
enum UiTextId {
    kTextPackageNote = 0,     // not shown: what this package is
    kTextInsertDisk,          // not shown (disks)
    kTextWrongDisk,           // not shown (disks)
    kTextInitialising,        // not shown
    kTextAborting,            // progress dialog after Cancel
    kTextExtractButton,       // main dialog
    kTextCancelButton,        // every dialog's Cancel
    kTextHelpButton,          // main dialog
    kTextAboutButton,         // main dialog and its system menu
    kTextOkButton,            // password, folder and new-folder dialogs
    kTextSkipButton,          // password dialog
    kTextOpenWithButton,      // main dialog; %s is the archiver's name
    kTextNewFolderButton,     // folder dialog
    kTextYesButton,           // overwrite question
    kTextNoButton,            // overwrite question
    kTextNewFolderCaption,    // new-folder dialog
    kTextCurrentFolderLabel,  // new-folder dialog
    kTextNewFolderNameLabel,  // new-folder dialog
    kTextDefaultTitle,        // the title of a package that gives none
    kTextProductLabel,        // progress dialog
    kTextFolderLabel,         // main dialog: "Extract to"
    kTextFilesLabel,          // main dialog: "Files to extract"
    kTextMakerLink,           // main dialog: the maker's link line
    kTextChooseFolderPrompt,  // folder dialog
    kTextOverwriteGroup,      // main dialog: overwrite-mode group
    kTextModeConfirm,         // overwrite-mode buttons
    kTextModeSkip,            //
    kTextModeOverwrite,       //
    kTextOverwriteQuestion,   // overwrite question
    kTextDontAskAgain,        // overwrite question's check box
    kTextOutOfMemory,         // every out-of-memory message
    kTextBadVersion,          // options block of another version
    kTextLaunchFailed,        // Open-with could not start the archiver
    kTextCannotOpen,          // not shown
    kTextCannotClose,         // not shown
    kTextErrorCaption,        // caption of error messages
    kTextAlreadyExists,       // overwrite question, after the file name
    kTextReadError,           // the archive cannot be read
    kTextInvalidName,         // not shown
    kTextFolderError,         // the destination folder cannot be created
    kTextUnknownCompression,  // options block damaged, or no archive behind it
    kTextNotExtracted,        // an extraction failed
    kTextBadSize,             // not shown
    kTextFatalError,          // start-up failures
    kTextRichEditMissing,     // not shown
    kTextExtracting,          // progress dialog: "Currently extracting"
    kTextCompleted,           // completion message
    kTextAfterExtraction,     // run check box: "After extraction, "
    kTextRunVerb,             // run check box, for a program
    kTextInstallVerb,         // run check box, for an install command
    kTextPasswordPrompt,      // password dialog's caption; %s is the member's name
    kTextWrongPassword,       // extraction result
    kTextUsage,               // usage message
    kTextUsageAuto,           //
    kTextUsageNoCommand,      //
    kTextUsageSilent,         //
    kTextUsageOverwriteModes, //
    kTextUsageConfirm,        //
    kTextUsageOverwrite,      //
    kTextUsageSkip,           //
    kTextUsageFolder,         //
    kTextAboutCaption,        // About box
    kTextHelpCaption,         // Help box
    kTextAbout,               // About box body, usage message, default description
    kTextAboutExtra,          // appended to the About box when the package asks
    kTextHelp,                // Help box body
    kTextIdCount
};
static_assert(int(kTextIdCount) == int(kTextCount), "every text has a name");
static_assert(kTextDefaultTitle == 18 && kTextOutOfMemory == 30 && kTextErrorCaption == 35 &&
                  kTextReadError == 37 && kTextFatalError == 43 && kTextAbout == 63,
              "the names keep the package format's numbers");

// The user-interface texts of the running package, loaded by loaduitexts.
extern char* UiText[kTextCount];

// File offset of the options block, set by loadtextblock.
extern unsigned long optionsoffset;

// XOR checksum in four lanes combined with sign extension: "abc" gives 0x61626300, the two
// bytes 00 80 give 0xFF800000.
unsigned blockchecksum(const unsigned char* data, size_t n);

// Copies the 66 texts of a body of n bytes into UiText. Returns 1, -1 when memory runs out,
// -2 when a text runs past the body.
int loaduitexts(const unsigned char* body, size_t n);

// Releases every loaded text.
void freeuitexts();

// Position of the first marker in buf[0, span) (the match may reach kTextMarkerSize - 1 bytes
// past span), or -1.
long findtextmarker(const unsigned char* buf, size_t span);

// Finds, verifies and loads the text block of the program's own file; shows its own error
// box. Returns 1 on success, 0 after a failure.
int loadtextblock();

// The same for any file, without a message box: returns 1, or 0 with the message of the
// failure in *failure (when given). modulepath decides the checksum exception ("~test.exe",
// or a path without '\').
int loadtextblockfrom(const char* filepath, const char* modulepath, const char** failure = nullptr);
