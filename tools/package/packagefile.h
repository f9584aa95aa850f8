// The package description file: an INI-style text that holds everything "orvsfx build" is
// told on its command line, so that a package can live in version control next to its files.
//
//   # a comment (also ";"), as the first thing on its line
//   [package]
//   stub = ../build/win32/stub/stub.exe     paths are relative to this file's folder
//   [options]
//   title = Demo Setup
//   about = First line of a text that spans lines;
//       every following indented line continues it,
//
//       and an empty line between indented lines is kept.
//
// A value runs from after the first "=" to the end of the line, blanks trimmed at both ends;
// continuation lines are trimmed too and joined with CR LF, the line break of the stub's
// dialogs. Sections, keys and their order are checked by the caller (buildflags.cpp), which
// knows the options; this file only splits the text into entries.
#pragma once

#include <string>
#include <vector>

struct PackageEntry {
    std::string section; // "package", without the brackets
    std::string key;
    std::string value;
    int line = 0;       // line of the key
    bool spans = false; // the value has continuation lines
};

struct PackageFile {
    std::string path;   // as given
    std::string folder; // the folder relative paths start from
    std::vector<PackageEntry> entries;
};

// Splits content into entries; name is the file in messages ("FILE:LINE: reason"). Refuses
// lines that are neither a section, a key, a continuation nor a comment, keys outside a
// section, and a continuation with no key before it.
PackageFile parsepackagefile(const std::string& content, const std::string& name);

// Reads and splits the file at path.
PackageFile loadpackagefile(const std::string& path);
