// The setup dialog's file list, portable part (setup/archivelist.cpp): names and their order,
// the bytes total, name text by every rule of the engine, the comment, the end-record search
// at both edges of its window, every way the reading fails, and agreement with the names the
// engine itself looks up in the list.
//
// Most archives are written here as a central directory and an end record only, which is
// all the list reads (and all the engine reads before it extracts anything); the rest come
// from the zip writer and from the engine's fixtures. Name text is UTF-8 on POSIX and code
// page 1252 under Wine, so expectations that depend on it say both.
#include "setup/archivelist.h"

#include "common/zipformat.h"
#include "engine/nametext.h"
#include "tests/support/enginetestkit.h"
#include "tests/support/rawzip.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipwriter.h"

#include <string.h>

#include <gtest/gtest.h>

using namespace enginetest;

namespace {

// One central entry as the tests write it.
struct Entry {
    std::string name;
    std::uint32_t size = 0; // uncompressed (and compressed) size
    unsigned flags = 0;
    unsigned version = 20; // version made by
    unsigned host = kHostFat;
    std::uint32_t external = kDosArchive;
    std::string extra;
    std::string comment;
};

Entry entry(const std::string& name, std::uint32_t size = 0) {
    Entry e;
    e.name = name;
    e.size = size;
    return e;
}

std::string centralheader(const Entry& e) {
    std::string h;
    put32(h, kCentralSignature);
    h += static_cast<char>(e.version);
    h += static_cast<char>(e.host);
    put16(h, 20); // version needed
    put16(h, e.flags);
    put16(h, kMethodStored);
    put32(h, 0); // DOS time
    put32(h, 0); // CRC-32
    put32(h, e.size);
    put32(h, e.size);
    put16(h, static_cast<unsigned>(e.name.size()));
    put16(h, static_cast<unsigned>(e.extra.size()));
    put16(h, static_cast<unsigned>(e.comment.size()));
    put16(h, 0); // disk start
    put16(h, 0); // internal attributes
    put32(h, e.external);
    put32(h, 0); // local header offset
    EXPECT_EQ(h.size(), static_cast<std::size_t>(kCentralHeaderSize));
    return h + e.name + e.extra + e.comment;
}

// A file of `front` filler bytes, the entries' central headers and the end record with the
// comment; the directory's offset counts from the start of the file.
std::string directory(const std::vector<Entry>& entries, const std::string& comment = "",
                      std::size_t front = 0) {
    std::string central;
    for (const Entry& e : entries) central += centralheader(e);
    return std::string(front, '\x90') + central +
           rawzip::endrecord(static_cast<unsigned>(entries.size()), central.size(),
                             static_cast<std::uint32_t>(front), comment);
}

std::size_t endat(const std::string& archive) {
    return archive.rfind(std::string("PK\x05\x06", 4));
}

// The archive as an ArchiveReader; reads at or past fail from `failfrom` on.
struct MemoryFile {
    const std::string* data;
    unsigned long long failfrom;
};

int readmemory(void* context, unsigned long long offset, void* buffer, unsigned n) {
    const MemoryFile* file = static_cast<const MemoryFile*>(context);
    if (offset >= file->failfrom) return -1;
    if (offset >= file->data->size()) return 0;
    std::size_t got = std::min<std::size_t>(n, file->data->size() - offset);
    memcpy(buffer, file->data->data() + offset, got);
    return static_cast<int>(got);
}

// What one list fill handed on.
struct Listed {
    ListResult result;
    std::vector<std::string> names;
    std::vector<std::string> comments;
    unsigned long long total;
};

void addname(void* context, const char* name) {
    std::size_t length = strnlen(name, kNameText);
    EXPECT_LT(length, static_cast<std::size_t>(kNameText)) << "a name fills its buffer";
    static_cast<Listed*>(context)->names.push_back(name);
}

void addcomment(void* context, const char* text) {
    static_cast<Listed*>(context)->comments.push_back(text);
}

ListFill fillfor(Listed* listed, bool wantcomment) {
    ListFill fill = {listed, wantcomment, addcomment, addname, ~0ull};
    return fill;
}

Listed listof(const std::string& archive, bool wantcomment = true,
              unsigned long long failfrom = ~0ull) {
    MemoryFile file = {&archive, failfrom};
    ArchiveReader reader = {&file, archive.size(), readmemory};
    Listed listed = {};
    ListFill fill = fillfor(&listed, wantcomment);
    listed.result = readarchivelist(&reader, &fill);
    listed.total = fill.bytestotal;
    return listed;
}

Listed listfile(const std::string& path) {
    Listed listed = {};
    ListFill fill = fillfor(&listed, true);
    listed.result = readarchivelistfile(path.c_str(), &fill);
    listed.total = fill.bytestotal;
    return listed;
}

// The names the engine looks up in the file list for the archive at path: a run that
// chooses from a list in which nothing is selected reads every central entry and extracts
// nothing.
std::vector<std::string> enginelookups(const std::string& path) {
    TempDir destination;
    RunOptions options;
    options.extractall = false;
    return runengine(path, destination.str(), options).lookups;
}

std::vector<std::string> enginelookupsof(const std::string& archive) {
    TempDir folder;
    return enginelookups(savearchive(folder, archive));
}

// The list of the archive, which must be read and name its entries as the engine does.
Listed listagreeing(const std::string& archive) {
    Listed listed = listof(archive);
    EXPECT_EQ(listed.result, kListRead);
    EXPECT_EQ(listed.names, enginelookupsof(archive));
    return listed;
}

ZipMember member(const std::string& name, const std::string& data = "") {
    ZipMember m;
    m.name = name;
    m.data = data;
    m.mtime = 1600000000;
    if (!name.empty() && name.back() == '/') m.dosattributes = kDosDirectory;
    return m;
}

TEST(ArchiveList, NamesInOrderWithFoldersAsStored) {
    std::string archive =
        writezip({member("readme.txt", std::string(100, 'r')), member("docs/"),
                  member("docs/guide.txt", std::string(2000, 'g')), member("empty.txt")});
    Listed listed = listagreeing(archive);
    EXPECT_EQ(listed.names,
              (std::vector<std::string>{"readme.txt", "docs/", "docs/guide.txt", "empty.txt"}));
    EXPECT_EQ(listed.total, 2100u);
    EXPECT_TRUE(listed.comments.empty());
}

// The builder counts offsets from the start of the package, in front of which lie the stub
// and the blocks; the list takes them as file positions.
TEST(ArchiveList, OffsetsCountFromTheStartOfThePackage) {
    const std::size_t kInFront = 70000;
    std::string package = std::string(kInFront, '\x90') +
                          writezip({member("a.txt", "aaa"), member("b.txt", "bb")}, kInFront);
    Listed listed = listagreeing(package);
    EXPECT_EQ(listed.names, (std::vector<std::string>{"a.txt", "b.txt"}));
    EXPECT_EQ(listed.total, 5u);
    // Offsets from the archive's own start are not corrected: the directory is not there.
    std::string appended = std::string(kInFront, '\x90') + writezip({member("a.txt", "aaa")});
    EXPECT_EQ(listof(appended).result, kListFailed);
}

// Each entry's extra field and comment lie between its name and the next header.
TEST(ArchiveList, ExtraFieldsAndEntryCommentsAreSteppedOver) {
    Entry first = entry("first.txt", 1), second = entry("second.txt", 2);
    first.extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    first.comment = "the first entry's comment";
    second.comment = std::string(kFieldLengthLimit, 'c');
    Listed listed = listagreeing(directory({first, second, entry("third.txt", 3)}, "archive"));
    EXPECT_EQ(listed.names, (std::vector<std::string>{"first.txt", "second.txt", "third.txt"}));
    EXPECT_EQ(listed.comments, (std::vector<std::string>{"archive"}));
    EXPECT_EQ(listed.total, 6u);
}

TEST(ArchiveList, BytesTotalCountsInSixtyFourBits) {
    Listed large = listof(
        directory({entry("a.bin", 0xFFFFFFFF), entry("b.bin", 0xFFFFFFFF), entry("c.bin", 2)}));
    EXPECT_EQ(large.result, kListRead);
    EXPECT_EQ(large.total, 0x200000000ull);
    Listed empty = listof(directory({entry("a.txt"), entry("b/")}));
    EXPECT_EQ(empty.result, kListRead);
    EXPECT_EQ(empty.names.size(), 2u);
    EXPECT_EQ(empty.total, 0u);
}

TEST(ArchiveList, EmptyDirectoryIsReadWithoutItems) {
    for (const std::string& archive : {writezip({}), directory({}, "only a comment")}) {
        Listed listed = listof(archive);
        EXPECT_EQ(listed.result, kListRead);
        EXPECT_TRUE(listed.names.empty());
        EXPECT_EQ(listed.total, 0u);
    }
}

TEST(ArchiveList, FileOnDiskAndMissingFile) {
    TempDir folder;
    std::string archive = writezip({member("one.txt", "1"), member("two.txt", "22")}, 0, "note");
    writefile(folder.path() / "package.exe", archive);
    Listed listed = listfile((folder.path() / "package.exe").string());
    EXPECT_EQ(listed.result, kListRead);
    EXPECT_EQ(listed.names, (std::vector<std::string>{"one.txt", "two.txt"}));
    EXPECT_EQ(listed.comments, (std::vector<std::string>{"note"}));
    EXPECT_EQ(listed.total, 3u);
    Listed missing = listfile((folder.path() / "missing.exe").string());
    EXPECT_EQ(missing.result, kListFailed);
    EXPECT_TRUE(missing.names.empty());
    EXPECT_EQ(missing.total, 0u);
}

// The same stored bytes under each rule: OEM text (code page 437: 0xFC is a superscript n)
// or ANSI text (code page 1252: u with diaeresis), by host, version and host attributes.
TEST(ArchiveListNames, HostRulesChooseOemOrAnsi) {
    const std::string stored = "\xFC"
                               "ber.txt";
    const std::string oem = "\xE2\x81\xBF"
                            "ber.txt";
    const std::string ansi = "\xC3\xBC"
                             "ber.txt";
    const std::uint32_t kUnixMode = 0x81A40000;
    const struct {
        unsigned version, host;
        std::uint32_t external;
        bool fromoem;
    } cases[] = {
        {20, kHostFat, kDosArchive, true},   {20, kHostFat, kUnixMode | kDosArchive, true},
        {25, kHostFat, kDosArchive, true},   {25, kHostFat, kUnixMode | kDosArchive, false},
        {26, kHostFat, kUnixMode, false},    {40, kHostFat, kUnixMode, false},
        {20, kHostHpfs, kDosArchive, true},  {50, kHostNtfs, kDosArchive, true},
        {20, kHostNtfs, kDosArchive, false}, {20, kHostUnix, kUnixMode, false},
        {20, kHostOther, 0, false},          {20, 200, 0, false},
    };
    std::vector<Entry> entries;
    std::vector<std::string> expected;
    for (const auto& c : cases) {
        Entry e = entry(stored);
        e.version = c.version;
        e.host = c.host;
        e.external = c.external;
        entries.push_back(e);
        expected.push_back(c.fromoem ? oem : ansi);
    }
    EXPECT_EQ(listagreeing(directory(entries)).names, expected);
}

TEST(ArchiveListNames, Utf8FlagAndUnicodePathField) {
    const std::string utf8 = "caf\xC3\xA9.txt", latin = "caf\xE9.txt";
    const std::string& shown = utf8;
    Entry flagged = entry(utf8);
    flagged.flags = kFlagUtf8;
    // Without the flag the same bytes are OEM text: box drawing and a reversed not sign.
    Entry unflagged = entry(utf8);
    Entry withpath = entry(latin);
    withpath.extra = rawzip::unicodepathfield(utf8, latin);
    Entry wrongcrc = entry(latin);
    wrongcrc.extra = rawzip::unicodepathfield(utf8, "something else");
    // A field behind another field is found; one whose size runs past the extra data is not.
    Entry second = entry(latin);
    second.extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9) +
                   rawzip::unicodepathfield(utf8, latin);
    Entry overrun = entry(latin);
    overrun.extra = rawzip::unicodepathfield(utf8, latin);
    set16(overrun.extra, 2, static_cast<unsigned>(overrun.extra.size()));
    Listed listed =
        listagreeing(directory({flagged, unflagged, withpath, wrongcrc, second, overrun}));
    // Where the field is not used, 0xE9 is OEM text: a capital theta.
    const std::string oemlatin = "caf\xCE\x98.txt";
    EXPECT_EQ(listed.names, (std::vector<std::string>{shown, "caf\xE2\x94\x9C\xE2\x8C\x90.txt",
                                                      shown, oemlatin, shown, oemlatin}));
}

// A volume label of a DOS-like host loses the dot behind its eighth character.
TEST(ArchiveListNames, VolumeLabelDot) {
    Entry label = entry("DISKLABE.L01");
    label.external = kDosVolumeLabel;
    Entry shortlabel = entry("LABEL.TXT");
    shortlabel.external = kDosVolumeLabel;
    Entry unixlabel = entry("DISKLABE.L01");
    unixlabel.host = kHostUnix;
    unixlabel.external = kDosVolumeLabel;
    Entry file = entry("DISKLABE.L01");
    EXPECT_EQ(
        listagreeing(directory({label, shortlabel, unixlabel, file})).names,
        (std::vector<std::string>{"DISKLABEL01", "LABEL.TXT", "DISKLABE.L01", "DISKLABE.L01"}));
}

// A folder marked only by its DOS attribute is listed with the "/" the engine gives it: the
// rule wants a DOS-like host, the folder attribute and no data. A name that ends in a
// separator already keeps it as it is, and the longest name still gets its mark.
TEST(ArchiveListNames, FoldersMarkedByTheirAttributeGetASlash) {
    std::vector<Entry> entries;
    std::vector<std::string> expected;
    const unsigned kDosLike[] = {kHostFat, kHostAtari, kHostHpfs, kHostNtfs, kHostVfat};
    for (unsigned host : kDosLike) {
        Entry folder = entry("FOLDER" + std::to_string(host));
        folder.host = host;
        folder.external = kDosDirectory;
        entries.push_back(folder);
        expected.push_back(folder.name + "/");
    }
    Entry slashed = entry("SLASHED/"), backslashed = entry("BACK\\"), withdata = entry("DATA", 5),
          unixhost = entry("UNIX"), longest = entry(std::string(kNameBuffer - 1, 'L'));
    unixhost.host = kHostUnix;
    for (Entry* e : {&slashed, &backslashed, &withdata, &unixhost, &longest}) {
        e->external = kDosDirectory;
        entries.push_back(*e);
    }
    entries.push_back(entry("PLAIN"));
    expected.insert(expected.end(),
                    {"SLASHED/", "BACK\\", "DATA", "UNIX", longest.name + "/", "PLAIN"});
    EXPECT_EQ(listagreeing(directory(entries)).names, expected);
}

// The engine keeps kNameBuffer - 1 bytes of a stored name and skips the rest; a Unicode path
// field of a cut name is not used, not even one whose CRC is that of the bytes kept.
TEST(ArchiveListNames, LongNamesAreCutWhereTheEngineCutsThem) {
    const std::size_t kKept = kNameBuffer - 1;
    std::string whole = std::string(kKept - 1, 'a') + "Z";
    std::string onemore = std::string(kKept, 'b') + "Z";
    std::string longest = std::string(kFieldLengthLimit, 'c');
    Entry withpath = entry(onemore);
    withpath.extra = rawzip::unicodepathfield("short.txt", onemore.substr(0, kKept));
    Listed listed = listagreeing(directory(
        {entry(whole, 1), entry(onemore, 2), entry(longest, 3), withpath, entry("after.txt", 4)}));
    EXPECT_EQ(listed.names,
              (std::vector<std::string>{whole, std::string(kKept, 'b'), std::string(kKept, 'c'),
                                        std::string(kKept, 'b'), "after.txt"}));
    EXPECT_EQ(listed.total, 10u);
}

TEST(ArchiveListNames, NulEndsAStoredName) {
    Entry e = entry(std::string("ab\0cd.txt", 9));
    EXPECT_EQ(listagreeing(directory({e, entry("next.txt")})).names,
              (std::vector<std::string>{"ab", "next.txt"}));
}

TEST(ArchiveListComment, HandedOnOnlyWhenWanted) {
    std::string archive = directory({entry("a.txt")}, "Read me first");
    EXPECT_EQ(listof(archive).comments, (std::vector<std::string>{"Read me first"}));
    Listed unwanted = listof(archive, false);
    EXPECT_EQ(unwanted.result, kListRead);
    EXPECT_TRUE(unwanted.comments.empty());
    EXPECT_EQ(unwanted.names, (std::vector<std::string>{"a.txt"}));
    // A NUL in the comment ends the text.
    EXPECT_EQ(listof(directory({}, std::string("one\0two", 7))).comments,
              (std::vector<std::string>{"one"}));
}

// A comment that runs past the end of the file is cut there; the entries are still listed.
TEST(ArchiveListComment, CutAtTheEndOfTheFile) {
    std::string archive = directory({entry("a.txt", 7)}, std::string(100, 'c'));
    std::string cut = archive.substr(0, archive.size() - 1);
    Listed listed = listof(cut);
    EXPECT_EQ(listed.result, kListRead);
    EXPECT_EQ(listed.comments, (std::vector<std::string>{std::string(99, 'c')}));
    EXPECT_EQ(listed.names, (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(listed.total, 7u);
    // Nothing of the comment is left: nothing is handed on.
    std::string none = archive.substr(0, endat(archive) + kEndRecordSize);
    Listed bare = listof(none);
    EXPECT_EQ(bare.result, kListRead);
    EXPECT_TRUE(bare.comments.empty());
    EXPECT_EQ(bare.names, (std::vector<std::string>{"a.txt"}));
}

// The record with the longest comment starts at the first byte the list reads; one byte
// more behind it puts the record out of the window.
TEST(ArchiveListSearch, RecordAtTheFirstByteOfTheWindow) {
    std::string comment(kCommentLimit, 'c');
    std::string archive = directory({entry("first.txt", 1)}, comment, 1000);
    ASSERT_EQ(archive.size() - endat(archive), static_cast<std::size_t>(kDialogEndWindow));
    Listed listed = listagreeing(archive);
    EXPECT_EQ(listed.names, (std::vector<std::string>{"first.txt"}));
    ASSERT_EQ(listed.comments.size(), 1u);
    EXPECT_EQ(listed.comments[0], comment);
    EXPECT_EQ(listof(archive + "x").result, kListFailed);
    // A file no longer than the window is read whole: an empty archive is its own record.
    std::string empty = directory({});
    ASSERT_EQ(empty.size(), static_cast<std::size_t>(kEndRecordSize));
    EXPECT_EQ(listof(empty).result, kListRead);
}

// The search starts at the last four bytes; the last signature found counts, and a record
// cut short by the end of the file is none.
TEST(ArchiveListSearch, RecordAtTheEndOfTheFile) {
    std::string archive = directory({entry("a.txt")});
    const std::string signature("PK\x05\x06", 4);
    EXPECT_EQ(listof(archive + signature).result, kListFailed);
    std::string cutrecord = signature + std::string(kEndRecordSize - kSignatureLength - 1, '\0');
    EXPECT_EQ(listof(archive + cutrecord).result, kListFailed);
    Listed later = listof(archive + signature + std::string(kEndRecordSize - kSignatureLength, 0));
    EXPECT_EQ(later.result, kListRead);
    EXPECT_TRUE(later.names.empty());
    // A signature inside the last record's comment is found first.
    EXPECT_EQ(listof(directory({entry("a.txt")}, "x" + signature + "x")).result, kListFailed);
}

TEST(ArchiveListFailures, NoEndRecord) {
    for (const std::string& file : {std::string(), std::string("PK\x05", 3), std::string(5000, 'x'),
                                    std::string(100000, 0)}) {
        Listed listed = listof(file);
        EXPECT_EQ(listed.result, kListFailed) << file.size();
        EXPECT_TRUE(listed.names.empty());
        EXPECT_EQ(listed.total, 0u);
    }
}

TEST(ArchiveListFailures, SpannedArchivesAreRefused) {
    std::string archive = directory({entry("a.txt")});
    std::size_t end = endat(archive);
    std::string spanned = archive;
    set16(spanned, end + kEndThisDisk, 1);
    EXPECT_EQ(listof(spanned).result, kListFailed);
    set16(spanned, end + kEndCentralDisk, 1);
    EXPECT_EQ(listof(spanned).result, kListRead) << "both on disk 1: one disk";
    // The entries on this disk do not count; the entries in total do.
    std::string counts = directory({entry("a.txt"), entry("b.txt")});
    set16(counts, endat(counts) + kEndEntriesOnDisk, 1);
    EXPECT_EQ(listof(counts).names, (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(ArchiveListFailures, BadCentralSignature) {
    std::string archive = directory({entry("a.txt"), entry("b.txt")});
    std::string first = archive, second = archive;
    first[3] = 3;
    second[kCentralHeaderSize + 5 + 3] = 3; // behind "a.txt"
    EXPECT_EQ(listof(first).result, kListFailed);
    Listed listed = listof(second);
    EXPECT_EQ(listed.result, kListFailed);
    EXPECT_EQ(listed.names, (std::vector<std::string>{"a.txt"}));
}

TEST(ArchiveListFailures, TruncatedEntries) {
    std::string archive = directory({entry("a.txt"), entry("b.txt")});
    std::size_t end = endat(archive);
    // More entries counted than there are: the third header would be the end record.
    std::string more = archive;
    set16(more, end + kEndEntriesTotal, 3);
    EXPECT_EQ(listof(more).result, kListFailed);
    // A header, a name or an extra field running past the end of the file.
    std::string header = directory({entry("a.txt")}, "", 0).substr(0, kCentralHeaderSize - 1);
    EXPECT_EQ(listof(header + archive.substr(end)).result, kListFailed);
    std::string name = archive;
    set16(name, kCentralHeaderSize + 5 + kCentralNameLength, kFieldLengthLimit);
    EXPECT_EQ(listof(name).result, kListFailed);
    std::string extra = archive;
    set16(extra, kCentralExtraLength, kFieldLengthLimit);
    EXPECT_EQ(listof(extra).result, kListFailed);
    // The extra field lies behind the whole name, also behind one that is cut.
    Entry cut = entry(std::string(kNameBuffer + 40, 'n'));
    std::string cutname = directory({cut});
    set16(cutname, kCentralExtraLength, kEndRecordSize + 1);
    EXPECT_EQ(listof(cutname).result, kListFailed);
    set16(cutname, kCentralExtraLength, kEndRecordSize);
    EXPECT_EQ(listof(cutname).result, kListRead);
}

TEST(ArchiveListFailures, CentralOffsetPastTheEnd) {
    std::string archive = directory({entry("a.txt")});
    std::size_t end = endat(archive);
    for (std::uint32_t offset : {static_cast<std::uint32_t>(archive.size()),
                                 static_cast<std::uint32_t>(archive.size() + 100), 0xFFFFFFFFu}) {
        std::string moved = archive;
        set32(moved, end + kEndCentralOffset, offset);
        EXPECT_EQ(listof(moved).result, kListFailed) << offset;
    }
}

TEST(ArchiveListFailures, ReadErrors) {
    std::string archive = directory({entry("a.txt"), entry("b.txt")});
    EXPECT_EQ(listof(archive, true, 0).result, kListFailed) << "the tail cannot be read";
    Listed second = listof(archive, true, kCentralHeaderSize + 5);
    EXPECT_EQ(second.result, kListFailed);
    EXPECT_EQ(second.names, (std::vector<std::string>{"a.txt"}));
}

// For archives of every kind the engine's tests use, the list names the entries exactly as
// the engine looks them up, and choosing all of them from the list extracts what a run of
// every member extracts.
TEST(ArchiveListAgreement, FixturesNameTheirEntriesAsTheEngineDoes) {
    for (const char* name : {"stored.zip",
                             "many.zip",
                             "name259.zip",
                             "name260.zip",
                             "oem259.zip",
                             "longname.zip",
                             "python_utf8.zip",
                             "sevenzip_utf8.zip",
                             "bsdtar_utf8.zip",
                             "infozip_unicode.zip",
                             "unix_unmarked.zip",
                             "utf8bad.zip",
                             "utf8localflag.zip",
                             "shiftjis.zip",
                             "devices.zip",
                             "devices1252.zip",
                             "chars.zip",
                             "controlnames.zip",
                             "traversal.zip",
                             "package_adjusted.zip",
                             "sevenzip_deflate.zip",
                             "unix_modes.zip",
                             "commentcut.zip",
                             "longcomment.zip",
                             "volume83.zip"}) {
        SCOPED_TRACE(name);
        Listed listed = listfile(fixture(name));
        EXPECT_EQ(listed.result, kListRead);
        EXPECT_FALSE(listed.names.empty());
        EXPECT_EQ(listed.names, enginelookups(fixture(name)));
    }
}

// Chosen from the list, a folder marked by its attribute becomes the folder its members go
// into.
TEST(ArchiveListAgreement, ChoosingAnAttributeFolderMakesItAFolder) {
    TempDir source, destination;
    std::string path = savearchive(source, rawzip::archive({rawzip::attributefolder("DOCS"),
                                                            rawzip::file("DOCS/A.TXT", "a")}));
    Listed listed = listfile(path);
    ASSERT_EQ(listed.names, (std::vector<std::string>{"DOCS/", "DOCS/A.TXT"}));
    RunOptions chosen;
    chosen.extractall = false;
    chosen.items = listed.names;
    chosen.selected = {0, 1};
    RunRecord run = runengine(path, destination.str(), chosen);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_TRUE(run.failures.empty());
    EXPECT_EQ(readtree(destination.path()),
              (std::map<std::string, std::string>{{"DOCS", "<dir>"}, {"DOCS/A.TXT", "a"}}));
}

TEST(ArchiveListAgreement, ChoosingEveryListedNameExtractsEveryMember) {
    for (const char* name :
         {"stored.zip", "oem259.zip", "name260.zip", "python_utf8.zip", "infozip_unicode.zip"}) {
        SCOPED_TRACE(name);
        Listed listed = listfile(fixture(name));
        ASSERT_EQ(listed.result, kListRead);
        RunOptions chosen;
        chosen.extractall = false;
        chosen.items = listed.names;
        for (std::size_t i = 0; i < listed.names.size(); ++i)
            chosen.selected.insert(static_cast<int>(i));
        TempDir all, fromlist;
        RunRecord every = runengine(fixture(name), all.str());
        RunRecord selected = runengine(fixture(name), fromlist.str(), chosen);
        EXPECT_EQ(selected.result, every.result);
        EXPECT_EQ(readtree(fromlist.path()), readtree(all.path()));
        EXPECT_FALSE(readtree(all.path()).empty());
    }
}

} // namespace
