// The two fixed path buffers of the program, shared by every folder that holds a path.
//
// Short buffers hold what the package and the system hand over in 256 characters: the
// program's own module path, the package title and default folder, the folder chosen in the
// browser. Long buffers hold a Windows path of the system's MAX_PATH: a stored member name,
// the destination folder of a run, a path the setup composes.
#pragma once

#include "platform/files.h"

enum PathLimits {
    kShortPathBuffer = 256,                        // 255 characters and a NUL
    kLongPathBuffer = platform::kSystemPathBuffer, // 259 characters and a NUL
};
static_assert(kLongPathBuffer > kShortPathBuffer, "a long path holds every short one");
