// Fuzz entry for the setup dialog's file list (setup/archivelist.cpp): readarchivelist over
// the input as a file held in memory. The first byte chooses whether the comment is wanted;
// the rest is the file.
//
// Checks, against a reading of the same bytes written here with the standard library:
// - the result is one of the list's results, kListRead exactly when the reading finds an
//   end record of one disk in the file's last kDialogEndWindow bytes and every entry it
//   counts whole inside the file;
// - the names handed on are the engine's name text of exactly the entries read so far (the
//   bytes kept of each name, its flags, extra field and origin), each NUL-terminated inside
//   kNameText bytes;
// - the bytes total is the sum of their uncompressed sizes;
// - the comment is handed on once, before the first name, only when wanted and present, as
//   the comment's bytes up to the end of the file or a NUL.
#include "fuzz/entries.h"

#include "common/byteorder.h"
#include "common/zipformat.h"
#include "engine/crc32.h"
#include "engine/nametext.h"
#include "setup/archivelist.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

// What the list fill handed on.
struct Seen {
    std::vector<std::string> names;
    std::vector<std::string> comments;
    bool commentafteritem = false;
};

void seeitem(void* context, const char* name) {
    check(strnlen(name, kNameText) < kNameText);
    static_cast<Seen*>(context)->names.push_back(name);
}

void seecomment(void* context, const char* text) {
    Seen* seen = static_cast<Seen*>(context);
    check(strnlen(text, kCommentLimit + 1) <= kCommentLimit);
    seen->commentafteritem = seen->commentafteritem || !seen->names.empty();
    seen->comments.push_back(text);
}

struct MemoryFile {
    const unsigned char* data;
    size_t size;
};

int readmemory(void* context, unsigned long long offset, void* buffer, unsigned n) {
    const MemoryFile* file = static_cast<const MemoryFile*>(context);
    if (offset >= file->size) return 0;
    size_t got = std::min<size_t>(n, file->size - offset);
    memcpy(buffer, file->data + offset, got);
    return static_cast<int>(got);
}

// The expected outcome, read from the file as a string.
struct Expected {
    bool read = false;
    std::vector<std::string> names;
    std::vector<std::string> comments;
    unsigned long long total = 0;
};

struct Bytes {
    const std::string& s;
    unsigned u16(size_t at) const { return get16(data() + at); }
    unsigned u32(size_t at) const { return get32(data() + at); }
    unsigned uint8(size_t at) const { return static_cast<unsigned char>(s[at]); }
    const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(s.data()); }
    // Whether n bytes at `at` lie inside; no bytes always do, wherever they are.
    bool has(unsigned long long at, unsigned long long n) const {
        return n == 0 || (at <= s.size() && n <= s.size() - at);
    }
    std::string part(unsigned long long at, unsigned n) const {
        return n == 0 ? std::string() : s.substr(at, n);
    }
};

// The name text of the central header at `at` of file, whose name and extra field are there.
std::string nameof(const Bytes& file, size_t at) {
    unsigned namelength = file.u16(at + kCentralNameLength);
    unsigned kept = keptnamelength(namelength);
    std::string stored = file.part(at + kCentralHeaderSize, kept);
    std::string extra =
        file.part(at + kCentralHeaderSize + namelength, file.u16(at + kCentralExtraLength));
    StoredName name = {stored.data(),
                       kept,
                       kept < namelength,
                       file.u16(at + kCentralFlags),
                       reinterpret_cast<const unsigned char*>(extra.data()),
                       static_cast<unsigned>(extra.size())};
    MemberOrigin origin = {file.uint8(at + kCentralVersionMadeBy),
                           file.uint8(at + kCentralHostMadeBy), file.u32(at + kCentralExternal),
                           file.u32(at + kCentralCompressedSize) == 0 &&
                               file.u32(at + kCentralUncompressedSize) == 0};
    char text[kNameText];
    membernametext(name, origin, kCentralName, text);
    return text;
}

// The entries of the directory at offset, as far as they are whole; true when all are.
bool expectentries(const Bytes& file, unsigned long long offset, unsigned count, Expected* out) {
    const std::string signature = "PK\x01\x02";
    for (unsigned i = 0; i < count; ++i) {
        if (!file.has(offset, kCentralHeaderSize) ||
            file.s.compare(offset, signature.size(), signature) != 0)
            return false;
        unsigned namelength = file.u16(offset + kCentralNameLength);
        unsigned extralength = file.u16(offset + kCentralExtraLength);
        unsigned long long name = offset + kCentralHeaderSize;
        if (!file.has(name, keptnamelength(namelength)) ||
            !file.has(name + namelength, extralength))
            return false;
        out->total += file.u32(offset + kCentralUncompressedSize);
        out->names.push_back(nameof(file, offset));
        offset = name + namelength + extralength + file.u16(offset + kCentralCommentLength);
    }
    return true;
}

Expected expect(const std::string& s, bool wantcomment) {
    Bytes file = {s};
    Expected out;
    size_t window = std::min<size_t>(s.size(), kDialogEndWindow);
    size_t at = s.rfind(std::string("PK\x05\x06"));
    if (at == std::string::npos || at < s.size() - window || s.size() - at < kEndRecordSize ||
        file.u16(at + kEndThisDisk) != file.u16(at + kEndCentralDisk))
        return out;
    std::string comment = s.substr(at + kEndRecordSize, file.u16(at + kEndCommentLength));
    if (wantcomment && !comment.empty()) out.comments.push_back(comment.c_str());
    out.read = expectentries(file, file.u32(at + kEndCentralOffset),
                             file.u16(at + kEndEntriesTotal), &out);
    return out;
}

} // namespace

void fuzzentry::archivelist(const unsigned char* data, size_t size) {
    if (size < 1) return;
    bool wantcomment = data[0] & 1;
    MemoryFile file = {data + 1, size - 1};
    ArchiveReader reader = {&file, file.size, readmemory};
    Seen seen;
    ListFill fill = {&seen, wantcomment, seecomment, seeitem, ~0ull};
    ListResult result = readarchivelist(&reader, &fill);
    check(result == kListRead || result == kListFailed || result == kListNoMemory);
    if (result == kListNoMemory) return;

    check(buildcrctable());
    Expected expected =
        expect(std::string(reinterpret_cast<const char*>(file.data), file.size), wantcomment);
    releasecrctable();
    check((result == kListRead) == expected.read);
    check(seen.names == expected.names);
    check(fill.bytestotal == expected.total);
    check(seen.comments == expected.comments);
    check(!seen.commentafteritem);
}
