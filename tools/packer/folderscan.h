// The files and folders of a folder to pack, in the order and with the names of the archive.
//
// Host build only (POSIX file status for modes and access times).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct FolderItem {
    std::string name; // archive name: '/' separators, folders end in '/'
    std::string path; // where to read it
    bool isfolder = false;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::optional<std::int64_t> atime;
    unsigned dosattributes = 0; // read-only, directory and archive bits
};

// Every file and folder below root, sorted by archive name (so a folder precedes its
// contents). Symbolic links to files are followed; links to folders, and sockets, devices and
// pipes are refused, as are names of 260 bytes or more.
std::vector<FolderItem> scanfolder(const std::string& root);
