// Writing a ZIP archive member by member, with the records and limits of zipformat.h.
//
// A member's local header is written before its data and no data descriptors are written, so
// the sizes and CRC must be in the header: a member held in memory has them first; a
// streamed member's header is written with zeros and filled in when its data has passed,
// by going back in the output. Everything the writer refuses about a member (name, size,
// count) is refused before a byte of it is written; only the 2 GiB limit of the package can
// stop a streamed member midway, and the build then discards the whole output. A name with a
// byte outside ASCII must be valid UTF-8 and gets general purpose bit 11, so that the stub
// converts it to the ANSI code page of the system it runs on; ASCII names go without the bit.
#include "tools/zip/zipwriter.h"

#include "platform/utf8.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipcrypto.h"
#include "tools/zip/ziplimits.h"

#include <algorithm>
#include <ctime>
#include <sstream>

namespace {

// The extended time stamp extra field; central copies carry only the modification time. A
// time that does not fit in 32 unsigned bits leaves the field out (the DOS time stays).
std::string extendedtime(const ZipMember& member, bool central) {
    auto fits = [](std::int64_t t) { return t >= 0 && t <= 0xFFFFFFFFLL; };
    if (!fits(member.mtime)) return {};
    bool withatime = member.atime && fits(*member.atime);
    unsigned flags = kExtendedTimeHasMtime | (withatime ? unsigned(kExtendedTimeHasAtime) : 0u);
    std::string field;
    put16(field, kExtraExtendedTime);
    put16(field, central || !withatime ? 5 : 9);
    field.push_back(static_cast<char>(flags));
    put32(field, static_cast<std::uint32_t>(member.mtime));
    if (withatime && !central) put32(field, static_cast<std::uint32_t>(*member.atime));
    return field;
}

// The version needed to extract a member of method: 1.0 stored, 2.0 Deflate or encryption,
// 6.3 LZMA.
unsigned versionneeded(unsigned method, bool encrypted) {
    if (method == kMethodLzma) return kVersionLzma;
    return method == kMethodStored && !encrypted ? kVersionStored : kVersionDeflate;
}

// The fields that the local and central headers share, from "version needed" to the extra
// field's length. An LZMA stream carries no end marker, so its flag bit 1 stays clear.
std::string commonfields(unsigned method, bool encrypted, bool utf8, std::uint32_t dostime,
                         std::uint32_t crc, std::size_t packed, std::size_t size,
                         std::size_t namelength, std::size_t extralength) {
    std::string fields;
    put16(fields, versionneeded(method, encrypted));
    put16(fields, (encrypted ? unsigned(kFlagEncrypted) : 0u) | (utf8 ? unsigned(kFlagUtf8) : 0u));
    put16(fields, method);
    put32(fields, dostime);
    put32(fields, crc);
    put32(fields, static_cast<std::uint32_t>(packed));
    put32(fields, static_cast<std::uint32_t>(size));
    put16(fields, static_cast<unsigned>(namelength));
    put16(fields, static_cast<unsigned>(extralength));
    return fields;
}

// The calendar fields of t in UTC or local time; false when t has none.
bool calendar(std::time_t t, bool utc, std::tm& fields) {
#ifdef _WIN32
    return (utc ? gmtime_s(&fields, &t) : localtime_s(&fields, &t)) == 0;
#else
    return (utc ? gmtime_r(&t, &fields) : localtime_r(&t, &fields)) != nullptr;
#endif
}

bool asciionly(const std::string& name) {
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

bool isutf8(const std::string& name) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(name.data());
    for (std::size_t at = 0; at < name.size();) {
        unsigned cp = 0;
        unsigned n = platform::decodeutf8(p + at, static_cast<unsigned>(name.size() - at), &cp);
        if (n == 0) return false;
        at += n;
    }
    return true;
}

void checkmember(const ZipMember& member, std::uint64_t size) {
    if (member.name.empty()) throw BuildError("a member has an empty name");
    if (member.name.size() >= kNameLimit)
        throw BuildError("the name " + member.name + " has " + std::to_string(member.name.size()) +
                         " bytes; the stub takes at most " + std::to_string(kNameLimit - 1));
    if (!isutf8(member.name)) throw BuildError("the name " + member.name + " is not valid UTF-8");
    if (size >= 0xFFFFFFFFULL)
        throw BuildError(member.name + " is 4 GiB or larger, which needs ZIP64");
}

} // namespace

std::uint32_t dosdatetime(std::int64_t unixtime, bool utc) {
    std::time_t t = static_cast<std::time_t>(unixtime);
    std::tm fields{};
    const std::tm* local = calendar(t, utc, fields) ? &fields : nullptr;
    if (!local || local->tm_year < 80) return (0u << 25) | (1u << 21) | (1u << 16);
    if (local->tm_year > 207)
        return (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
    return static_cast<std::uint32_t>(local->tm_year - 80) << 25 |
           static_cast<std::uint32_t>(local->tm_mon + 1) << 21 |
           static_cast<std::uint32_t>(local->tm_mday) << 16 |
           static_cast<std::uint32_t>(local->tm_hour) << 11 |
           static_cast<std::uint32_t>(local->tm_min) << 5 |
           static_cast<std::uint32_t>(local->tm_sec / 2);
}

ZipWriter::ZipWriter(std::ostream& out, std::uint64_t base, ZipCompressor compress)
    : out_(out), position_(base), base_(base), origin_(out.tellp()) {
    settings_.compress = std::move(compress);
}

ZipWriter::ZipWriter(std::ostream& out, std::uint64_t base, ZipWriterSettings settings)
    : out_(out), position_(base), base_(base), origin_(out.tellp()),
      settings_(std::move(settings)) {
    if (!settings_.password.empty() && !settings_.headersource)
        throw BuildError("encryption needs a source for its headers");
}

void ZipWriter::write(const std::string& bytes) {
    if (position_ + bytes.size() > kPackageSizeLimit)
        throw BuildError("the package would pass 2 GiB, which the stub cannot address");
    out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out_) throw BuildError("cannot write the archive (disk full?)");
    position_ += bytes.size();
}

ZipMember ZipWriter::clamped(const ZipMember& given) const {
    if (count_ == kEntryLimit)
        throw BuildError("more than " + std::to_string(kEntryLimit) +
                         " members need ZIP64, which the stub cannot read");
    if (streamed_) throw BuildError("a member is added while another is being written");
    ZipMember member = given;
    if (settings_.latesttime) {
        member.mtime = std::min(member.mtime, *settings_.latesttime);
        if (member.atime) member.atime = std::min(*member.atime, *settings_.latesttime);
    }
    return member;
}

void ZipWriter::add(const ZipMember& given) {
    std::string packed;
    bool compressed =
        !given.data.empty() && settings_.compress && settings_.compress(given.data, packed);
    addcompressed(given, compressed ? &packed : nullptr, settings_.method);
}

void ZipWriter::addcompressed(const ZipMember& given, const std::string* packed,
                              unsigned packedmethod) {
    checkmember(given, given.data.size());
    ZipMember member = clamped(given);
    unsigned method = packed && !member.data.empty() && packed->size() < member.data.size()
                          ? packedmethod
                          : kMethodStored;
    std::string encrypted;
    std::uint32_t crc = membercrc(member.data);
    // Folders carry no data, so there is nothing to encrypt (and no header to check).
    bool encrypt = !settings_.password.empty() && member.name.back() != '/';
    if (encrypt) {
        unsigned char source[kCryptHeaderRandom];
        settings_.headersource(source, sizeof source, member.name, member.data);
        encrypted = encryptmember(method == kMethodStored ? member.data : *packed,
                                  settings_.password, source, crc);
    }
    const std::string& stored = encrypt                   ? encrypted
                                : method == kMethodStored ? member.data
                                                          : *packed;
    writeheaders(member, method, encrypt, crc, stored.size(), member.data.size());
    write(stored);
}

std::string ZipWriter::localheader(const ZipMember& member, unsigned method, bool encrypt,
                                   std::uint32_t crc, std::uint64_t stored,
                                   std::uint64_t size) const {
    std::string local;
    put32(local, kLocalSignature);
    local += commonfields(method, encrypt, !asciionly(member.name),
                          dosdatetime(member.mtime, settings_.utcdostimes), crc, stored, size,
                          member.name.size(), extendedtime(member, false).size());
    static_assert(kLocalHeaderSize == 4 + 26, "signature and the common fields");
    return local + member.name + extendedtime(member, false);
}

// The local header at the current position and the member's central header.
void ZipWriter::writeheaders(const ZipMember& member, unsigned method, bool encrypt,
                             std::uint32_t crc, std::uint64_t stored, std::uint64_t size) {
    std::uint32_t offset = static_cast<std::uint32_t>(position_);
    write(localheader(member, method, encrypt, crc, stored, size));
    std::string centralextra = extendedtime(member, true);
    put32(central_, kCentralSignature);
    put16(central_, kVersionMadeBy);
    central_ += commonfields(method, encrypt, !asciionly(member.name),
                             dosdatetime(member.mtime, settings_.utcdostimes), crc, stored, size,
                             member.name.size(), centralextra.size());
    put16(central_, 0); // comment length
    put16(central_, 0); // disk number
    put16(central_, 0); // internal attributes
    put32(central_, member.dosattributes & 0xFF);
    put32(central_, offset);
    central_ += member.name + centralextra;
    ++count_;
}

// Moves the stream to a package offset that has been written already.
void ZipWriter::seek(std::uint64_t offset) {
    if (origin_ < 0) throw BuildError("the archive's stream cannot go back to a member's header");
    out_.seekp(origin_ + static_cast<std::streamoff>(offset - base_));
    if (!out_) throw BuildError("cannot write the archive (disk full?)");
    position_ = offset;
}

void ZipWriter::beginstreamed(const ZipMember& head, std::uint64_t size, unsigned method) {
    checkmember(head, size);
    if (!settings_.password.empty())
        throw BuildError("an encrypted member cannot be written piece by piece");
    Streamed member;
    member.head = clamped(head);
    member.size = size;
    member.method = method;
    member.headeroffset = position_;
    write(localheader(member.head, method, false, 0, 0, size));
    streamed_ = std::move(member);
}

void ZipWriter::appendstreamed(const std::string& stored) {
    if (!streamed_) throw BuildError("member data without a member");
    write(stored);
    streamed_->stored += stored.size();
}

// The central header is made only now, when CRC and sizes are known; the local one is
// written again in place, with the same length.
void ZipWriter::endstreamed(std::uint32_t crc) {
    if (!streamed_) throw BuildError("the end of a member that was not begun");
    Streamed member = std::move(*streamed_);
    streamed_.reset();
    std::uint64_t end = position_;
    position_ = member.headeroffset;
    seek(member.headeroffset);
    writeheaders(member.head, member.method, false, crc, member.stored, member.size);
    seek(end);
}

void ZipWriter::finish(const std::string& comment) {
    if (comment.size() > kCommentLimit)
        throw BuildError("the archive comment is longer than " + std::to_string(kCommentLimit) +
                         " bytes");
    if (comment.find(kEndSignatureBytes) != std::string::npos)
        throw BuildError("the archive comment contains an end-record signature (PK 5 6), which "
                         "would hide the real end record from the stub");
    std::uint32_t start = static_cast<std::uint32_t>(position_);
    write(central_);
    std::string end;
    put32(end, kEndSignature);
    put16(end, 0); // this disk
    put16(end, 0); // disk of the central directory
    put16(end, count_);
    put16(end, count_);
    put32(end, static_cast<std::uint32_t>(central_.size()));
    put32(end, start);
    put16(end, static_cast<unsigned>(comment.size()));
    static_assert(kEndRecordSize == 22, "the end record's fixed part");
    write(end + comment);
}

std::string writezip(const std::vector<ZipMember>& members, std::uint64_t base,
                     const std::string& comment, ZipCompressor compress) {
    ZipWriterSettings settings;
    settings.compress = std::move(compress);
    return writezip(members, base, comment, std::move(settings));
}

std::string writezip(const std::vector<ZipMember>& members, std::uint64_t base,
                     const std::string& comment, ZipWriterSettings settings) {
    std::ostringstream out(std::ios::binary);
    ZipWriter writer(out, base, std::move(settings));
    for (const ZipMember& member : members) writer.add(member);
    writer.finish(comment);
    return out.str();
}
