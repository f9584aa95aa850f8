// The start-up's view of the operating system: own path, message boxes, files and folders.
//
// Portable code (startup/, setup/ helpers, engine/) never includes <windows.h>; it calls
// these operations, which platform/win32/ implements with the Win32 API and platform/posix/
// implements for Linux. Results are plain integers and the box styles are the Win32 values,
// so a style word stored in a package passes through unchanged.
#pragma once

namespace platform {

// Message-box styles and answers, with the values the Win32 API gives them.
enum BoxStyle : unsigned {
    kBoxOk = 0x00,
    kBoxYesNo = 0x04,
    kBoxError = 0x10,
    kBoxQuestion = 0x20,
    kBoxWarning = 0x30,
    kBoxInformation = 0x40,
};
enum BoxAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

// Copies the program's own file path into out (at most size - 1 characters and a NUL).
// Returns the length copied, 0 on failure.
unsigned ownmodulepath(char* out, unsigned size);

// Shows a message box without an owner window and returns the answer. On Linux the text
// goes to standard error as "caption: text" and the answer is kAnswerOk.
int messagebox(const char* text, const char* caption, unsigned style);

// True when a file or folder exists at path (a path ending in a separator names the folder).
bool pathexists(const char* path);

// Creates one folder; returns 0 on success and -1 on failure, like the C runtime's _mkdir.
int makedirectory(const char* path);

// Removes one empty folder; returns 0 on success and -1 on failure (for example when it
// still holds something).
int removefolder(const char* path);

} // namespace platform
