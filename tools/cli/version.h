// What "orvsfx --version" prints.
#pragma once

#include <string>

// The program's version, the installed stub's version, size and path (or why there is none),
// and the libraries orvsfx was built with; one line each.
std::string versionreport();
