// The engine's view of the file system: archive and output files, file status, attributes,
// file times and volume properties.
//
// Paths are name text (platform/codepage.h), UTF-8 on both systems: POSIX hands it to the
// system as it is, Win32 converts it to UTF-16 for the wide calls at the call
// (platform/win32/widetext.h), so a name keeps every character the archive gave it. File times
// cross the boundary as FILETIME values (100-nanosecond intervals since 1601-01-01 UTC) held in
// 64-bit integers, so no system type appears here. Failures come back as plain integers; where the
// engine reports a system error code, lasterror() supplies it.
#pragma once

namespace platform {

enum PathTextLimits {
    // The longest path the system's classic file calls take, with its NUL (Windows' MAX_PATH).
    kSystemPathBuffer = 260,
    // The longest path, in bytes of UTF-8 with its NUL, that the calls here take; one longer
    // than the classic calls take goes to the system in its long form. The program's path
    // buffers are sized from it.
    kPathText = 1024,
};

// An open file. Opaque: each implementation defines it.
struct File;

// Opens an existing file for reading (binary). Null on failure.
File* openread(const char* path);

// Creates a new file for writing (binary). Null on failure, and a failure whenever anything
// already stands at path: a file, a folder or a link (dangling or not), which is neither
// followed nor changed. Callers check the components before it with linkstatus.
File* createwrite(const char* path);

// Opens an existing file so that its times can be set; the file need not be writable
// through its attributes. Null on failure.
File* opentimes(const char* path);

// Opens what stands at path, file or folder, without following a link in its last component,
// only so that resolvedpath can tell where it lies and discardfile can delete it. Null on
// failure.
File* openentry(const char* path);

// Where an open file or folder really lies: its full path with every link, junction and mount
// on the way resolved, in the system's own spelling (on Win32 the device form
// "\Device\HarddiskVolume2\dir\name", on POSIX the absolute path). The path it was opened
// under may lead elsewhere by now; this is where the handle went. Returns the length, 0 on
// failure or when out (size bytes) is too small.
unsigned resolvedpath(File* file, char* out, unsigned size);

// Deletes a file opened by createwrite, or a file or empty folder opened by openentry, through
// its handle rather than by a path that may since lead elsewhere, clearing its read-only
// attribute first; then closes it. 0 on success, -1 on failure (closed all the same).
int discardfile(File* file);

// Reads up to n bytes; returns the count read (0 at the end of the file), -1 on an error.
int readfile(File* file, void* buffer, unsigned n);

// Writes n bytes; returns the count written (less than n when the disk is full).
unsigned writefile(File* file, const void* data, unsigned n);

// Moves the file position to offset from the start. 0 on success, -1 on failure.
int seekfile(File* file, unsigned long long offset);

// Reads n bytes at offset; true when all of them were read.
inline bool readat(File* file, unsigned long long offset, void* buffer, unsigned n) {
    return seekfile(file, offset) == 0 && readfile(file, buffer, n) == static_cast<int>(n);
}

// The length of an open file in bytes into size. 0 on success, -1 on failure.
int filesize(File* file, unsigned long long* size);

// Gives a file opened by createwrite the length `length` and puts the position back at its
// start. 0 on success, -1 on failure.
int presizefile(File* file, unsigned length);

// Ends a file opened by createwrite at its current position (drops what presizefile
// reserved beyond the data written). 0 on success, -1 on failure.
int truncatehere(File* file);

// Sets any of the three times of a file opened by createwrite or opentimes; a null pointer
// leaves that time as it is. Nothing written through the file afterwards: the system would
// then set the modification time anew. 0 on success, else a system error code.
int setfiletimes(File* file, const unsigned long long* creation, const unsigned long long* access,
                 const unsigned long long* modification);

void closefile(File* file);

// The last system error code of the calling thread (GetLastError or errno).
int lasterror();

// What a system error code means to the engine, translated here once.
enum ErrorKind { kErrorOther = 0, kErrorDiskFull = 1, kErrorNameTooLong = 2 };
int errorkind(int error);

// What a path names, with the file-status fields the engine uses.
// kPathLink (only from linkstatus): a symbolic link, junction or other reparse point.
enum PathKind { kPathFile = 1, kPathDirectory = 2, kPathDevice = 3, kPathLink = 4 };
struct PathStatus {
    int kind;      // a PathKind
    bool readonly; // the read-only attribute (no write permission for the owner)
    unsigned size; // file length, low 32 bits
    bool hastimes; // the three times below are valid
    unsigned long long modification, access, creation; // FILETIMEs; 0 when not kept
};

// Fills status for an existing path. 0 on success, -1 when nothing is found there.
int statpath(const char* path, PathStatus* status);

// Like statpath, but a link, junction or reparse point in the last component is not
// followed and reported as kPathLink (a dangling link exists too). 0 or -1 as statpath.
int linkstatus(const char* path, PathStatus* status);

// Makes a file writable for its owner. 0 on success, -1 on failure.
int makewritable(const char* path);

// Deletes a file. 0 on success, -1 on failure.
int removefile(const char* path);

// Sets the DOS attributes (0x01 read-only, 0x02 hidden, 0x04 system, 0x20 archive) of a file
// or folder. 0 on success, else a system error code.
int setattributes(const char* path, unsigned attributes);

// Expands path against the current folder into out (size bytes). Returns the length, 0 on
// failure or when out is too small.
unsigned fullpathname(const char* path, char* out, unsigned size);

// Properties of the volume whose root is `root` (such as "C:/"): the longest name component
// it allows and its file-system name. 0 on success, -1 on failure.
int volumeproperties(const char* root, unsigned* maxcomponent, char* fsname, unsigned size);

} // namespace platform
