// Where orvsfx finds the stub when a build names none: installed with the program, as
// PREFIX/share/orvsfx/stub.exe beside PREFIX/bin/orvsfx. A host build folder has the same
// layout (its share/orvsfx/stub.exe is a link to the win32 build's stub, made by
// cmake/Install.cmake), so orvsfx run from a build uses the stub of that build.
#pragma once

#include <string>

// The place of the installed stub, and why it cannot be used (empty when it can).
struct StubPlace {
    std::string path;
    std::string problem;
};

// Looks at the place that belongs to the running program.
StubPlace installedstub();

// The installed stub's path; throws BuildError naming where it looked when there is none.
std::string defaultstub();
