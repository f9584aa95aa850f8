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

struct MemberTimes {
    unsigned long long modification, access, creation;
};

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

unsigned membertimes(MemberTimes* out) {
    bool fat = isfatvolume(engine.filename) != 0;
    ExtTimes times;
    unsigned flags =
        exttimes(engine.extra, engine.extralength, false, engine.local.dostime, &times);
    if (flags & kTimeModification) {
        out->modification = tofiletime(times.modification, fat);
        if (flags & kTimeAccess) out->access = tofiletime(times.access, fat);
        if (flags & kTimeCreation) out->creation = tofiletime(times.creation, fat);
        return flags;
    }
    NtfsTimes exact;
    unsigned ntfs = ntfstimes(engine.extra, engine.extralength, &exact);
    if (!(ntfs & kTimeModification)) {
        exact = engine.member->ntfs;
        ntfs = engine.member->ntfsflags;
    }
    if (ntfs & kTimeModification) {
        out->modification = exactfiletime(exact.modification, fat);
        if (ntfs & kTimeAccess) out->access = exactfiletime(exact.access, fat);
        if (ntfs & kTimeCreation) out->creation = exactfiletime(exact.creation, fat);
        return ntfs;
    }
    out->modification = tofiletime(dostimetounix(engine.local.dostime), fat);
    out->access = out->modification;
    return kTimeModification | kTimeAccess;
}

} // namespace

void closeoutput() {
    platform::closefile(engine.output);
    engine.output = nullptr;
    MemberTimes times = {0, 0, 0};
    unsigned flags = membertimes(&times);
    platform::File* file = platform::opentimes(engine.filename);
    unsigned attributes = engine.member->attributes & 0x7F;
    if (attributes & ~0x20u) {
        int error = platform::setattributes(engine.filename, attributes);
        if (error != 0)
            sendmessage(kMsgWarn, "\nwarning (%d): could not set file attributes\n", error);
    }
    if (!file) {
        sendmessage(kMsgWarn, "\nCreateFile error %d when trying set file time\n",
                    platform::lasterror());
        return;
    }
    if (flags & kTimeAll) {
        int error =
            platform::setfiletimes(file, (flags & kTimeCreation) ? &times.creation : nullptr,
                                   (flags & kTimeAccess) ? &times.access : nullptr,
                                   (flags & kTimeModification) ? &times.modification : nullptr);
        if (error != 0) sendmessage(kMsgInfo, "\nSetFileTime failed: %d\n", error);
    }
    platform::closefile(file);
}

int statfile(const char* path, platform::PathStatus* status) {
    if (platform::statpath(path, status) != 0) return -1;
    if (status->access == 0) status->access = status->modification;
    if (status->creation == 0) status->creation = status->modification;
    return 0;
}

int statoutput(const char* path, platform::PathStatus* status) {
    if (platform::linkstatus(path, status) != 0) return -1;
    if (status->access == 0) status->access = status->modification;
    if (status->creation == 0) status->creation = status->modification;
    return 0;
}
