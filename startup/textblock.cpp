// Finding, verifying and loading the text block that a package carries behind the stub.
//
// The stub scans a fixed window of its own file for the text block's marker instead of being
// told where its data starts, so a builder only has to append. The image keeps the marker
// only in its stored form (startup/packageblocks.h), so it never contains it. Every path
// through readtextblock closes the file and frees the buffer exactly once; texts loaded
// before a failure are left to the process end, as the error ends the process. Only
// loadtextblock shows the failure, so the reading itself can be tested anywhere.
#include "startup/textblock.h"

#include "common/byteorder.h"
#include "common/pathlimits.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/system.h"

#include <stdlib.h>
#include <string.h>

char* UiText[kTextCount];
unsigned long optionsoffset;

// Texts shown before the package's own texts are loaded.
static const char kStartupCaption[] = "Error...";
static const char kStartupNoMemory[] = "Out of memory";
static const char kStartupDamaged[] =
    "This SFX is damaged, please try to download this file again.";
static const char kStartupBadSize[] =
    "Incorrect file size, please try to download this file again.";

unsigned blockchecksum(const unsigned char* data, size_t n) {
    unsigned char lanes[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < n; i++) lanes[i & 3] ^= data[i];
    // Each lane is read as a signed byte, so a lane of 0x80 or more borrows from the lanes
    // above it; unsigned arithmetic gives the sum modulo 2^32.
    unsigned sum = 0;
    for (int lane = 0; lane < 4; lane++) {
        int value = lanes[lane] >= 128 ? lanes[lane] - 256 : lanes[lane];
        sum += (unsigned)value << (8 * (3 - lane));
    }
    return sum;
}

int loaduitexts(const unsigned char* body, size_t n) {
    size_t pos = 0;
    for (int k = 0; k < kTextCount; k++) {
        // A text must end with a NUL inside the body; the 66th may end on its last byte.
        const void* end = pos < n ? memchr(body + pos, 0, n - pos) : nullptr;
        if (!end) return -2;
        size_t length = (const unsigned char*)end - (body + pos);
        // The texts are in the package's code page, which the system's ANSI code page
        // shows; they are held in UTF-8, as every text of the program.
        size_t size = length * kTextGrowth + 1;
        char* text = (char*)malloc(size);
        if (!text) return -1;
        platform::ansitoname((const char*)body + pos, (unsigned)length, text, (unsigned)size);
        free(UiText[k]);
        UiText[k] = text;
        pos += length + 1;
    }
    return 1;
}

void freeuitexts() {
    for (int k = 0; k < kTextCount; k++) {
        free(UiText[k]);
        UiText[k] = nullptr;
    }
}

long findtextmarker(const unsigned char* buf, size_t span) {
    unsigned char marker[kTextMarkerSize];
    completemarker(marker, kTextMarkerStored, kTextMarkerSize);
    for (size_t p = 0; p < span; p++) {
        if (buf[p] == marker[0] && memcmp(buf + p + 1, marker + 1, kTextMarkerSize - 1) == 0)
            return (long)p;
    }
    return -1;
}

// The checksum may be wrong only for a test build: a program started without a folder in
// its path, or one named "~test.exe" whose block carries checksum 0.
static bool checksumexcused(const char* modulepath, unsigned storedsum) {
    const char* slash = strrchr(modulepath, '\\');
    if (!slash) return true;
    const char* name = slash + 1;
    static const char kTestName[] = "~test.exe";
    if (storedsum != 0 || strlen(name) != sizeof kTestName - 1) return false;
    for (size_t i = 0; kTestName[i]; i++) {
        char c = name[i];
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        if (c != kTestName[i]) return false;
    }
    return true;
}

static void failwith(const char* message) {
    platform::messagebox(message, kStartupCaption, platform::kBoxError);
}

// Reads the whole block into a buffer of its own size; returns the message of a failure.
static const char* readblock(platform::File* file, unsigned char** bufferio,
                             unsigned long* markerat, unsigned* blocksize) {
    unsigned char* buffer = *bufferio;
    memset(buffer, 0, kMarkerSearchBuffer);
    if (platform::seekfile(file, kMarkerSearchStart) != 0 ||
        platform::readfile(file, buffer, kMarkerSearchBuffer) <= 0)
        return kStartupBadSize;
    // The buffer was zeroed first, so a match near the end of a short read cannot pass.
    long p = findtextmarker(buffer, kMarkerSearchSpan);
    if (p < 0) return kStartupBadSize;
    unsigned long t = kMarkerSearchStart + (unsigned long)p;

    unsigned char header[kTextHeaderSize];
    if (!platform::readat(file, t, header, sizeof header) ||
        memcmp(header + kTextMarkerOffset, buffer + p, kTextMarkerSize) != 0)
        return kStartupBadSize;
    unsigned size = get32(header + kTextLengthOffset);
    if (size < kTextHeaderSize) return kStartupBadSize;

    unsigned char* resized = (unsigned char*)realloc(buffer, size);
    if (!resized) return kStartupNoMemory;
    *bufferio = resized;
    if (!platform::readat(file, t, resized, size)) return kStartupBadSize;
    *markerat = t;
    *blocksize = size;
    return nullptr;
}

// Reads, verifies and loads the block; returns the message of a failure, or null.
static const char* readtextblock(const char* filepath, const char* modulepath) {
    unsigned char* buffer = (unsigned char*)malloc(kMarkerSearchBuffer);
    if (!buffer) return kStartupNoMemory;
    platform::File* file = platform::openread(filepath);
    if (!file) {
        free(buffer);
        return kStartupDamaged;
    }
    unsigned long t = 0;
    unsigned size = 0;
    const char* failure = readblock(file, &buffer, &t, &size);
    platform::closefile(file);
    if (!failure) {
        const unsigned char* body = buffer + kTextHeaderSize;
        unsigned stored = get32(buffer + kTextChecksumOffset);
        if (blockchecksum(body, size - kTextHeaderSize) != stored &&
            !checksumexcused(modulepath, stored))
            failure = kStartupDamaged;
        else if (int loaded = loaduitexts(body, size - kTextHeaderSize); loaded != 1)
            failure = loaded == -1 ? kStartupNoMemory : kStartupBadSize;
    }
    free(buffer);
    if (!failure) optionsoffset = t + size;
    return failure;
}

int loadtextblockfrom(const char* filepath, const char* modulepath, const char** failure) {
    const char* message = readtextblock(filepath, modulepath);
    if (failure) *failure = message;
    return message ? 0 : 1;
}

int loadtextblock() {
    char path[kLongPathBuffer];
    if (!platform::ownmodulepath(path, sizeof path)) {
        failwith(kStartupDamaged);
        return 0;
    }
    const char* failure = readtextblock(path, path);
    if (failure) failwith(failure);
    return failure ? 0 : 1;
}
