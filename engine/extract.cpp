// Member extraction: each chosen member's local header is checked, its name mapped, its
// data decoded into the output window and written through flushoutput, its CRC compared.
//
// A local header (layout in common/zipformat.h) is read as its signature, then the fields
// behind it into a header-sized buffer, so that every field is read at its offset in the
// record. With general flag bit 3 the CRC and sizes follow the data, so the central directory's
// copies (kept in MemberInfo) are used instead.
//
// The member's compressed bytes are fenced off in the input buffer (deferleftover), so a
// decoder sees exactly the member's data and then the end of it; readbyte refills the buffer
// when the fenced part runs dry.
#include "common/byteorder.h"
#include "engine/enginestate.h"

#include "common/zipformat.h"
#include "engine/crc32.h"
#include "engine/timeconv.h"
#include "common/stringlists.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Reads the fields behind the signature, which findlocalheader has read already.
int readlocalheader() {
    enum { kFields = kLocalHeaderSize - kSignatureLength };
    unsigned char h[kLocalHeaderSize];
    if (readbytes(h + kSignatureLength, kFields) != kFields) return kResultEndOfArchive;
    LocalHeader& l = engine.local;
    l.flags = get16(h + kLocalFlags);
    l.method = get16(h + kLocalMethod);
    l.dostime = get32(h + kLocalDosTime);
    l.crc = get32(h + kLocalCrc);
    l.compressedsize = get32(h + kLocalCompressedSize);
    l.uncompressedsize = get32(h + kLocalUncompressedSize);
    l.namelength = get16(h + kLocalNameLength);
    l.extralength = get16(h + kLocalExtraLength);
    if (l.flags & kFlagDataDescriptor) {
        l.crc = engine.member->crc;
        l.compressedsize = engine.member->compressedsize;
        l.uncompressedsize = engine.member->uncompressedsize;
    }
    engine.remaining = l.compressedsize;
    return 0;
}

int diskfull() {
    notify(kMsgErrorQuestionFreshLine);
    bool goon =
        engine.ui->askdiskfull && engine.ui->askdiskfull(engine.uicontext, engine.filename) != 0;
    engine.diskfullstate = goon ? kDiskFullGoOn : kDiskFullStop;
    return kResultDiskFull;
}

// Records the output file just made in the request's lists: every one in filelist, and in
// newfilelist the ones that did not replace a file standing there before.
void recordoutput(bool replaced) {
    if (engine.filelist) listadd(engine.filelist, engine.filename);
    if (engine.newfilelist && !replaced) listadd(engine.newfilelist, engine.filename);
}

// Reports why the output file cannot be had; returns the member's result.
int refuseoutput(int reason, int result, int syserror) {
    memberfailure(reason, result, syserror);
    notify(kMsgError);
    return result;
}

// Returns 0, or the member's result after a reported failure: 50 when the output cannot be
// had (the disk is full, or the file system refuses the file, its name or its place), 2 when
// a link stands in its way.
// A file to replace and the new file are both made sure of through their handles to lie in
// the root (confine.cpp): a folder on the way may have been swapped for a link since it was
// looked at.
// A path that checkexisting has just found empty for this member is not looked up again:
// a lookup of a missing name is the costliest one (a case-insensitive file system such as
// Wine's reads through the whole folder for it). The output is created only where nothing
// stands, so whatever appears at the path after a query is neither replaced nor followed.
int openoutput() {
    platform::PathStatus status;
    bool replaced = false;
    if (!engine.outputmissing && statoutput(engine.filename, &status) == 0) {
        if (status.kind == platform::kPathLink)
            return refuseoutput(kReasonThroughLink, kResultArchiveError, 0);
        if (status.kind == platform::kPathDirectory)
            return refuseoutput(kReasonFolderInTheWay, kResultDiskFull, 0);
        int syserror = 0;
        int reason = removeinside(engine.filename, &syserror);
        if (reason != 0)
            return refuseoutput(
                reason, reason == kReasonThroughLink ? kResultArchiveError : kResultDiskFull,
                syserror);
        replaced = true;
    }
    engine.output = platform::createwrite(engine.filename);
    unsigned long long place = 0;
    if (engine.output && !liesinroot(engine.output, &place)) {
        platform::discardfile(engine.output);
        engine.output = nullptr;
        return refuseoutput(kReasonThroughLink, kResultArchiveError, 0);
    }
    if (!engine.output) {
        int error = platform::lasterror();
        int kind = platform::errorkind(error);
        int reason = kind == platform::kErrorDiskFull      ? kReasonDiskFull
                     : kind == platform::kErrorNameTooLong ? kReasonNameTooLong
                                                           : kReasonCannotCreate;
        return refuseoutput(reason, kResultDiskFull, error);
    }
    recordmade(place);
    recordoutput(replaced);
    // Reserving the length up front keeps a file written in pieces in one piece; failures do
    // not matter.
    engine.presized = engine.local.uncompressedsize > kPresizeAbove;
    if (engine.presized) platform::presizefile(engine.output, engine.local.uncompressedsize);
    return 0;
}

// Copies a stored member's bytes through the output window.
int copystored() {
    unsigned filled = 0;
    for (;;) {
        if (engine.cursor.unread > 0) {
            unsigned take = static_cast<unsigned>(engine.cursor.unread);
            if (take > kOutputWindow - filled) take = kOutputWindow - filled;
            memcpy(engine.window + filled, engine.cursor.next, take);
            engine.cursor.next += take;
            engine.cursor.unread -= static_cast<int>(take);
            filled += take;
        } else {
            int c = readbyte();
            if (c < 0) break;
            engine.window[filled++] = static_cast<unsigned char>(c);
        }
        if (filled == kOutputWindow) {
            int r = flushoutput(engine.window, filled, 0);
            filled = 0;
            if (r != 0 || engine.diskfullstate != kDiskFullNone) return r;
        }
    }
    return filled ? flushoutput(engine.window, filled, 0) : 0;
}

int inflatemember(bool deflate64) {
    int r = undeflate(&engine.hooks, deflate64);
    if (r >= kResultDiskFull || r == 0) return r;
    notify(kMsgError);
    int result = r == kInflateNoMemory ? kResultInflateMemory : kResultArchiveError;
    memberfailure(r == kInflateNoMemory ? kReasonNoMemory : kReasonInflate, result);
    return result;
}

// Decodes an LZMA member; bit 1 of its flags says that its stream ends with an end marker.
int lzmamember() {
    int r = unlzma(&engine.hooks, engine.local.uncompressedsize,
                   (engine.local.flags & kFlagLzmaEndMarker) != 0);
    if (r >= kResultDiskFull || r == 0) return r;
    notify(kMsgError);
    static const unsigned char kReasons[] = {kReasonNone, kReasonLzma, kReasonLzmaHeader,
                                             kReasonDictionary, kReasonNoMemory};
    static_assert(sizeof kReasons == kLzmaNoMemory + 1, "a reason for every result of unlzma");
    int result = r == kLzmaNoMemory ? kResultInflateMemory : kResultArchiveError;
    memberfailure(kReasons[r], result);
    return result;
}

// A member of a method the engine does not decode is refused before its output is opened:
// a file of its name keeps what it holds, and no empty file stands in for the member.
int refusemember() {
    memberfailure(kReasonMethod, kResultWarning, engine.local.method);
    char printable[kPrintableName];
    sendmessage(kMsgError, "%s", printablename(engine.filename, printable));
    return kResultWarning;
}

// The decoded length must be the stored uncompressed size, and the CRC the stored CRC.
void checkdecoded(int* result) {
    if (engine.written != engine.local.uncompressedsize) {
        memberfailure(kReasonSizeMismatch, kResultArchiveError);
        notify(kMsgError);
        *result = kResultArchiveError;
        return;
    }
    if (engine.crc == engine.local.crc) return;
    memberfailure(kReasonCrc, kResultArchiveError);
    if (engine.quietlevel != 0) {
        char printable[kPrintableName];
        sendmessage(kMsgError, "%-22s ", printablename(engine.filename, printable));
    }
    notify(kMsgError);
    if (engine.member->encrypted) notify(kMsgError);
    *result = kResultArchiveError;
}

int extractmember() {
    engine.crc = 0;
    engine.written = 0;
    unsigned method = engine.local.method;
    if (!decodesmethod(method)) return refusemember();
    // A test run (extract flag 0) decodes and checks the data but writes nothing.
    if (engine.extract) {
        int opened = openoutput();
        if (opened != 0) return opened;
    }
    deferleftover();
    int result;
    if (method == kMethodStored)
        result = copystored();
    else if (method == kMethodLzma)
        result = lzmamember();
    else
        result = inflatemember(method == kMethodDeflate64);
    if (engine.output) {
        if (engine.presized) platform::truncatehere(engine.output);
        closeoutput();
    }
    if (engine.diskfullstate == kDiskFullGoOn) {
        result = kResultWarning;
        memberfailure(kReasonDiskFull, result);
    } else if (engine.diskfullstate == kDiskFullStop) {
        notify(kMsgErrorFreshLine);
        result = kResultDiskFull;
        memberfailure(kReasonDiskFull, result);
    }
    if (result <= kResultWarning && engine.diskfullstate == kDiskFullNone) checkdecoded(&result);
    restoreleftover();
    return result;
}

// What stands at a member's output path before it is written.
enum ExistingOutput { kOutputMissing, kOutputLink, kOutputOlder, kOutputNotOlder };

// One status query of the output path answers both questions asked of it: whether a link
// stands there, and for a file whether it is older than the member.
ExistingOutput checkexisting(const char* path) {
    platform::PathStatus status;
    engine.outputmissing = statoutput(path, &status) != 0;
    if (engine.outputmissing) return kOutputMissing;
    if (status.kind == platform::kPathLink) return kOutputLink;
    ExtTimes times;
    unsigned membertime = dostimetounix(engine.local.dostime);
    if (exttimes(engine.extra, engine.extralength, false, engine.local.dostime, &times) &
        kTimeModification)
        membertime = times.modification;
    unsigned existing = 0;
    filetimetounix(status.modification, &existing);
    return existing < membertime ? kOutputOlder : kOutputNotOlder;
}

// Stands on the member's local header signature, retrying without (or with) prefixlength
// when the signature is not where the stored offset says. False after a failure that skips
// the member (the result already raised).
bool findlocalheader(bool first, long long* savedprefix, int* result) {
    long long offset = static_cast<long long>(engine.member->localoffset) + engine.prefixlength;
    if (offset < 0) {
        notify(kMsgError);
        *result = raiseresult(*result, kResultArchiveError);
        if (!first || engine.prefixlength == 0) {
            *result = raiseresult(*result, kResultSevereError);
            memberfailure(kReasonLocalMissing, kResultSevereError);
            return false;
        }
        notify(kMsgError);
        *savedprefix = engine.prefixlength;
        engine.prefixlength = 0;
    }
    unsigned char signature[kSignatureLength];
    if (seekarchive(engine.member->localoffset) != 0 ||
        readbytes(signature, kSignatureLength) != kSignatureLength)
        return skipmember(result, kReasonLocalMissing, kResultSevereError);
    if (memcmp(signature, engine.siglocal, kSignatureLength) == 0) return true;
    notify(kMsgError);
    *result = raiseresult(*result, kResultArchiveError);
    bool swap =
        (first && engine.prefixlength != 0) || (engine.prefixlength == 0 && *savedprefix != 0);
    if (!swap) {
        memberfailure(kReasonLocalMissing, kResultArchiveError);
        return false;
    }
    if (engine.prefixlength != 0) {
        *savedprefix = engine.prefixlength;
        engine.prefixlength = 0;
    } else {
        engine.prefixlength = *savedprefix;
    }
    int seek = seekarchive(engine.member->localoffset);
    if (seek != 0 || readbytes(signature, kSignatureLength) != kSignatureLength ||
        memcmp(signature, engine.siglocal, kSignatureLength) != 0) {
        if (seek != kResultSevereError) notify(kMsgError);
        *result = raiseresult(*result, kResultSevereError);
        memberfailure(kReasonLocalMissing, kResultSevereError);
        return false;
    }
    archivefailure(kReasonOffsetsCorrected, kResultArchiveError);
    return true;
}

// The file offset of the next unread byte of the archive.
long long fileposition() {
    return engine.bufferstart + (engine.cursor.next - engine.inbuf);
}

// A member's data must end before the central directory (or, for data behind it, before
// the end of the file); a size that runs further belongs to a damaged or forged entry.
bool datafits() {
    long long start = fileposition();
    long long limit = start < engine.centralstart ? engine.centralstart
                                                  : static_cast<long long>(engine.archivesize);
    return start + static_cast<long long>(engine.local.compressedsize) <= limit;
}

// Reads the local header and names, opens an encrypted member, maps the output path and
// decides about an existing file. False skips the member.
bool preparemember(int* result, unsigned* badpasswords) {
    int r = readlocalheader();
    if (r != 0) return skipmember(result, kReasonLocalCut, r, kMsgErrorFreshLine);
    r = readfield(engine.local.namelength, kFieldLocalName);
    if (r <= kResultWarning) r = raiseresult(r, readfield(engine.local.extralength, kFieldExtra));
    if (r > kResultWarning) return skipmember(result, kReasonLocalCut, r);
    *result = raiseresult(*result, r);
    settlename(kFieldLocalName, engine.local.flags);
    // The listing shows the central name; a different local one would be written instead.
    if (engine.localnamediffers)
        return skipmember(result, kReasonNameMismatch, kResultArchiveError);
    if (!datafits()) return skipmember(result, kReasonDataPastEnd, kResultArchiveError);
    if (engine.member->encrypted) {
        int password = openencrypted();
        if (password == kEncryptedNoPassword) {
            ++*badpasswords;
            memberfailure(kReasonWrongPassword, kResultWarning);
            if (engine.quietlevel == 0) notify(kMsgError);
            return false;
        }
        if (password != kEncryptedOpen) return skipmember(result, kReasonNoMemory, kResultNoMemory);
    }
    if (engine.filename[0] == '/' || engine.filename[0] == '\\') {
        memberfailure(kReasonAbsolutePath, kResultWarning);
        notify(kMsgError);
        *result = raiseresult(*result, kResultWarning);
        size_t skip = strspn(engine.filename, "/\\");
        memmove(engine.filename, engine.filename + skip, strlen(engine.filename + skip) + 1);
    }
    if (!engine.extract) return true;
    int status = mapname();
    *result = raiseresult(*result, status & 0xFF);
    int mapclass = status & kMapClassMask;
    if (mapclass == kMapCreatedDir || mapclass == kMapExists) return false;
    if (mapclass == kMapVolumeLabel) {
        notify(kMsgError);
        return false;
    }
    if (mapclass != kMapReady && mapclass != kMapTruncated) {
        *result = raiseresult(*result, kResultArchiveError);
        memberfailure(mapclass == kMapNoMemory ? kReasonNoMemory : kReasonBadName,
                      kResultArchiveError);
        return false;
    }
    ExistingOutput existing = checkexisting(engine.filename);
    // Whatever the overwrite mode, nothing may be written through a link.
    if (existing == kOutputLink) return skipmember(result, kReasonThroughLink, kResultArchiveError);
    if (existing == kOutputMissing) return true;
    // Two members that land on one file (names that differ in case only, or that the file
    // system stores alike) are never written over each other unseen: the second follows the
    // overwrite policy, and the run fails with the reason either way.
    if (madebythisrun(engine.filename)) {
        *result = raiseresult(*result, kResultDiskFull);
        memberfailure(kReasonSameFile, kResultDiskFull);
    }
    if (engine.overwritemode == kPolicyKeep) return false;
    const EngineUi* ui = engine.ui;
    return engine.overwritemode == kPolicyOverwrite ||
           (ui->askoverwrite &&
            ui->askoverwrite(engine.uicontext, engine.filename, engine.member->name) != 0);
}

} // namespace

int readbyte() {
    if (engine.remaining <= 0) {
        --engine.remaining;
        engine.cursor.unread = 0;
        return -1;
    }
    int got = platform::readfile(engine.archive, engine.inbuf, kInputBlock);
    if (got <= 0) {
        // A read error ends the member like the end of the archive: the decoders then
        // report a data or CRC error instead of the process ending under the user.
        if (got < 0) notify(kMsgError);
        engine.cursor.unread = 0;
        return -1;
    }
    engine.bufferstart += kInputBlock;
    engine.cursor.next = engine.inbuf;
    engine.cursor.unread = got;
    deferleftover();
    if (engine.member->encrypted)
        decryptbuffer(engine.cursor.next, static_cast<unsigned>(engine.cursor.unread));
    --engine.cursor.unread;
    return *engine.cursor.next++;
}

int flushoutput(unsigned char* data, unsigned count, int) {
    engine.crc = updatecrc(engine.crc, data, count);
    engine.written += count;
    if (count == 0) return 0;
    if (engine.diskfullstate != kDiskFullNone) return kResultDiskFull;
    engine.bytesdone += count;
    const EngineUi* ui = engine.ui;
    if (ui->reportprogress &&
        ui->reportprogress(engine.uicontext, engine.filename, engine.bytesdone)) {
        engine.cancelled = true;
        return kResultCancelled;
    }
    if (engine.output && platform::writefile(engine.output, data, count) < count) return diskfull();
    return 0;
}

int extractbatch(unsigned count, unsigned* attempted, unsigned* badpasswords,
                 long long* savedprefix, int result) {
    engine.hooks.input = &engine.cursor;
    engine.hooks.readbyte = readbyte;
    engine.hooks.flushoutput = flushoutput;
    engine.hooks.message = deliver;
    engine.hooks.window = engine.window;
    engine.hooks.quietlevel = &engine.quietlevel;
    for (unsigned i = 0; i < count; ++i) {
        engine.member = &engine.batch[i];
        engine.memberfailed = 0;
        engine.outputmissing = false;
        bool first = ++*attempted == 1;
        if (!findlocalheader(first, savedprefix, &result)) continue;
        if (!preparemember(&result, badpasswords)) continue;
        engine.diskfullstate = kDiskFullNone;
        result = raiseresult(result, extractmember());
        if (engine.diskfullstate == kDiskFullStop || result == kResultCancelled) return result;
    }
    return result;
}
