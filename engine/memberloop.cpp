// The member loop: walks the central directory in batches of up to 64 entries, keeps the
// chosen ones and hands each batch to extractbatch.
//
// Central file header after its signature (42 bytes, little-endian):
//    0 u8 version made by       1 u8 host made by      2 u8 version needed   3 u8 its host
//    4 u16 general flags        6 u16 method           8 u32 DOS time/date  12 u32 CRC-32
//   16 u32 compressed size     20 u32 uncompressed    24 u16 name length    26 u16 extra len
//   28 u16 comment length      30 u16 disk start      32 u16 internal attr  34 u32 external
//   38 u32 local header offset
// Extraction moves the input buffer to the members' data, so the loop remembers where it
// stands in the directory before each batch and returns there afterwards.
#include "common/byteorder.h"
#include "engine/enginestate.h"

#include "platform/codepage.h"

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

int readcentralheader() {
    unsigned char h[kCentralHeaderFields];
    if (readbytes(h, kCentralHeaderFields) != kCentralHeaderFields) return kResultEndOfArchive;
    CentralHeader& c = engine.central;
    c.versionmadeby = h[0];
    c.hostmadeby = h[1];
    c.versionneeded = h[2];
    c.hostneeded = h[3];
    c.flags = get16(h + 4);
    c.method = get16(h + 6);
    c.dostime = get32(h + 8);
    c.crc = get32(h + 12);
    c.compressedsize = get32(h + 16);
    c.uncompressedsize = get32(h + 20);
    c.namelength = get16(h + 24);
    c.extralength = get16(h + 26);
    c.commentlength = get16(h + 28);
    c.diskstart = get16(h + 30);
    c.internal = get16(h + 32);
    c.external = get32(h + 34);
    c.localoffset = get32(h + 38);
    return 0;
}

int fillmemberinfo() {
    if (readcentralheader() != 0) return kResultEndOfArchive;
    MemberInfo* m = engine.member;
    m->versionmadeby = engine.central.versionmadeby;
    m->host = engine.central.hostmadeby > 18 ? 19 : engine.central.hostmadeby;
    bool labelhost = m->host == 0 || m->host == 5 || m->host == 6 || m->host == 11;
    m->volumelabel = (engine.central.external & 0x08) && labelhost;
    m->hostattributes = engine.central.external > 0xFFFF;
    return 0;
}

// Host byte 2 marks an archive of a system whose newer versions may still be readable;
// the user decides, unless every existing file is overwritten without questions anyway.
bool askversion() {
    if (engine.overwritemode == kPolicyOverwrite) return true;
    notify(kMsgErrorQuestion);
    char answer[9];
    int length = engine.input(&engine, answer, sizeof answer);
    return length > 0 && (answer[0] == 'y' || answer[0] == 'Y');
}

int acceptmember() {
    MemberInfo* m = engine.member;
    const CentralHeader& c = engine.central;
    m->encrypted = (c.flags & 0x01) != 0;
    m->hasdescriptor = (c.flags & 0x08) != 0;
    m->text = (c.internal & 0x01) != 0;
    m->crc = c.crc;
    m->compressedsize = c.compressedsize;
    m->uncompressedsize = c.uncompressedsize;
    bool accepted =
        c.hostneeded == 2 ? c.versionneeded <= 42 && askversion() : c.versionneeded <= 21;
    if (!accepted) {
        if (engine.quietlevel == 0) notify(kMsgInfo);
        memberfailure(kReasonNewerVersion, kResultNewerVersion);
        return 0;
    }
    m->external = c.external;
    m->attributes = c.external & 0xFF;
    if (!(m->attributes & 0x10)) m->attributes |= 0x20;
    m->diskstart = c.diskstart;
    m->localoffset = c.localoffset;
    m->ntfsflags = ntfstimes(engine.extra, engine.extralength, &m->ntfs);
    return 1;
}

bool convertsfromoem(FieldMode mode) {
    const MemberInfo* m = engine.member;
    unsigned made = m->versionmadeby;
    if (m->host == 0)
        return !((mode == kFieldLocalName || m->hostattributes) &&
                 (made == 25 || made == 26 || made == 40));
    return m->host == 6 || (m->host == 11 && made == 50);
}

// The stored name just read as name text in out (kNameText bytes), by the rules of `mode`
// and the flags and extra field of the header it came from; then the volume-label dot.
void converttext(FieldMode mode, unsigned flags, char* out) {
    StoredName stored = {engine.storedname, engine.storedlength, engine.storedcut,     flags,
                         engine.extra,      engine.extralength,  convertsfromoem(mode)};
    unsigned length = nametext(stored, out, kNameText);
    if (engine.member->volumelabel && length > 8 && out[8] == '.')
        memmove(out + 8, out + 9, length - 8);
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
    unsigned keep = length;
    if (length >= kNameBuffer) {
        notify(kMsgError);
        result = kResultWarning;
        keep = kNameBuffer - 1;
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

bool chosen() {
    if (engine.extractall) return true;
    int item = engine.ui->finditem(engine.ui->context, engine.filename);
    return item >= 0 && engine.ui->isselected(engine.ui->context, item);
}

// Reads one batch of chosen entries into engine.batch; returns its size.
unsigned readbatch(unsigned* entriesread, LoopCounters* counters, int* result, bool* ended) {
    unsigned n = 0;
    while (n < kBatchSize) {
        engine.member = &engine.batch[n];
        engine.member->name[0] = 0;
        engine.memberfailed = 0;
        unsigned char signature[4];
        if (readbytes(signature, 4) < 4) {
            *result = kResultEndOfArchive;
            archivefailure(kReasonCentralCut, kResultEndOfArchive);
            *ended = true;
            break;
        }
        if (memcmp(signature, engine.sigcentral, 4) != 0) {
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
    const char* name = engine.filename;
    const char* root = engine.destination;
    const char* found = root && *root ? strstr(name, root) : nullptr;
    if (found) {
        name = found + strlen(root);
        if (*name == '/' || *name == '\\') ++name;
    }
    unsigned size = engine.ui->textsize;
    if (!engine.ui->text || size == 0) return;
    strncpy(engine.ui->text, name, size - 1);
    engine.ui->text[size - 1] = 0;
    int item = engine.ui->finditem(engine.ui->context, engine.ui->text);
    if (item >= 0) engine.ui->deleteitem(engine.ui->context, item);
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
        converttext(kFieldCentralName, flags, ascentral);
        engine.localnamediffers =
            engine.local.namelength != m->namelength || !samename(ascentral, m->name);
    }
    converttext(mode, flags, engine.filename);
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
        if (n > 0 && (r == 0 || (engine.ui->cancel && *engine.ui->cancel))) trimlist();
        loadblock(bufferstart);
        engine.cursor.next = engine.inbuf + position;
        engine.cursor.unread = unread;
    }
    return finalresult(result, counters);
}
