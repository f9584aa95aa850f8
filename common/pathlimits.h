// The two fixed text buffers of the program, shared by every folder that holds a path. Both
// hold UTF-8.
//
// Short buffers hold what the package hands over in 255 bytes of its code page, each of
// which becomes at most three bytes of UTF-8: the package's title and default folder. Long
// buffers hold a path as the file calls take it (platform/files.h): the program's own path,
// the destination folder of a run, a folder chosen in the browser, a path the setup composes.
#pragma once

#include "platform/files.h"

enum PathLimits {
    kPackageText = 255, // the bytes of a title or default folder in the package
    kTextGrowth = 3,    // UTF-8 bytes of one byte of the package's code page, at most
    kShortPathBuffer = kPackageText * kTextGrowth + 1,
    kLongPathBuffer = platform::kPathText,
};
static_assert(kLongPathBuffer > kShortPathBuffer, "a long path holds every short one");
