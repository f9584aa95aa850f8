// The member loop: walks the central directory in batches of up to 64 entries, keeps the
// chosen ones and hands each batch to extractbatch.
//
// A central header (layout in common/zipformat.h) is read in two steps: its signature, which
// ends the walk when it is another record's, then the fields behind it into a header-sized
// buffer, so that every field is read at its offset in the record. Extraction moves the input
// buffer to the members' data, so the loop remembers where it stands in the directory before each
// batch and returns there afterwards.
#include "common/byteorder.h"
#include "engine/enginestate.h"

#include "common/zipformat.h"
#include "engine/nametext.h"

#include <stdlib.h>
#include <string.h>

namespace {

// Counters of one walk.
struct LoopCounters {
    unsigned attempted;    // members extractbatch started
    unsigned badpasswords; // members whose password check failed
    unsigned refused;      // entries refused by acceptmember
    long long savedprefix; // prefixlength put aside by extractbatch's retry
};

// Reads the fields behind the signature, which readbatch has read already.
int readcentralheader() {
    enum { kFields = kCentralHeaderSize - kSignatureLength };
    unsigned char h[kCentralHeaderSize];
    if (readbytes(h + kSignatureLength, kFields) != kFields) return kResultEndOfArchive;
    CentralHeader& c = engine.central;
    c.versionmadeby = h[kCentralVersionMadeBy];
    c.hostmadeby = h[kCentralHostMadeBy];
    c.versionneeded = h[kCentralVersionNeeded];
    c.hostneeded = h[kCentralHostNeeded];
    c.flags = get16(h + kCentralFlags);
    c.method = get16(h + kCentralMethod);
    c.dostime = get32(h + kCentralDosTime);
    c.crc = get32(h + kCentralCrc);
    c.compressedsize = get32(h + kCentralCompressedSize);
    c.uncompressedsize = get32(h + kCentralUncompressedSize);
    c.namelength = get16(h + kCentralNameLength);
    c.extralength = get16(h + kCentralExtraLength);
    c.commentlength = get16(h + kCentralCommentLength);
    c.diskstart = get16(h + kCentralDiskStart);
    c.internal = get16(h + kCentralInternal);
    c.external = get32(h + kCentralExternal);
    c.localoffset = get32(h + kCentralLocalOffset);
    return 0;
}

MemberOrigin memberorigin(const MemberInfo* m) {
    MemberOrigin origin = {m->versionmadeby, m->host, m->external, m->nodata};
    return origin;
}

int fillmemberinfo() {
    if (readcentralheader() != 0) return kResultEndOfArchive;
    MemberInfo* m = engine.member;
    const CentralHeader& c = engine.central;
    m->versionmadeby = c.versionmadeby;
    m->host = c.hostmadeby > kHostLastKnown ? unsigned(kHostOther) : c.hostmadeby;
    m->external = c.external;
    m->nodata = (c.compressedsize | c.uncompressedsize) == 0;
    m->volumelabel = isvolumelabel(memberorigin(m));
    return 0;
}

// Host byte 2 marks an archive of a system whose newer versions may still be readable;
// the user decides, unless every existing file is overwritten without questions anyway.
bool askversion() {
    if (engine.overwritemode == kPolicyOverwrite) return true;
    notify(kMsgErrorQuestion);
    return engine.ui->asknewversion &&
           engine.ui->asknewversion(engine.uicontext, engine.member->name) != 0;
}

int acceptmember() {
    MemberInfo* m = engine.member;
    const CentralHeader& c = engine.central;
    m->encrypted = (c.flags & kFlagEncrypted) != 0;
    m->hasdescriptor = (c.flags & kFlagDataDescriptor) != 0;
    m->text = (c.internal & kInternalText) != 0;
    m->crc = c.crc;
    m->compressedsize = c.compressedsize;
    m->uncompressedsize = c.uncompressedsize;
    // AES needs version 5.1, though not every writer of it says so; its members are refused
    // before any password is asked for them.
    bool accepted = c.method != kMethodAes &&
                    c.versionneeded <= extractversionlimit(c.hostneeded, c.method) &&
                    (c.hostneeded != kHostVms || askversion());
    if (!accepted) {
        if (engine.quietlevel == 0) notify(kMsgInfo);
        memberfailure(kReasonNewerVersion, kResultNewerVersion);
        return 0;
    }
    m->attributes = c.external & kDosAttributeBits;
    if (!(m->attributes & kDosDirectory)) m->attributes |= kDosArchive;
    m->diskstart = c.diskstart;
    m->localoffset = c.localoffset;
    m->ntfsflags = ntfstimes(engine.extra, engine.extralength, &m->ntfs);
    return 1;
}

// The stored name just read as name text in out (kNameText bytes), by the rules of the
// header it came from and that header's flags and extra field; *utf8name, when asked for,
// whether it was read as UTF-8.
void converttext(NameHeader header, unsigned flags, char* out, bool* utf8name = nullptr) {
    StoredName stored = {engine.storedname, engine.storedlength, engine.storedcut, flags,
                         engine.extra,      engine.extralength};
    membernametext(stored, memberorigin(engine.member), header, out, utf8name);
}

// Both separators count as one, as they do for mapname.
bool samename(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        bool separators = (*a == '/' || *a == '\\') && (*b == '/' || *b == '\\');
        if (*a != *b && !separators) return false;
    }
    return *a == *b;
}

// Reads a name's bytes as stored into engine.storedname; the excess of a name too long
// for it is skipped. Its conversion waits for the extra field behind it (settlename).
int readname(unsigned length) {
    engine.storedname[0] = 0;
    engine.storedlength = 0;
    engine.storedcut = false;
    if (length == 0) return 0;
    int result = 0;
    unsigned keep = keptnamelength(length);
    if (keep < length) {
        notify(kMsgError);
        result = kResultWarning;
    }
    unsigned got = readbytes(reinterpret_cast<unsigned char*>(engine.storedname), keep);
    if (got == 0) return kResultEndOfArchive;
    engine.storedname[got] = 0;
    engine.storedlength = got;
    engine.storedcut = keep < length;
    if (engine.storedcut) result = raiseresult(result, readfield(length - keep, kFieldSkip));
    return result;
}

// Replaces the extra field of the previous header, also by none.
int readextra(unsigned length) {
    free(engine.extra);
    engine.extra = nullptr;
    engine.extralength = 0;
    if (length == 0) return 0;
    engine.extra = static_cast<unsigned char*>(malloc(length));
    if (!engine.extra) {
        notify(kMsgError);
        return readfield(length, kFieldSkip);
    }
    unsigned got = readbytes(engine.extra, length);
    if (got == 0) return kResultEndOfArchive;
    engine.extralength = got;
    return 0;
}

// The archive offset (without prefixlength) of the next unread byte.
long long archiveposition() {
    return engine.bufferstart + (engine.cursor.next - engine.inbuf) - engine.prefixlength;
}

// Reads the names, extra field and comment of the entry; false ends the directory walk.
bool readentryfields(int* result) {
    const CentralHeader& c = engine.central;
    const unsigned lengths[3] = {c.namelength, c.extralength, c.commentlength};
    const FieldMode modes[3] = {kFieldCentralName, kFieldExtra, kFieldSkip};
    for (int i = 0; i < 3; ++i) {
        int r = readfield(lengths[i], modes[i]);
        *result = raiseresult(*result, r);
        if (r > kResultWarning) {
            notify(i == 2 ? kMsgErrorFreshLine : kMsgError);
            return false;
        }
        if (i == 1) settlename(kFieldCentralName, c.flags);
    }
    return true;
}

// Offers the entry just read to the user interface and tells whether it is chosen.
bool chosen() {
    const EngineUi* ui = engine.ui;
    if (ui->offerentry)
        ui->offerentry(engine.uicontext, engine.filename, &engine.central, engine.extra,
                       engine.extralength);
    if (engine.extractall) return true;
    if (!ui->finditem) return false;
    int item = ui->finditem(engine.uicontext, engine.filename);
    return item >= 0 && ui->isselected(engine.uicontext, item);
}

// Reads one batch of chosen entries into engine.batch; returns its size.
unsigned readbatch(unsigned* entriesread, LoopCounters* counters, int* result, bool* ended) {
    unsigned n = 0;
    while (n < kBatchSize) {
        engine.member = &engine.batch[n];
        engine.member->name[0] = 0;
        engine.memberfailed = 0;
        unsigned char signature[kSignatureLength];
        if (readbytes(signature, kSignatureLength) < kSignatureLength) {
            *result = kResultEndOfArchive;
            archivefailure(kReasonCentralCut, kResultEndOfArchive);
            *ended = true;
            break;
        }
        if (memcmp(signature, engine.sigcentral, kSignatureLength) != 0) {
            if ((*entriesread & 0xFFFF) != engine.end.entriestotal) {
                notify(kMsgError);
                notify(kMsgError);
                *result = raiseresult(*result, kResultSevereError);
                archivefailure(kReasonFewerEntries, kResultSevereError);
            }
            *ended = true;
            break;
        }
        if (fillmemberinfo() != 0) {
            *result = kResultEndOfArchive;
            archivefailure(kReasonCentralCut, kResultEndOfArchive);
            *ended = true;
            break;
        }
        if (!readentryfields(result)) {
            archivefailure(kReasonCentralCut, *result);
            *ended = true;
            break;
        }
        if (chosen()) {
            if (acceptmember())
                ++n;
            else
                ++counters->refused;
        }
        ++*entriesread;
    }
    return n;
}

// Removes the list item of the last member handled, so a second run does not offer it. The
// item is the member's path below the destination: the output path without the destination
// and the separator behind it (the destination may end with one itself).
void trimlist() {
    const EngineUi* ui = engine.ui;
    if (!ui->finditem) return;
    const char* name = engine.filename;
    const char* root = engine.destination;
    const char* found = root && *root ? strstr(name, root) : nullptr;
    if (found) {
        name = found + strlen(root);
        if (*name == '/' || *name == '\\') ++name;
    }
    int item = ui->finditem(engine.uicontext, name);
    if (item >= 0) ui->deleteitem(engine.uicontext, item);
}

int finalresult(int a, const LoopCounters& counters) {
    if (counters.attempted == 0 && a <= kResultWarning)
        return counters.refused ? kResultNewerVersion : kResultNoneSelected;
    if (counters.badpasswords == counters.attempted && counters.attempted && a <= kResultWarning)
        return kResultBadPassword;
    if (counters.refused && a <= kResultWarning) return kResultNewerVersion;
    if (counters.badpasswords && a == kResultOk) return kResultWarning;
    return a;
}

} // namespace

int readfield(unsigned length, FieldMode mode) {
    // A name or extra field of length 0 still replaces the previous header's.
    if (mode == kFieldExtra) return readextra(length);
    if (mode == kFieldCentralName || mode == kFieldLocalName) return readname(length);
    if (mode == kFieldSkip && length > 0) return seekarchive(archiveposition() + length);
    return 0;
}

void settlename(FieldMode mode, unsigned flags) {
    MemberInfo* m = engine.member;
    if (mode == kFieldLocalName) {
        // Compared as the central name was converted: the two OEM rules differ for some
        // versions, and a different rule is no different name.
        char ascentral[kNameText];
        converttext(kCentralName, flags, ascentral);
        engine.localnamediffers =
            engine.local.namelength != m->namelength || !samename(ascentral, m->name);
    }
    converttext(mode == kFieldLocalName ? kLocalName : kCentralName, flags, engine.filename,
                mode == kFieldCentralName ? &m->utf8name : nullptr);
    if (mode == kFieldCentralName) {
        memcpy(m->name, engine.filename, strlen(engine.filename) + 1);
        m->namelength = engine.central.namelength;
    }
    if (engine.storedcut) {
        char printable[kPrintableName];
        sendmessage(kMsgError, "[ %s ]\n", printablename(engine.filename, printable));
    }
}

int walkcentral() {
    engine.member = engine.batch;
    engine.newarchive = 1;
    LoopCounters counters = {0, 0, 0, 0};
    int result = kResultOk;
    unsigned entriesread = 0;
    bool ended = false;
    while (!ended) {
        unsigned n = readbatch(&entriesread, &counters, &result, &ended);
        long long bufferstart = engine.bufferstart;
        long long position = engine.cursor.next - engine.inbuf;
        int unread = engine.cursor.unread;
        int r = extractbatch(n, &counters.attempted, &counters.badpasswords, &counters.savedprefix,
                             result);
        result = raiseresult(result, r);
        if (engine.diskfullstate == kDiskFullStop || result == kResultCancelled) return result;
        if (n > 0 && (r == 0 || engine.cancelled)) trimlist();
        loadblock(bufferstart);
        engine.cursor.next = engine.inbuf + position;
        engine.cursor.unread = unread;
    }
    return finalresult(result, counters);
}
