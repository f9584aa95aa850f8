// Finding an installed archiver program, which the main dialog's Open-with button hands the
// package to instead of running the setup.
//
// The registry places are tried in a fixed order of preference and the first that yields a
// non-empty text wins:
//   1 "Orvandel"    HKCU Software\Orvandel\General, "Directory"      the archiver's folder
//   2 "QuickZip"    HKLM ...\App Paths\quickzip.exe, default value   the program's path
//   3 "ZipCentral"  HKLM Software\ZipCentral, "Application Path"     the program's path
//   4 "WinZip"      HKLM ...\App Paths\winzip32.exe, default value   the program's path
//   5 "WinRAR"      HKLM ...\App Paths\winrar.exe, default value     the program's path
// A value that does not fit the caller's buffer is passed over like a missing one: a cut
// path would launch some other program.
#pragma once

enum : int {
    kArchiverPath = 256, // the path Open-with launches, with its NUL
    kArchiverName = 11,  // the longest display name, "ZipCentral", with its NUL
};

// 1 when an archiver is found: path holds the registry's text (at most pathsize - 1
// characters) and name, when given, its display name cut to namesize - 1 characters. 0
// when none is: path and name are empty.
int findarchiver(char* path, int pathsize, char* name, int namesize);
