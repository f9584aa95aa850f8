// The settings of "orvsfx build": what to pack, how, and every field of the options block,
// from the command line and from a package description file (tools/package/packagefile.h).
//
// Options are read from one table that names, for each option, its command-line flag, the
// key and section it has in a description file, and how its value is taken; the same table
// prints the help, so an option cannot be parsed without also being documented. A description
// file is applied first and the command line after it, so flags override the file.
#pragma once

#include "common/zipformat.h"
#include "tools/package/optionsencoder.h"
#include "tools/pe/branding.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct CodePage;

struct BuildRequest {
    std::string package;  // --package: the description file read, if any
    std::string stub;     // --stub; empty: the installed stub (tools/cli/stublocation.h)
    std::string output;   // -o / --output
    std::string texts;    // --texts; empty: a shipped table (--language)
    std::string language; // --language; empty (and no --texts): English
    std::string folder;   // the folder to pack (positional argument, key "source")
    std::string fromzip;  // --from-zip
    std::string comment;  // --comment (folder builds)
    int level = 6;        // --level: 0 stored, 1 to 12 Deflate, 1 to 9 LZMA
    unsigned threads = 0; // --threads: compressing threads; 0: one per processor
    // --method: kMethodDeflate or kMethodLzma; --dictionary: LZMA's dictionary size, 0 for
    // the level's.
    unsigned method = kMethodDeflate;
    std::uint32_t dictionary = 0;
    // --source-date-epoch, else the environment's SOURCE_DATE_EPOCH: the latest time stamp
    // written into the archive.
    std::optional<std::int64_t> sourcedateepoch;
    // --signature-size: the Authenticode signature the package is to be signed with later,
    // in bytes (0: it will not be signed); a comment that leaves less room is warned about.
    unsigned signaturesize = 16384;
    std::string password;        // --password: encrypt every file
    bool derivedheaders = false; // --reproducible-encryption: headers derived from inputs
    std::map<int, std::string> textoverrides; // --text N=TEXT: this package's own texts
    // Where a text came from when that was a file (field name, or "text N" -> origin), so
    // that an encoding error names the file and its line.
    struct Origin {
        std::string file;
        int line = 0;         // of the text's first line
        bool perline = false; // a text file: each of its lines is a line of the text
    };
    std::map<std::string, Origin> origins;
    PackageOptions options;
    Branding branding; // [branding]: icon, version strings and execution level of the stub
    bool promptstyleset = false; // --prompt-style given; else the default goes with a prompt
    bool help = false;           // --help: print buildhelp() and do nothing else
};

// Parses the arguments after "build", with the description file of --package applied first;
// throws UsageError for a wrong command line and BuildError ("FILE:LINE: reason") for a
// wrong description file.
BuildRequest parsebuildflags(const std::vector<std::string>& args);

// Converts every text of the request from UTF-8 to the package's code page, refusing a
// character that does not fit with its position (and for texts from files, the file's line).
void encoderequest(BuildRequest& request, const CodePage& page);
