// The setup dialog's file list, portable part: the member names of the package's archive,
// read from its central directory and named as the engine names them.
//
// The dialog fills its lists before any run of the engine, by reading the directory itself:
// it looks for the end record in the last kDialogEndWindow bytes of the file (the last one
// there counts), refuses an archive spanned over several disks, hands the archive comment
// on, then reads as many central headers as the end record counts, from the directory
// offset taken as a position in the package file (the builder counts offsets from the start
// of the package). Each header's name is turned into name text by the engine's own
// conversion (membernametext, engine/nametext.h): cut where the engine cuts it, with the
// UTF-8 flag, the Unicode path field, the host's OEM rule and the volume-label rule, so that
// the dialog shows exactly the names the engine extracts and looks up in the list.
//
// Edges:
// - an end record whose 18 bytes behind the signature run past the end of the file is no
//   end record: the list fails;
// - a comment that runs past the end of the file is cut there (the engine extracts such an
//   archive too, with a warning); a comment of which nothing is left is not handed on;
// - an end record that counts no entries gives an empty list: success.
// Nothing is read past the buffers; every read must give all the bytes it asks for.
//
// Portable and C-style: the stub's dialog calls it. It uses the engine's CRC-32 tables,
// built and released here, so it must not run while the engine does.
#pragma once

// Where the archive's bytes come from: the package file, or memory in the fuzzer.
struct ArchiveReader {
    void* context;
    unsigned long long size; // bytes of the file
    // Reads n bytes at offset into buffer; returns the count read (fewer at the end of the
    // file), -1 on failure.
    int (*read)(void* context, unsigned long long offset, void* buffer, unsigned n);
};

// What the list fill hands on, and what it counts.
struct ListFill {
    void* context;                                    // handed to the callbacks
    bool wantcomment;                                 // hand the archive comment to `comment`
    void (*comment)(void* context, const char* text); // a NUL-terminated text
    void (*additem)(void* context, const char* name); // each entry in order, as name text
    unsigned long long bytestotal; // out: the uncompressed sizes of the entries read
};

enum ListResult {
    kListFailed = 0,   // unreadable, no end record, spanned, a bad header, a short read
    kListRead = 1,     // every entry the end record counts was handed on
    kListNoMemory = 2, // the dialog says "Out of memory", then "Error reading archive."
};

ListResult readarchivelist(const ArchiveReader* reader, ListFill* fill);

// The same for the file at path (name text), read through platform/files.h; kListFailed
// when the file cannot be opened.
ListResult readarchivelistfile(const char* path, ListFill* fill);
