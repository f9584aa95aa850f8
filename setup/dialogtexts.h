// Texts the setup dialogs compose from the package's texts and options. Portable: built and
// tested without a display.
//
// Every text is written into a caller's buffer of a given size and is cut there, always
// ended by a NUL, so a long command, member name or title never runs past a buffer.
#pragma once

#include "common/pathlimits.h"
#include "platform/textformat.h"

// Sizes in bytes of UTF-8.
enum DialogTextSizes {
    kCommandLabel = kLongPathBuffer,     // the run check box's label
    kPasswordCaption = kShortPathBuffer, // the password dialog's caption: 255 characters
    // The overwrite question's caption (a file name and a text).
    kQuestionCaption = kLongPathBuffer + kShortPathBuffer,
    kOpenWithName = 20,                // the archiver's name in the Open-with label: 19 bytes
    kOpenWithLabel = kShortPathBuffer, // that label
    kAboutMargin = 10,                 // room the About text keeps beyond what it needs
    kMakerAddressLength = 128,         // the maker's link target
};
static_assert(int(kQuestionCaption) > int(kLongPathBuffer),
              "a whole file name fits the question's caption");

// The maker's web address: the target of the main dialog's link line.
extern const char kMakerAddress[];

// Formats into out (size bytes, at least 1); a longer result is cut and still ends with a
// NUL, whatever the C library does with a cut. Returns out.
using platform::formattext;

// A package text with one "%s" (such as "Please enter the password for %s") with value in
// its place, into out. Only the first "%s" takes the value and "%%" becomes "%"; every other
// character is copied as it stands, so a package's text is never read as a format.
char* filltext(const char* text, const char* value, char* out, unsigned size);

// The label of the run check box for command: "After extraction, " " " and "install " for a
// command that names ".INF" anywhere (any case) or "run " otherwise, " ", then the command
// up to its first "|"; the destination tokens "><\", "><", "{P}\" and "{P}" are removed.
void commandlabel(const char* command, char* out, unsigned size);

// The main dialog's link line: the maker's link text, "#" and the maker's address.
void makerlink(char* out, unsigned size);

// The Open-with button's label for the archiver's display name, of which at most 19
// characters are shown.
void openwithlabel(const char* archiver, char* out, unsigned size);

// The About box's text, in a heap block the caller frees: the package's own about text and
// a blank line when it has one, the program's about text, and the extra text when the
// package asks for it. Null when memory runs out.
char* composeabout();

// The overwrite question's caption: the file-name part of path (after its last "\", "/" or
// ":") followed by the "already exists" text.
void questioncaption(const char* path, char* out, unsigned size);

// The password dialog's caption for member (kPasswordCaption bytes).
void passwordcaption(const char* member, char* out, unsigned size);
