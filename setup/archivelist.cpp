// Reading the archive's central directory into the setup dialog's file list.
//
// One buffer serves both reads that can be long: first the file's last kDialogEndWindow
// bytes, searched backwards for the end record (with room for a NUL behind a comment that
// ends the file), then, entry by entry, the extra field behind a central header's name. A
// name is read into a buffer of the engine's own size for stored names; the bytes of a
// longer name beyond it are skipped, as the engine skips them. Signatures are completed at
// run time (common/zipformat.h), so that the stub's image holds none.
#include "setup/archivelist.h"

#include "common/byteorder.h"
#include "common/zipformat.h"
#include "engine/crc32.h"
#include "engine/nametext.h"
#include "platform/files.h"

#include <stdlib.h>
#include <string.h>

namespace {

enum ListSizes {
    kCommentTerminator = 1,
    kListBuffer = kDialogEndWindow + kCommentTerminator, // the tail read, or an extra field
};
static_assert(static_cast<int>(kListBuffer) >= static_cast<int>(kExtraLimit),
              "the buffer holds the longest extra field");

// The end-record fields the list needs.
struct EndFields {
    unsigned entries;           // entries in total
    unsigned long long central; // central directory offset
    unsigned commentat;         // where the comment starts in the tail
    unsigned comment;           // comment bytes present in the tail
};

// Reads exactly n bytes at offset; nothing to read always succeeds.
bool readexactly(const ArchiveReader* reader, unsigned long long offset, void* buffer, unsigned n) {
    return n == 0 || reader->read(reader->context, offset, buffer, n) == static_cast<int>(n);
}

// The position of the last end-record signature in the tail; false when there is none.
bool findsignature(const unsigned char* tail, unsigned length, unsigned* at) {
    unsigned char signature[kSignatureLength];
    completesignature(signature, kEndTail);
    for (unsigned i = length >= kSignatureLength ? length - kSignatureLength + 1 : 0; i-- > 0;) {
        if (memcmp(tail + i, signature, kSignatureLength) == 0) {
            *at = i;
            return true;
        }
    }
    return false;
}

// The end record of the tail, which must be whole and of one disk; its comment is cut at
// the end of the tail.
bool readendrecord(const unsigned char* tail, unsigned length, EndFields* end) {
    unsigned at;
    if (!findsignature(tail, length, &at) || length - at < kEndRecordSize) return false;
    const unsigned char* r = tail + at;
    if (get16(r + kEndThisDisk) != get16(r + kEndCentralDisk)) return false;
    end->entries = get16(r + kEndEntriesTotal);
    end->central = get32(r + kEndCentralOffset);
    end->commentat = at + kEndRecordSize;
    unsigned present = length - end->commentat, stored = get16(r + kEndCommentLength);
    end->comment = stored < present ? stored : present;
    return true;
}

// Hands the comment on as text; the tail's buffer has room for the NUL behind it.
void handcomment(unsigned char* tail, const EndFields& end, const ListFill* fill) {
    if (!fill->wantcomment || !fill->comment || end.comment == 0) return;
    unsigned char* text = tail + end.commentat;
    text[end.comment] = 0;
    fill->comment(fill->context, reinterpret_cast<const char*>(text));
}

// Reads the central header at *offset, its name and extra field (into extra), hands its
// name on and moves *offset behind its comment.
bool readentry(const ArchiveReader* reader, unsigned long long* offset, ListFill* fill,
               unsigned char* extra) {
    unsigned char h[kCentralHeaderSize], signature[kSignatureLength];
    completesignature(signature, kCentralTail);
    if (!readexactly(reader, *offset, h, kCentralHeaderSize) ||
        memcmp(h, signature, kSignatureLength) != 0)
        return false;
    unsigned namelength = get16(h + kCentralNameLength);
    unsigned extralength = get16(h + kCentralExtraLength);
    unsigned kept = keptnamelength(namelength);
    char stored[kNameBuffer];
    unsigned long long at = *offset + kCentralHeaderSize;
    if (!readexactly(reader, at, stored, kept) ||
        !readexactly(reader, at + namelength, extra, extralength))
        return false;
    *offset = at + namelength + extralength + get16(h + kCentralCommentLength);
    fill->bytestotal += get32(h + kCentralUncompressedSize);
    StoredName name = {stored, kept,       kept < namelength, get16(h + kCentralFlags),
                       extra,  extralength};
    MemberOrigin origin = {
        h[kCentralVersionMadeBy], h[kCentralHostMadeBy], get32(h + kCentralExternal),
        get32(h + kCentralCompressedSize) == 0 && get32(h + kCentralUncompressedSize) == 0};
    char text[kNameText];
    membernametext(name, origin, kCentralName, text);
    fill->additem(fill->context, text);
    return true;
}

ListResult filllist(const ArchiveReader* reader, ListFill* fill, unsigned char* buffer) {
    unsigned length = reader->size < kDialogEndWindow ? static_cast<unsigned>(reader->size)
                                                      : static_cast<unsigned>(kDialogEndWindow);
    EndFields end;
    if (!readexactly(reader, reader->size - length, buffer, length) ||
        !readendrecord(buffer, length, &end))
        return kListFailed;
    handcomment(buffer, end, fill);
    unsigned long long offset = end.central;
    for (unsigned i = 0; i < end.entries; ++i)
        if (!readentry(reader, &offset, fill, buffer)) return kListFailed;
    return kListRead;
}

// The package file as an ArchiveReader: it seeks only where a read does not continue the
// one before.
struct FileSource {
    platform::File* file;
    unsigned long long position; // kUnknownPosition after a failure
};
const unsigned long long kUnknownPosition = ~0ull;

int readfromfile(void* context, unsigned long long offset, void* buffer, unsigned n) {
    FileSource* source = static_cast<FileSource*>(context);
    if (offset != source->position && platform::seekfile(source->file, offset) != 0) {
        source->position = kUnknownPosition;
        return -1;
    }
    int got = platform::readfile(source->file, buffer, n);
    source->position = got < 0 ? kUnknownPosition : offset + static_cast<unsigned>(got);
    return got;
}

} // namespace

ListResult readarchivelist(const ArchiveReader* reader, ListFill* fill) {
    fill->bytestotal = 0;
    unsigned char* buffer = static_cast<unsigned char*>(malloc(kListBuffer));
    if (!buffer) return kListNoMemory;
    ListResult result = buildcrctable() ? filllist(reader, fill, buffer) : kListNoMemory;
    releasecrctable();
    free(buffer);
    return result;
}

ListResult readarchivelistfile(const char* path, ListFill* fill) {
    fill->bytestotal = 0;
    FileSource source = {platform::openread(path), 0};
    if (!source.file) return kListFailed;
    ArchiveReader reader = {&source, 0, readfromfile};
    ListResult result = platform::filesize(source.file, &reader.size) == 0
                            ? readarchivelist(&reader, fill)
                            : kListFailed;
    platform::closefile(source.file);
    return result;
}
