// Tests of the threaded packing pipeline and of Deflate pieces: pieces laid end to end decode
// as one stream, files at and one byte over the piece size round-trip, the bytes do not
// depend on the thread count, the input held stays within piecelimit while small files are
// read ahead up to the job bound, and files that change while they are packed are refused.
#include "tests/support/testfiles.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/packer/deflatecompressor.h"
#include "tools/packer/folderscan.h"
#include "tools/packer/memberpipeline.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <zlib.h>

namespace {

using toolstest::TempFolder;

// Data that compresses somewhat: numbered text lines with runs of random bytes between them.
std::string mixeddata(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data;
    while (data.size() < size) {
        data += "line " + std::to_string(random() % 1000) + " of the test data\n";
        for (unsigned n = random() % 24; n > 0; --n) data.push_back(static_cast<char>(random()));
    }
    data.resize(size);
    return data;
}

std::string randomdata(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string data(size, '\0');
    for (char& c : data) c = static_cast<char>(random());
    return data;
}

// Decodes a raw Deflate stream; ended is set when the stream's final block was reached.
std::string inflateraw(const std::string& stream, bool* ended = nullptr) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::string out;
    int result = Z_OK;
    while (result == Z_OK) {
        char buffer[1 << 15];
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
        if (result == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    if (ended) *ended = result == Z_STREAM_END;
    EXPECT_TRUE(result == Z_STREAM_END || result == Z_BUF_ERROR) << result;
    inflateEnd(&z);
    return out;
}

std::uint32_t crcof(const std::string& data) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string compressall(const std::vector<std::string>& pieces, int level) {
    std::string stream;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        stream += compresspiece(pieces[i], level, i + 1 == pieces.size());
    return stream;
}

TEST(DeflatePieces, LaidEndToEndTheyDecodeAsOneStream) {
    for (int level : {1, 6, 12}) {
        std::vector<std::string> pieces = {mixeddata(100000, 1), randomdata(70000, 2),
                                           std::string(50000, 'z'), mixeddata(1, 3)};
        std::string whole;
        for (const std::string& piece : pieces) whole += piece;
        bool ended = false;
        EXPECT_EQ(inflateraw(compressall(pieces, level), &ended), whole) << "level " << level;
        EXPECT_TRUE(ended);
    }
}

// The empty stored block behind an open piece falls on every possible bit position over
// these lengths: its three header bits share the last byte or need one more.
TEST(DeflatePieces, AnOpenPieceEndsWithAnEmptyStoredBlockAndLeavesTheStreamOpen) {
    for (std::size_t length = 1; length < 400; length += 7) {
        std::string piece = mixeddata(length, static_cast<unsigned>(length));
        std::string open = compresspiece(piece, 6, false);
        ASSERT_GE(open.size(), 4u);
        EXPECT_EQ(open.substr(open.size() - 4), std::string("\x00\x00\xFF\xFF", 4));
        bool ended = true;
        EXPECT_EQ(inflateraw(open, &ended), piece) << length;
        EXPECT_FALSE(ended) << length;
        std::string tail = mixeddata(length + 13, static_cast<unsigned>(length + 1));
        EXPECT_EQ(inflateraw(open + compresspiece(tail, 6, true), &ended), piece + tail);
        EXPECT_TRUE(ended);
    }
}

TEST(DeflatePieces, ALastPieceIsTheWholeMembersCompression) {
    std::string data = mixeddata(300000, 4);
    std::string whole;
    ASSERT_TRUE(deflatecompressor(9)(data, whole));
    EXPECT_EQ(compresspiece(data, 9, true), whole);
}

// A member read back from an archive: the local header's fields and the decoded data.
struct ReadMember {
    ZipEntry entry;
    std::uint32_t localcrc = 0, localpacked = 0, localsize = 0;
    std::string packed, data;
};

std::vector<ReadMember> readmembers(const std::string& archive) {
    ZipArchive directory = readziparchive(archive);
    std::vector<ReadMember> members;
    for (const ZipEntry& entry : directory.entries) {
        ReadMember m;
        m.entry = entry;
        std::size_t local = entry.offset;
        m.localcrc = get32(archive, local + 14);
        m.localpacked = get32(archive, local + 18);
        m.localsize = get32(archive, local + 22);
        std::size_t names =
            (get32(archive, local + 26) & 0xFFFF) + (get32(archive, local + 28) & 0xFFFF);
        m.packed = archive.substr(local + 30 + names, entry.packed);
        m.data = entry.method == 8 ? inflateraw(m.packed) : m.packed;
        members.push_back(m);
    }
    return members;
}

class Packing : public ::testing::Test {
  protected:
    std::string pack(const PackSettings& settings, PackStats* stats = nullptr) {
        std::ostringstream out(std::ios::binary);
        ZipWriter writer(out, 0, ZipWriterSettings{});
        PackStats got = packitems(scanfolder(temp / "src"), writer, settings);
        if (stats) *stats = got;
        writer.finish();
        return out.str();
    }
    void add(const std::string& name, const std::string& data) {
        toolstest::writebytes(temp / ("src/" + name), data);
        files[name] = data;
    }
    // Every file comes back with its bytes, and both headers carry its CRC and sizes.
    void expectroundtrip(const std::string& archive) {
        std::size_t seen = 0;
        for (const ReadMember& m : readmembers(archive)) {
            if (m.entry.name.back() == '/') continue;
            ++seen;
            const std::string& data = files.at(m.entry.name);
            EXPECT_EQ(m.data, data) << m.entry.name;
            EXPECT_EQ(m.entry.crc, crcof(data)) << m.entry.name;
            EXPECT_EQ(m.entry.size, data.size()) << m.entry.name;
            EXPECT_EQ(m.localcrc, m.entry.crc) << m.entry.name;
            EXPECT_EQ(m.localpacked, m.entry.packed) << m.entry.name;
            EXPECT_EQ(m.localsize, m.entry.size) << m.entry.name;
        }
        EXPECT_EQ(seen, files.size());
    }
    const ReadMember memberof(const std::string& archive, const std::string& name) {
        for (const ReadMember& m : readmembers(archive))
            if (m.entry.name == name) return m;
        ADD_FAILURE() << name << " is missing";
        return {};
    }

    TempFolder temp;
    std::map<std::string, std::string> files;
};

// A file of exactly one piece is compressed as a whole; one byte more makes it two pieces.
TEST_F(Packing, FilesAtAndOneOverThePieceSizeRoundTrip) {
    add("at.bin", mixeddata(kCompressPiece, 5));
    add("over.bin", mixeddata(kCompressPiece + 1, 6));
    PackSettings settings;
    settings.level = 1;
    settings.threads = 2;
    std::string archive = pack(settings);
    expectroundtrip(archive);
    std::string whole;
    ASSERT_TRUE(deflatecompressor(1)(files["at.bin"], whole));
    EXPECT_EQ(memberof(archive, "at.bin").packed, whole);
    const std::string& over = files["over.bin"];
    EXPECT_EQ(memberof(archive, "over.bin").packed,
              compresspiece(over.substr(0, kCompressPiece), 1, false) +
                  compresspiece(over.substr(kCompressPiece), 1, true));
}

// Small pieces, so that files of many pieces, one piece, no bytes and folders interleave in
// the queue.
class SmallPieces : public Packing {
  protected:
    void SetUp() override {
        add("a/many.txt", mixeddata(kPiece * 9 + 17, 7));
        add("a/one.txt", mixeddata(kPiece - 1, 8));
        add("b/empty", "");
        add("b/random.bin", randomdata(kPiece * 3, 9));
        add("c.txt", mixeddata(kPiece * 2, 10));
        toolstest::fs::create_directories(temp / "src/d/e");
        settings.piece = kPiece;
    }
    static constexpr std::size_t kPiece = 64 * 1024;
    PackSettings settings;
};

TEST_F(SmallPieces, TheBytesDoNotDependOnTheThreadCount) {
    settings.threads = 1;
    std::string one = pack(settings);
    expectroundtrip(one);
    for (unsigned threads : {2u, 5u}) {
        settings.threads = threads;
        EXPECT_EQ(pack(settings), one) << threads << " threads";
    }
}

TEST_F(SmallPieces, HeldInputStaysWithinThePieceLimit) {
    for (int i = 0; i < 3; ++i) add("big" + std::to_string(i), mixeddata(kPiece * 20, 11 + i));
    settings.threads = 2;
    PackStats stats;
    expectroundtrip(pack(settings, &stats));
    std::size_t limit = piecelimit(settings.threads, kPiece);
    EXPECT_EQ(limit, kPiecesPerThread * 2 * kPiece);
    EXPECT_LE(stats.peakheld, limit);
    EXPECT_GE(stats.peakheld, kPiece); // it did read ahead
}

// Behind a large file, small files are read ahead beyond the pieces' share of jobs (so a
// worker has something to do while the writer waits for a piece), up to the job bound.
TEST_F(SmallPieces, SmallFilesAreReadAheadOfALargeFileUpToTheJobLimit) {
    add("f/big", mixeddata(kPiece * 4, 20));
    for (int i = 0; i < 600; ++i) add("f/small" + std::to_string(i), mixeddata(100, 21 + i));
    settings.threads = 2;
    PackStats stats;
    expectroundtrip(pack(settings, &stats));
    EXPECT_GT(stats.peakjobs, kPiecesPerThread * settings.threads);
    EXPECT_EQ(stats.peakjobs, kJobsPerThread * settings.threads);
    EXPECT_LE(stats.peakheld, piecelimit(settings.threads, kPiece));
}

TEST_F(SmallPieces, LevelZeroStoresEveryFileAlsoWhenStreamed) {
    settings.level = 0;
    settings.threads = 2;
    std::string archive = pack(settings);
    expectroundtrip(archive);
    for (const ReadMember& m : readmembers(archive)) EXPECT_EQ(m.entry.method, 0u) << m.entry.name;
}

// A file of one piece that Deflate does not shrink is stored; a streamed one stays Deflate
// (its header is written before the data), with stored blocks inside.
TEST_F(SmallPieces, IncompressibleFilesAreStoredUpToOnePiece) {
    add("random-one.bin", randomdata(kPiece, 12));
    settings.threads = 2;
    std::string archive = pack(settings);
    expectroundtrip(archive);
    EXPECT_EQ(memberof(archive, "random-one.bin").entry.method, 0u);
    ReadMember streamed = memberof(archive, "b/random.bin");
    EXPECT_EQ(streamed.entry.method, 8u);
    EXPECT_LT(streamed.entry.packed, streamed.entry.size + streamed.entry.size / 1000);
}

TEST_F(SmallPieces, AFileThatChangesSizeWhileItIsPackedIsRefused) {
    for (std::size_t size : {kPiece / 2, kPiece * 4}) {
        for (long delta : {-1L, 1L}) {
            std::vector<FolderItem> items = scanfolder(temp / "src");
            toolstest::writebytes(temp / "src/c.txt", mixeddata(size, 13));
            for (FolderItem& item : items)
                if (item.name == "c.txt") item.size = size + delta;
            std::ostringstream out(std::ios::binary);
            ZipWriter writer(out, 0, ZipWriterSettings{});
            settings.threads = 2;
            try {
                packitems(items, writer, settings);
                ADD_FAILURE() << "a changed file was packed, size " << size << delta;
            } catch (const BuildError& e) {
                EXPECT_NE(std::string(e.what()).find("c.txt changed while it was being packed"),
                          std::string::npos)
                    << e.what();
            }
        }
    }
}

TEST(StreamedMembers, AreRefusedWithEncryption) {
    std::ostringstream out(std::ios::binary);
    ZipWriterSettings settings;
    settings.password = "secret";
    settings.headersource = [](unsigned char* bytes, std::size_t n, const std::string&,
                               const std::string&) { std::fill(bytes, bytes + n, 0); };
    ZipWriter writer(out, 0, settings);
    ZipMember head;
    head.name = "big.bin";
    EXPECT_THROW(writer.beginstreamed(head, 10, 8), BuildError);
    EXPECT_EQ(writer.position(), 0u); // nothing was written
}

} // namespace
