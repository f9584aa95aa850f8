// Name mapping: a stored member name becomes a safe output path under the extraction root.
//
// The name arrives as name text (UTF-8, platform/codepage.h), converted once when it was
// read, so every rule below applies to what will be written. It is walked one character at
// a time and cut into components at every separator; the bytes of a multibyte character are
// never a separator or a dot. Both "/" and "\" separate: archives made on
// Windows by careless tools store "\", and letting Windows apply it behind our back would
// let a name like "..\..\evil.exe" climb out of the extraction root. A component that is
// empty or made only of dots and spaces ("", ".", "..", "...", ". .") is dropped, never
// applied, so "a/../b" becomes "a/b" and "../../x" becomes "x"; what is left can only go
// down. Characters Windows refuses in names ("*?:<>|) become "_", control characters are
// dropped, the dots and spaces that end a component are dropped, device names get a "_" in
// front, and ";1"-style version suffixes are cut. Each directory component is handed to
// appendfolder, which creates it under the root.
#include "engine/enginestate.h"

#include "common/ascii.h"
#include "platform/codepage.h"

#include <string.h>

namespace {

// Reserved device names of Windows; a component whose part before the first dot (trailing
// spaces ignored) is one of these names the device, with or without an extension. Windows
// also reserves COM0, LPT0 and the ports numbered with the superscript digits one to three
// (U+00B9, U+00B2, U+00B3), which the table spells in UTF-8, as name text holds them. The
// names stand one after another, each ended by its NUL, and an empty name ends the table: a
// table of pointers would cost a pointer and a relocation per name.
const char kDevices[] = "CON\0PRN\0AUX\0NUL\0"
                        "COM0\0COM1\0COM2\0COM3\0COM4\0COM5\0COM6\0COM7\0COM8\0COM9\0"
                        "COM\xC2\xB9\0COM\xC2\xB2\0COM\xC2\xB3\0"
                        "LPT0\0LPT1\0LPT2\0LPT3\0LPT4\0LPT5\0LPT6\0LPT7\0LPT8\0LPT9\0"
                        "LPT\xC2\xB9\0LPT\xC2\xB2\0LPT\xC2\xB3\0"
                        "CLOCK$\0CONIN$\0CONOUT$\0";

bool isdevice(const char* component) {
    size_t base = strcspn(component, ".");
    while (base > 0 && component[base - 1] == ' ') --base;
    for (const char* device = kDevices; *device; device += strlen(device) + 1) {
        size_t length = strlen(device);
        if (length != base) continue;
        size_t i = 0;
        while (i < length && asciiupper(component[i]) == device[i]) ++i;
        if (i == length) return true;
    }
    return false;
}

// Puts "_" in front of a device name; the buffer has room for it.
void maskdevice(char* component) {
    if (!isdevice(component)) return;
    memmove(component + 1, component, strlen(component) + 1);
    component[0] = '_';
}

// True for components that must not be created: empty, or only dots and spaces.
bool isdotcomponent(const char* component) {
    return component[strspn(component, ". ")] == 0;
}

bool isparent(const char* component) {
    return strcmp(component, "..") == 0;
}

// Cuts a ";" version suffix made only of digits (or nothing): "readme.txt;1" -> "readme.txt".
void cutversion(char* semicolon) {
    if (!semicolon) return;
    const char* p = semicolon + 1;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == 0) *semicolon = 0;
}

// The walk over one stored name.
struct NameWalk {
    char component[kNameText + 1]; // one more byte for the "_" of a device name
    unsigned length;
    char* semicolon;
    bool parentdropped;
    int spacerule; // -1 not asked yet, else is83volume of the stored name
};

void startcomponent(NameWalk* walk) {
    walk->length = 0;
    walk->component[0] = 0;
    walk->semicolon = nullptr;
}

void put(NameWalk* walk, char c) {
    walk->component[walk->length++] = c;
    walk->component[walk->length] = 0;
}

// Converts one character of the stored name; returns the characters consumed.
unsigned convertchar(NameWalk* walk, const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 32) return 1;
    unsigned n = platform::namecharlength(p);
    if (n > 1) {
        for (unsigned i = 0; i < n; ++i) put(walk, p[i]);
        return n;
    }
    if (strchr("*?:<>|\"", c)) {
        put(walk, '_');
    } else if (c == ' ') {
        if (walk->spacerule < 0) walk->spacerule = is83volume(engine.filename);
        put(walk, walk->spacerule ? '_' : ' ');
    } else {
        if (c == ';') walk->semicolon = walk->component + walk->length;
        put(walk, static_cast<char>(c));
    }
    return 1;
}

// Drops the dots and spaces that end a component, as Windows drops them from a path in its
// classic form: so a name comes out the same also where the path goes to the system in its
// long form, which keeps them, and on POSIX.
void striptrailing(NameWalk* walk) {
    while (walk->length > 0 &&
           (walk->component[walk->length - 1] == '.' || walk->component[walk->length - 1] == ' '))
        walk->component[--walk->length] = 0;
}

// Ends a directory component; returns a status whose class is above 0x0100 to stop.
int enddirectory(NameWalk* walk) {
    int status = kMapReady;
    if (isdotcomponent(walk->component)) {
        if (isparent(walk->component)) walk->parentdropped = true;
    } else {
        striptrailing(walk);
        maskdevice(walk->component);
        status = appendfolder(walk->component);
    }
    startcomponent(walk);
    return status;
}

int mapdirectorymember(int status) {
    takepath(engine.filename);
    int carry = status & kMapCarryBit;
    if (!engine.createddir) return kMapExists | carry;
    if (engine.quietlevel == 0) sendmessage(kMsgInfo, "   creating: %-22s\n", engine.filename);
    if (engine.member->attributes & 0x6F) {
        int error = platform::setattributes(engine.filename, engine.member->attributes & 0x7F);
        if (error != 0)
            sendmessage(kMsgWarn, "\nwarning (%d): could not set file attributes for %s\n", error,
                        engine.filename);
    }
    reportdone(1);
    return kMapCreatedDir | carry;
}

int mapfilemember(NameWalk* walk, int status) {
    cutversion(walk->semicolon);
    if (isdotcomponent(walk->component)) {
        memberfailure(kReasonBadName, kResultArchiveError);
        char printable[kPrintableName];
        sendmessage(kMsgWarn, "mapname:  conversion of %s failed\n",
                    printablename(engine.filename, printable));
        releasepaths();
        return kMapError | (status & kMapCarryBit);
    }
    striptrailing(walk);
    maskdevice(walk->component);
    appendname(walk->component);
    int path = takepath(engine.filename);
    return path != kMapReady ? path : status;
}

} // namespace

int mapname() {
    engine.createdirs = 1;
    engine.createddir = 0;
    engine.namelength = static_cast<unsigned>(strlen(engine.filename));
    NameWalk walk;
    walk.parentdropped = false;
    walk.spacerule = -1;
    startcomponent(&walk);
    int status = startpath();
    if (status != 0) return status;

    const char* p = engine.filename;
    while (*p) {
        if (isseparator(*p)) {
            int dir = enddirectory(&walk);
            if ((dir & kMapClassMask) > kMapTruncated) return dir;
            ++p;
        } else {
            p += convertchar(&walk, p);
        }
    }
    if (walk.parentdropped && engine.quietlevel == 0) {
        sendmessage(kMsgInfo, "warning:  skipped \"../\" path component(s) in %s\n",
                    engine.filename);
        if ((status & (0xFF | kMapCarryBit)) == 0) status |= kResultWarning;
    }
    bool directory = engine.namelength > 0 && isseparator(engine.filename[engine.namelength - 1]);
    return directory ? mapdirectorymember(status) : mapfilemember(&walk, status);
}
