// Output paths: a member's output path is built component by component under the extraction
// root, and the folders that are missing are created on the way.
//
// Two paths are built side by side. The long path receives the components as mapname
// delivers them and serves the length checks, the volume queries and the messages; the
// short path receives the same components, or their 8.3 forms when the volume allows only
// 8.3 names, and is the one created on disk and handed back. On volumes with long names both
// hold the same text. The steps: setroot once per run, then for each member startpath,
// appendfolder for each folder, appendname, takepath; forgetroot at the end of the run.
#include "engine/enginestate.h"

#include "platform/codepage.h"
#include "platform/system.h"
#include "common/stringlists.h"

#include <stdlib.h>
#include <string.h>

namespace {

// The file-name buffer bounds the bytes of the path handed on: a longer full path is cut
// (between characters, reported), and a folder path that leaves no room for a "/" and a
// name behind it is refused. Paths longer than the system's classic calls take go to it in
// their long form (platform/files.h).
enum { kLongestPath = kPathBuffer - 1, kLongestFolderPath = kLongestPath - 2 };

void forgetverified() {
    engine.verifiedend = 0;
}

// Makes the root folder unless it exists; false (after the message) when that fails.
bool ensureroot(char* root) {
    platform::PathStatus status;
    if (statfile(root, &status) == 0 && status.kind == platform::kPathDirectory) return true;
    if (makedir(root) == 0) return true;
    archivefailure(kReasonDestination, kResultArchiveError, platform::lasterror());
    char printable[kPrintableName];
    sendmessage(kMsgWarn, "checkdir:  cannot create extraction directory: %s\n",
                printablename(root, printable));
    return false;
}

void appendlong(const char* text) {
    size_t length = strlen(text);
    memcpy(engine.longpath + engine.longend, text, length + 1);
    engine.longend += static_cast<unsigned>(length);
}

void appendshort(const char* component) {
    char* out = engine.shortpath + engine.shortend;
    if (is83volume(engine.longpath))
        to83name(component, out);
    else
        strcpy(out, component);
    engine.shortend += static_cast<unsigned>(strlen(out));
}

// Any refused path also forgets the verified folders: the next member looks at each of its
// folders again.
int fail(int status) {
    releasepaths();
    forgetverified();
    return status;
}

// Reports a folder of the current path that cannot be used (format takes the folder and
// the member's stored name) and gives up the path.
int failfolder(const char* format, int reason, int syserror = 0) {
    memberfailure(reason, kResultArchiveError, syserror);
    char printable[kPrintableName], storedname[kPrintableName];
    sendmessage(kMsgWarn, format, printablename(engine.shortpath, printable),
                printablename(engine.filename, storedname));
    return fail(kMapError);
}

int failtoolong() {
    memberfailure(kReasonPathTooLong, kResultArchiveError);
    char printable[kPrintableName];
    sendmessage(kMsgWarn, "checkdir error:  path too long: %s\n",
                printablename(engine.longpath, printable));
    return fail(kMapTooLong);
}

// Whether the short path built so far names a folder of the last verified folder path.
bool verifiedbefore() {
    return engine.shortend < engine.verifiedend && engine.verifiedfolders[engine.shortend] == '/' &&
           memcmp(engine.verifiedfolders, engine.shortpath, engine.shortend) == 0;
}

void endfolder() {
    appendlong("/");
    engine.shortpath[engine.shortend++] = '/';
    engine.shortpath[engine.shortend] = 0;
}

// Remembers the short path up to its new folder as verified, when it fits.
void keepverified() {
    if (engine.shortend >= sizeof engine.verifiedfolders) {
        forgetverified();
        return;
    }
    memcpy(engine.verifiedfolders, engine.shortpath, engine.shortend + 1);
    engine.verifiedend = engine.shortend;
}

// After the folder could not be created (or was too long to try): what stands there is
// looked at without following links. kMapReady when it is a folder, else the refusal.
int checkexistingfolder(bool toolong) {
    int error = platform::lasterror();
    platform::PathStatus status;
    bool missing = statoutput(engine.shortpath, &status) != 0;
    if (!missing && status.kind == platform::kPathLink)
        return failfolder("checkdir error:  %s is a link\n"
                          "                 unable to process %s.\n",
                          kReasonThroughLink);
    if (!missing && status.kind != platform::kPathDirectory)
        return failfolder("checkdir error:  %s exists but is not directory\n"
                          "                 unable to process %s.\n",
                          kReasonFileInTheWay);
    if (toolong) return failtoolong();
    if (missing)
        return failfolder("checkdir error:  cannot create %s\n"
                          "                 unable to process %s.\n",
                          platform::errorkind(error) == platform::kErrorNameTooLong
                              ? kReasonNameTooLong
                              : kReasonCannotMakeFolder,
                          error);
    return kMapReady;
}

// Whether the folder just made lies inside the root as the system resolves it; one that
// does not (a folder above it was swapped for a link after it was looked at) is removed again
// through its handle.
bool madeinroot() {
    if (!engine.rootresolved) return true;
    platform::File* folder = platform::openentry(engine.shortpath);
    if (!folder) return false;
    if (liesinroot(folder)) {
        platform::closefile(folder);
        return true;
    }
    platform::discardfile(folder);
    return false;
}

} // namespace

void forgetroot() {
    free(engine.root);
    engine.root = nullptr;
    engine.rootlength = 0;
    forgetverified();
}

int setroot(const char* path) {
    if (engine.root) return kMapReady;
    forgetverified();
    size_t length = path ? strlen(path) : 0;
    if (length == 0) {
        resolveroot(nullptr);
        return kMapReady;
    }
    char* root = static_cast<char*>(malloc(length + 3));
    if (!root) return kMapNoMemory;
    memcpy(root, path, length + 1);
    bool drive = hasdriveletter(root);
    bool slash = root[length - 1] == '/' || root[length - 1] == '\\';
    if (slash) root[--length] = 0;
    bool baredrive = drive && length == 2;
    // A bare drive means that drive's current folder; a drive with a slash (or "/" alone)
    // its top folder. Neither is checked.
    if (!baredrive && length > 0 && !ensureroot(root)) {
        free(root);
        return kMapError;
    }
    if (baredrive && !slash) root[length++] = '.';
    root[length++] = '/';
    root[length] = 0;
    char* shrunk = static_cast<char*>(realloc(root, length + 1));
    if (!shrunk) {
        free(root);
        return kMapNoMemory;
    }
    engine.root = shrunk;
    engine.rootlength = static_cast<unsigned>(length);
    resolveroot(shrunk);
    return kMapReady;
}

int startpath() {
    // Room for the root, the name, a "_" before each component and the terminator.
    size_t size = engine.rootlength + 2 * engine.namelength + 2;
    engine.longpath = static_cast<char*>(malloc(size));
    if (!engine.longpath) return kMapNoMemory;
    engine.shortpath = static_cast<char*>(malloc(size));
    if (!engine.shortpath) {
        releasepaths();
        return kMapNoMemory;
    }
    if (engine.member->volumelabel) {
        releasepaths();
        return kMapVolumeLabel;
    }
    if (engine.root)
        memcpy(engine.longpath, engine.root, engine.rootlength + 1);
    else
        engine.longpath[0] = 0;
    memcpy(engine.shortpath, engine.longpath, engine.rootlength + 1);
    engine.longend = engine.shortend = engine.rootlength;
    return kMapReady;
}

// Every folder below the root is either created here or looked at without following
// links: a link or junction planted in the destination, to a folder or dangling, would
// lead the member out of it. Folders already passed for an earlier member are not looked
// at again. A link that stands in the destination before extraction is still found by the
// first member that passes through it; what the repeat would add is a narrower window
// against a process that swaps folders for links while the extraction runs, which no check
// by path can shut, at the cost of a lookup per folder and member (an eighth of an
// extraction under Wine).
int appendfolder(const char* component) {
    appendlong(component);
    appendshort(component);
    bool toolong = engine.longend > kLongestFolderPath;
    if (verifiedbefore()) {
        if (toolong) return failtoolong();
        endfolder();
        return kMapReady;
    }
    // The folder is created first and looked at only when that fails: where nothing stands,
    // that is one lookup of the missing name instead of two. Creating a folder never follows
    // a link standing at its name; the link makes it fail like anything else there does.
    if (!toolong && makedir(engine.shortpath) == 0) {
        engine.createddir = 1;
        if (!madeinroot())
            return failfolder("checkdir error:  %s lies through a link\n"
                              "                 unable to process %s.\n",
                              kReasonThroughLink);
    } else {
        int checked = checkexistingfolder(toolong);
        if (checked != kMapReady) return checked;
    }
    endfolder();
    keepverified();
    return kMapReady;
}

// The long path takes whole characters of the name up to kLongestPath bytes in all; each
// character that does not fit is reported.
int appendname(const char* name) {
    int status = kMapReady;
    char printable[kPrintableName], storedname[kPrintableName];
    for (const char* p = name; *p;) {
        unsigned n = platform::namecharlength(p);
        if (engine.longend + n <= kLongestPath) {
            memcpy(engine.longpath + engine.longend, p, n);
            engine.longend += n;
            engine.longpath[engine.longend] = 0;
        } else {
            sendmessage(kMsgWarn,
                        "checkdir warning:  path too long; truncating\n                   "
                        "%s\n                -> %s\n",
                        printablename(engine.filename, storedname),
                        printablename(engine.longpath, printable));
            status = kMapTruncated;
        }
        p += n;
    }
    appendshort(name);
    return status;
}

// Hands over the short path into the file-name buffer (kPathBuffer bytes). A path that does
// not fit is refused rather than cut: a cut path would name some other file.
int takepath(char* buffer) {
    int status = kMapReady;
    if (engine.shortend > kLongestPath) {
        memberfailure(kReasonPathTooLong, kResultArchiveError);
        status = kMapTooLong;
    } else
        memcpy(buffer, engine.shortpath, engine.shortend + 1);
    releasepaths();
    return status;
}

void releasepaths() {
    free(engine.longpath);
    free(engine.shortpath);
    engine.longpath = engine.shortpath = nullptr;
    engine.longend = engine.shortend = 0;
}

// Only a folder really created is recorded: the clean-up removes what the list names.
int makedir(const char* path) {
    if (platform::makedirectory(path) != 0) return -1;
    if (engine.dirlist) listadd(engine.dirlist, path);
    return 0;
}

void to83name(const char* component, char* out) {
    unsigned n = 0;
    int dot = -1;
    bool whole = strcmp(component, ".") == 0;
    bool parent = strcmp(component, "..") == 0;
    for (const char* p = component; *p && !whole; ++p) {
        char c = *p;
        if (strchr(";=+,[]", c)) {
            c = '_';
        } else if (c == '.' && p == component) {
            if (parent) {
                out[n++] = '.';
                out[n++] = '.';
                break;
            }
            c = '_';
        } else if (c == '.') {
            c = '_';
            dot = static_cast<int>(n);
        }
        out[n++] = c;
    }
    out[n] = 0;
    if (parent || whole) return;
    if (dot < 0) {
        char* underscore = strrchr(out, '_');
        if (underscore) {
            unsigned before = static_cast<unsigned>(underscore - out);
            unsigned after = n - before - 1;
            if ((before < 8 ? before : 8) + (after < 3 ? after : 3) > 8)
                dot = static_cast<int>(before);
        }
        if (dot < 0) {
            if (n > 8) out[8] = 0;
            return;
        }
    }
    out[dot] = '.';
    if (dot > 8) {
        size_t tail = strlen(out + dot);
        if (tail > 4) tail = 4;
        memmove(out + 8, out + dot, tail);
        out[8 + tail] = 0;
        dot = 8;
    } else if (strlen(out + dot + 1) > 3) {
        out[dot + 4] = 0;
    }
    if (dot > 0 && out[dot - 1] == ' ') out[dot - 1] = '_';
}
