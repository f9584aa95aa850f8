// Closing output files: a written member gets its DOS attributes and its modification,
// access and creation times; statfile is the engine's file-status query.
//
// Times come from the local extra field (0x5455, 0x5855, 0x000D blocks; see timeconv.cpp),
// then from the NTFS block (0x000A, exact to 100 ns) of the local or else the central extra
// field (7-Zip writes it only in the central one), and otherwise
// from the DOS time stamp, which then serves as modification and access time
// while the creation time stays the moment of extraction. On FAT-like volumes, which store
// local time and convert with today's offset, fatadjust shifts each time so that the file
// shows the member's wall-clock time of its own date.
#include "engine/enginestate.h"

#include "engine/timeconv.h"

namespace {

// Indices of the three times.
enum { kModification = 0, kAccess = 1, kCreation = 2 };

unsigned long long tofiletime(unsigned seconds, bool fat) {
    unsigned long long ft = unixtofiletime(seconds);
    if (fat) fatadjust(seconds, &ft);
    return ft;
}

// A FILETIME kept as stored (NTFS block), corrected like the others on FAT-like volumes.
unsigned long long exactfiletime(unsigned long long ft, bool fat) {
    unsigned seconds = 0;
    if (fat) {
        filetimetounix(ft, &seconds);
        fatadjust(seconds, &ft);
    }
    return ft;
}

// The status of a query that succeeded (queried 0) with the times a file system does not
// keep taken from the modification time; -1 after a failed query.
int completestatus(int queried, platform::PathStatus* status) {
    if (queried != 0) return -1;
    if (status->access == 0) status->access = status->modification;
    if (status->creation == 0) status->creation = status->modification;
    return 0;
}

} // namespace

unsigned membertimes(unsigned long long out[3]) {
    bool fat = isfatvolume(engine.filename) != 0;
    ExtTimes times;
    unsigned flags =
        exttimes(engine.extra, engine.extralength, false, engine.local.dostime, &times);
    if (flags & kTimeModification) {
        out[kModification] = tofiletime(times.modification, fat);
        if (flags & kTimeAccess) out[kAccess] = tofiletime(times.access, fat);
        if (flags & kTimeCreation) out[kCreation] = tofiletime(times.creation, fat);
        return flags;
    }
    NtfsTimes exact;
    unsigned ntfs = ntfstimes(engine.extra, engine.extralength, &exact);
    if (!(ntfs & kTimeModification)) {
        exact = engine.member->ntfs;
        ntfs = engine.member->ntfsflags;
    }
    if (ntfs & kTimeModification) {
        out[kModification] = exactfiletime(exact.modification, fat);
        if (ntfs & kTimeAccess) out[kAccess] = exactfiletime(exact.access, fat);
        if (ntfs & kTimeCreation) out[kCreation] = exactfiletime(exact.creation, fat);
        return ntfs;
    }
    out[kModification] = tofiletime(dostimetounix(engine.local.dostime), fat);
    out[kAccess] = out[kModification];
    return kTimeModification | kTimeAccess;
}

void reportdone(int folder) {
    if (!engine.ui->memberdone) return;
    unsigned long long times[3] = {0, 0, 0};
    unsigned flags = membertimes(times);
    const MemberInfo* m = engine.member;
    engine.ui->memberdone(engine.uicontext, engine.filename, folder, m->host, m->external, times,
                          flags);
}

// The times are set through the handle that wrote the data, before it is closed: nothing is
// written through it afterwards, so the system keeps them, and the file is not looked up by
// name a second time (a lookup that costs a folder walk on every member). The attributes
// come last, so a read-only member cannot stop its own time setting.
void closeoutput() {
    unsigned long long times[3] = {0, 0, 0};
    unsigned flags = membertimes(times);
    if (flags & kTimeAll) {
        int error = platform::setfiletimes(
            engine.output, (flags & kTimeCreation) ? &times[kCreation] : nullptr,
            (flags & kTimeAccess) ? &times[kAccess] : nullptr,
            (flags & kTimeModification) ? &times[kModification] : nullptr);
        if (error != 0) sendmessage(kMsgInfo, "\nSetFileTime failed: %d\n", error);
    }
    platform::closefile(engine.output);
    engine.output = nullptr;
    unsigned attributes = engine.member->attributes & 0x7F;
    if (attributes & ~0x20u) {
        int error = platform::setattributes(engine.filename, attributes);
        if (error != 0)
            sendmessage(kMsgWarn, "\nwarning (%d): could not set file attributes\n", error);
    }
    reportdone(0);
}

int statfile(const char* path, platform::PathStatus* status) {
    return completestatus(platform::statpath(path, status), status);
}

int statoutput(const char* path, platform::PathStatus* status) {
    return completestatus(platform::linkstatus(path, status), status);
}
