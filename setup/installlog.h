// The install log: "install.log" in the destination folder, listing every file and folder a
// successful run created, so that an uninstaller can remove them. Portable.
//
// Layout (lines ended by CR LF), in the system's ANSI code page without a byte-order mark
// when that code page holds every character of the log; otherwise the whole log in UTF-8
// behind a byte-order mark (EF BB BF), so that no name is ever written in a lossy form:
//
//   Brundimar Archive Install Log
//   :
//   <package title>
//   <date in the user's short format> <time in 24-hour form>
//   <number of created files + number of created folders>
//   :
//   F+<file path>        one line per created file, the last created first
//   D+<folder path>      one line per created folder, the last created first
//   :
//   End.
//
// Paths use "\" throughout. The count counts list entries, also empty ones, which get no
// line.
#pragma once

#include "common/pathlimits.h"

// The log's own path (destination folder and file name) and each of its entries, in UTF-8.
enum { kInstallLogPath = kLongPathBuffer + 16 };

struct InstallLog {
    const char* destination; // the run's destination folder, "/" or "\" separated
    const char* title;
    const char* date;
    const char* time;
    int filelist; // string lists of the created files and folders, in creation order
    int dirlist;
};

// Writes the log, replacing an older one. Returns 1, or 0 when it cannot be created (also
// when its path does not fit kInstallLogPath, or memory runs out); a write that fails is not
// reported.
int writeinstalllog(const InstallLog* log);
