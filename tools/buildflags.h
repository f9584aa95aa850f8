// The command line of "orvsfx build": what to pack, how, and every field of the options block.
//
// Options are read from tables (text fields, flag bits, the rest), and the same tables print
// the help, so a new option cannot be parsed without also being documented.
#pragma once

#include "tools/optionsencoder.h"

#include <string>
#include <vector>

struct BuildRequest {
    std::string stub;    // --stub
    std::string output;  // -o / --output
    std::string texts;   // --texts; empty: the standard English table
    std::string folder;  // the folder to pack (positional argument)
    std::string fromzip; // --from-zip
    std::string comment; // --comment (folder builds)
    int level = 6;       // --level: 0 stored, 1 to 12 Deflate
    PackageOptions options;
    bool promptstyleset = false; // --prompt-style given; else the default goes with a prompt
    bool help = false;           // --help: print buildhelp() and do nothing else
};

// Parses the arguments after "build"; throws UsageError for anything wrong or missing.
BuildRequest parsebuildflags(const std::vector<std::string>& args);

// The help text of "orvsfx build".
std::string buildhelp();
