// The engine's state, the run entry extractarchive, archive opening and the input buffer
// layer.
//
// Finding the archive: a package is a stub image, two data blocks and a ZIP archive, and
// the engine is not told where the archive starts. It searches the file's last 66,000 bytes
// (kEngineEndWindow) backwards for the end-of-central-directory record and compares where the
// record really lies with where the central directory says it should lie (central offset + size);
// the difference, `prefixlength`, is added to every offset stored in the archive. A package whose
// offsets count from the start of the file gives 0; an archive appended behind other data with
// offsets from its own start gives the length of that data.
//
// Input buffering: blocks of 8,192 bytes are read at multiples of 8,192. During the
// backward search a copy of each block's first 3 bytes is kept in a hold area right behind
// the block, so that a signature that straddles two blocks is still seen from the earlier
// block. All reads of the archive go through readbytes, seekarchive and readbyte.
#include "common/byteorder.h"
#include "engine/enginestate.h"

#include "common/zipformat.h"
#include "engine/crc32.h"
#include "engine/timeconv.h"
#include "platform/clock.h"

#include <stdlib.h>
#include <string.h>

EngineState engine;
const EngineUi kNoUi = {};

namespace {

// Reads up to count bytes at file offset `offset` into the input buffer.
int readblockat(long long offset, unsigned count) {
    if (platform::seekfile(engine.archive, static_cast<unsigned long long>(offset)) != 0) return -1;
    return platform::readfile(engine.archive, engine.inbuf, count);
}

// Scans the buffer backwards from position `from` for the end-record signature; the hold
// area behind the block completes signatures that start in its last 3 bytes.
bool scanbackwards(int from, int datalength) {
    for (int i = from; i >= 0; --i) {
        if (engine.inbuf[i] == 'P' &&
            memcmp(engine.inbuf + i, engine.sigend, kSignatureLength) == 0) {
            engine.cursor.next = engine.inbuf + i;
            engine.cursor.unread = datalength - i;
            engine.actualend = engine.bufferstart + i;
            return true;
        }
    }
    return false;
}

void keephold() {
    memcpy(engine.hold, engine.inbuf, kHoldCopy);
}

// Searches the last `searchlength` bytes of the archive for the end record.
bool searchend(long long searchlength) {
    long long size = static_cast<long long>(engine.archivesize);
    if (size <= kInputBlock) {
        engine.bufferstart = 0;
        int got = readblockat(0, static_cast<unsigned>(size));
        return got == size && scanbackwards(static_cast<int>(size) - kEndRecordSize, got);
    }
    long long tail = size % kInputBlock;
    engine.bufferstart = size - tail;
    // A shorter tail cannot hold the rest of a record whose signature starts in the block
    // before, and that block's scan sees the tail's first bytes in the hold area anyway.
    if (tail >= kEndRecordSize - kHoldCopy) {
        int got = readblockat(engine.bufferstart, static_cast<unsigned>(tail));
        if (got != tail) return false;
        if (scanbackwards(static_cast<int>(tail) - kEndRecordSize, got)) return true;
        keephold();
    }
    // Whole blocks that hold the rest of the search. The count is worked out unsigned, where
    // the division by the power of two is a shift: -Oz would call a 64-bit run-time helper of
    // the compiler's for the signed division.
    long long rest = searchlength - tail;
    long long blocks =
        rest > 0 ? static_cast<long long>(
                       (static_cast<unsigned long long>(rest) + kInputBlock - 1) / kInputBlock)
                 : 0;
    for (long long n = 0; n < blocks && engine.bufferstart >= kInputBlock; ++n) {
        engine.bufferstart -= kInputBlock;
        int got = readblockat(engine.bufferstart, kInputBlock);
        if (got != kInputBlock) return false;
        if (scanbackwards(kInputBlock - 1, kInputBlock)) return true;
        keephold();
    }
    return false;
}

void fillendrecord(const unsigned char* r) {
    engine.end.thisdisk = get16(r + kEndThisDisk);
    engine.end.centraldisk = get16(r + kEndCentralDisk);
    engine.end.entriesondisk = get16(r + kEndEntriesOnDisk);
    engine.end.entriestotal = get16(r + kEndEntriesTotal);
    engine.end.centralsize = get32(r + kEndCentralSize);
    engine.end.centraloffset = get32(r + kEndCentralOffset);
    engine.end.commentlength = get16(r + kEndCommentLength);
}

// Result of the signature check at the central directory's stored offset.
int seekcentral() {
    int seek = seekarchive(engine.end.centraloffset);
    if (seek != 0) return seek;
    unsigned char signature[kSignatureLength];
    if (readbytes(signature, kSignatureLength) != kSignatureLength) return -1;
    return memcmp(signature, engine.sigcentral, kSignatureLength) == 0 ? 0 : -1;
}

// Faults of the end record that do not stop the walk: a comment that runs past the end of
// the file (a cut download; the members may still be whole), and entry counts that differ
// although this engine reads single-volume archives only.
int checkendrecord() {
    int result = kResultOk;
    long long commentend = engine.actualend + kEndRecordSize + engine.end.commentlength;
    if (commentend > static_cast<long long>(engine.archivesize))
        result = archivefault(result, kReasonCommentPastEnd, kResultWarning, kMsgWarn);
    if (engine.end.entriesondisk != engine.end.entriestotal)
        result = archivefault(result, kReasonEntryCounts, kResultArchiveError);
    return result;
}

// Finds the end record, derives prefixlength, reaches the central directory and runs the
// member loop. The archive is open.
int walkarchive() {
    unsigned long long search = engine.archivesize;
    if (search > kEngineEndWindow) search = kEngineEndWindow;
    engine.bufferstart = 0;
    engine.cursor.next = engine.inbuf;
    engine.cursor.unread = 0;
    int result = findendrecord(static_cast<int>(search));
    if (result != 0) return result;

    result = checkendrecord();
    engine.prefixlength = engine.actualend - engine.expectedend;
    if (engine.prefixlength < 0) {
        bool pastend = engine.expectedend > static_cast<long long>(engine.archivesize);
        result = archivefault(result, pastend ? kReasonCentralPastEnd : kReasonCentralOverlap,
                              kResultArchiveError);
    } else if (engine.prefixlength > 0 && engine.end.centraloffset == 0 &&
               engine.end.centralsize != 0) {
        engine.end.centraloffset = static_cast<unsigned>(engine.prefixlength);
        engine.prefixlength = 0;
        result = archivefault(result, kReasonOffsetsCorrected, kResultArchiveError);
    }
    if (engine.expectedend == 0 && engine.end.centralsize == 0)
        return archivefault(result, kReasonEmpty, kResultWarning);
    int found = seekcentral();
    if (found == kResultSevereError) {
        archivefailure(kReasonCentralMissing, found);
        return found;
    }
    if (found != 0) {
        engine.prefixlength = 0;
        found = seekcentral();
        if (found != 0) {
            if (found != kResultSevereError) notify(kMsgError);
            int failed = found > 0 ? found : kResultSevereError;
            archivefailure(kReasonCentralMissing, failed);
            return failed;
        }
        result = raiseresult(result, kResultArchiveError);
        archivefailure(kReasonOffsetsCorrected, kResultArchiveError);
    }
    engine.centralstart = static_cast<long long>(engine.end.centraloffset) + engine.prefixlength;
    int seek = seekarchive(engine.end.centraloffset);
    if (seek != 0) {
        archivefailure(kReasonCentralMissing, seek);
        return seek;
    }
    return raiseresult(result, walkcentral());
}

int processarchive() {
    platform::PathStatus status;
    if (statfile(engine.archivepath, &status) != 0) {
        archivefailure(kReasonCannotOpen, kResultNotFound, platform::lasterror());
        return kResultNotFound;
    }
    if (status.kind == platform::kPathDirectory) {
        archivefailure(kReasonArchiveIsFolder, kResultNotFound);
        return kResultDirectory;
    }
    engine.archivesize = status.size;
    engine.archive = platform::openread(engine.archivepath);
    if (!engine.archive) {
        archivefailure(kReasonCannotOpen, kResultNotFound, platform::lasterror());
        notify(kMsgError);
        return kResultNotFound;
    }
    int result = kResultOk;
    if (!buildcrctable()) result = kResultNoMemory;
    if (result == kResultOk && engine.destination && engine.extract) {
        engine.createdirs = 1;
        int root = setroot(engine.destination);
        if (root > kMapExists)
            result = root == kMapNoMemory ? kResultNoMemory : kResultArchiveError;
    }
    if (result == kResultNoMemory) archivefailure(kReasonNoMemory, result);
    if (result == kResultOk) result = walkarchive();
    platform::closefile(engine.archive);
    engine.archive = nullptr;
    return result;
}

void releaserun() {
    releasefixedcodes();
    forgetroot();
    releasecrctable();
    releasepassword();
    free(engine.extra);
    engine.extra = nullptr;
    engine.extralength = 0;
    free(engine.inbuf);
    engine.inbuf = nullptr;
    engine.hold = nullptr;
    releasemade();
}

} // namespace

int findendrecord(int searchlength) {
    if (searchend(searchlength)) {
        unsigned char record[kEndRecordSize];
        if (readbytes(record, kEndRecordSize) != kEndRecordSize) {
            archivefailure(kReasonEndRecordCut, kResultEndOfArchive);
            return kResultEndOfArchive;
        }
        fillendrecord(record);
        engine.expectedend =
            static_cast<long long>(engine.end.centraloffset) + engine.end.centralsize;
        return 0;
    }
    if (engine.quietlevel != 0) sendmessage(kMsgError, "[%s]\n", engine.archivepath);
    notify(kMsgError);
    archivefailure(kReasonNoEndRecord, kResultArchiveError);
    return kResultArchiveError;
}

EngineState* initengine() {
    memset(&engine, 0, sizeof engine);
    engine.member = engine.batch;
    engine.ui = &kNoUi;
    engine.quietlevel = 1;
    return &engine;
}

int extractarchive() {
    engine.inbuf = static_cast<unsigned char*>(malloc(kInputBlock + kHoldArea));
    if (!engine.inbuf) {
        notify(kMsgError);
        return kResultNoMemory;
    }
    engine.hold = engine.inbuf + kInputBlock;
    memset(engine.hold, 0, kHoldArea);
    completesignature(engine.sigcentral, kCentralTail);
    completesignature(engine.siglocal, kLocalTail);
    completesignature(engine.sigend, kEndTail);
    platform::resettimezone();
    engine.overwritemode = engine.overwritenever    ? kPolicyKeep
                           : engine.overwritealways ? kPolicyOverwrite
                                                    : kPolicyAsk;
    engine.bytesdone = 0;
    engine.cancelled = false;

    int result = processarchive();
    if (result == kResultNotFound && engine.archivename) engine.archivepath = engine.archivename;
    if (result == kResultDirectory) result = kResultNotFound;
    if (result == kResultNotFound) notify(kMsgWarn);
    releaserun();
    return result;
}

unsigned readbytes(unsigned char* destination, unsigned count) {
    unsigned copied = 0;
    while (copied < count) {
        if (engine.cursor.unread <= 0) {
            int got = platform::readfile(engine.archive, engine.inbuf, kInputBlock);
            if (got == 0) return copied;
            if (got < 0) {
                notify(kMsgError);
                return 0;
            }
            engine.bufferstart += kInputBlock;
            engine.cursor.next = engine.inbuf;
            engine.cursor.unread = got;
        }
        unsigned take = count - copied;
        if (take > static_cast<unsigned>(engine.cursor.unread))
            take = static_cast<unsigned>(engine.cursor.unread);
        memcpy(destination + copied, engine.cursor.next, take);
        engine.cursor.next += take;
        engine.cursor.unread -= static_cast<int>(take);
        copied += take;
    }
    return copied;
}

int loadblock(long long blockstart) {
    int got = readblockat(blockstart, kInputBlock);
    engine.bufferstart = blockstart;
    engine.cursor.next = engine.inbuf;
    engine.cursor.unread = got > 0 ? got : 0;
    return got;
}

int seekarchive(long long offset) {
    long long request = offset + engine.prefixlength;
    if (request < 0) {
        notify(kMsgWarn);
        return kResultSevereError;
    }
    long long block = request - request % kInputBlock;
    int position = static_cast<int>(request - block);
    if (block == engine.bufferstart && engine.cursor.next) {
        int moved = static_cast<int>(engine.inbuf + position - engine.cursor.next);
        engine.cursor.unread -= moved;
    } else {
        int got = loadblock(block);
        if (got < 1) return kResultEndOfArchive;
        engine.cursor.unread = got - position;
    }
    engine.cursor.next = engine.inbuf + position;
    return 0;
}

void deferleftover() {
    if (engine.remaining < 0) engine.remaining = 0;
    if (engine.remaining < engine.cursor.unread) {
        engine.leftover = engine.cursor.next + engine.remaining;
        engine.leftoverlength = engine.cursor.unread - static_cast<int>(engine.remaining);
        engine.cursor.unread = static_cast<int>(engine.remaining);
    }
    engine.remaining -= engine.cursor.unread;
}

void restoreleftover() {
    if (engine.cursor.unread > 0) engine.remaining += engine.cursor.unread;
    if (engine.leftover) {
        // The member's unread bytes lie right in front of the put-aside ones.
        int back = engine.remaining > 0 ? static_cast<int>(engine.remaining) : 0;
        engine.cursor.unread = engine.leftoverlength + back;
        engine.cursor.next = engine.leftover - back;
        engine.leftover = nullptr;
        engine.leftoverlength = 0;
    }
    if (engine.cursor.unread < 0) engine.cursor.unread = 0;
}
