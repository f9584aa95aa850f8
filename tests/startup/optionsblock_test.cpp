// Options block: flag bytes, text fields, length checks and the archive signature.
#include "startup/optionsblock.h"

#include "common/byteorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

struct BlockFields {
    unsigned char a = 0, b = 0;
    std::string title, folder, command, prompt, about, description;
    unsigned short style = 0;
    unsigned short version = kOptionsVersion;
    const char* archive = "PK";
};

void put16(Bytes& out, size_t v) {
    out.resize(out.size() + 2);
    set16(&out[out.size() - 2], static_cast<unsigned>(v));
}
void puttext(Bytes& out, const std::string& s) {
    out.insert(out.end(), s.begin(), s.end());
}

Bytes encode(const BlockFields& f) {
    Bytes out = {'M', 'P', 'V', '2'};
    put16(out, f.version);
    put16(out, 0); // length, patched below
    out.push_back(f.a);
    out.push_back(f.b);
    put16(out, 0);
    out.push_back((unsigned char)f.title.size());
    puttext(out, f.title);
    out.push_back((unsigned char)f.folder.size());
    puttext(out, f.folder);
    put16(out, f.command.size());
    puttext(out, f.command);
    put16(out, f.prompt.size());
    put16(out, f.style);
    puttext(out, f.prompt);
    put16(out, f.about.size());
    puttext(out, f.about);
    put16(out, f.description.size());
    puttext(out, f.description);
    set16(&out[6], static_cast<unsigned>(out.size()));
    puttext(out, f.archive);
    return out;
}

// An SfxOptions made as the stub makes it.
struct Options {
    SfxOptions& o;
    Options() : o(*makesfxoptions()) {}
    ~Options() { releasesfxoptions(&o); }
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    OptionsStatus decode(const Bytes& block) {
        return decodeoptions(block.data(), block.size(), &o, "Self-Extracting Archive");
    }
};

} // namespace

TEST(OptionsBlock, BlockLengthFollowsTheFields) {
    BlockFields f;
    f.title = std::string(53, 'T');
    f.folder = "%temp%";
    Bytes block = encode(f);
    EXPECT_EQ(optionsblocklength(block.data(), block.size()), 83u);
    EXPECT_EQ(block.size(), 85u);
    Options opts;
    EXPECT_EQ(opts.decode(block), kOptionsOk);
    EXPECT_STREQ(opts.o.destfolder, "%temp%");
}

TEST(OptionsBlock, FlagBytesDecodeIntoFields) {
    BlockFields f;
    f.a = 0x06;
    f.b = 0x0C;
    Options opts;
    ASSERT_EQ(opts.decode(encode(f)), kOptionsOk);
    const SfxOptions& o = opts.o;
    EXPECT_TRUE(o.selectfiles && o.showoverwrite && o.showdone && o.showcomment && o.showprogress);
    EXPECT_EQ(o.overwritemode, kOverwriteAsk);
    EXPECT_FALSE(o.aboutextra || o.showbanner || o.writelog || o.autoextract || o.cleanafter);

    f.a = 0xFF;
    f.b = 0xFF;
    f.command = "setup.exe";
    Options all;
    ASSERT_EQ(all.decode(encode(f)), kOptionsOk);
    EXPECT_EQ(all.o.overwritemode, kOverwriteAlways); // both mode bits: overwrite wins
    EXPECT_TRUE(all.o.commandoptional && all.o.cleanafter && all.o.autoextract && all.o.infopanel &&
                all.o.noopenwith && all.o.showbanner && all.o.writelog);
    EXPECT_FALSE(all.o.showdone || all.o.aboutextra || all.o.showprogress);

    f.a = kFlagOverwriteNever;
    Options never;
    ASSERT_EQ(never.decode(encode(f)), kOptionsOk);
    EXPECT_EQ(never.o.overwritemode, kOverwriteNever);
}

TEST(OptionsBlock, TextsAndTheirPresenceFlags) {
    BlockFields f;
    f.a = kFlagCommandOptional;
    f.title = "My Package";
    f.command = "setup.exe|-q";
    f.prompt = "Install?";
    f.style = 0x24;
    f.about = "About me";
    f.description = "What this is";
    Options opts;
    ASSERT_EQ(opts.decode(encode(f)), kOptionsOk);
    const SfxOptions& o = opts.o;
    EXPECT_STREQ(o.title, "My Package");
    EXPECT_STREQ(o.command, "setup.exe|-q");
    EXPECT_STREQ(o.startprompt, "Install?");
    EXPECT_STREQ(o.abouttext, "About me");
    EXPECT_STREQ(o.infotext, "What this is");
    EXPECT_EQ(o.promptstyle, 0x24);
    EXPECT_TRUE(o.hascommand && o.commandoptional && o.hasstartprompt && o.hasabouttext &&
                o.hasinfotext);
}

TEST(OptionsBlock, EmptyFieldsClearTheirFlags) {
    BlockFields f;
    f.a = kFlagCommandOptional; // no command: the check box cannot be optional
    f.style = 0x31;
    Options opts;
    ASSERT_EQ(opts.decode(encode(f)), kOptionsOk);
    EXPECT_FALSE(opts.o.hascommand || opts.o.commandoptional || opts.o.hasstartprompt ||
                 opts.o.hasabouttext || opts.o.hasinfotext);
    EXPECT_STREQ(opts.o.startprompt, "");
    EXPECT_EQ(opts.o.promptstyle, 0x31); // the style word is read even without a prompt
    EXPECT_STREQ(opts.o.title, "Self-Extracting Archive");

    f.title = std::string("\0abc", 4); // a title that starts with NUL is empty as well
    Options nul;
    ASSERT_EQ(nul.decode(encode(f)), kOptionsOk);
    EXPECT_STREQ(nul.o.title, "Self-Extracting Archive");
}

TEST(OptionsBlock, LongestOneByteFieldsStayTerminated) {
    BlockFields f;
    f.title = std::string(255, 'T');
    f.folder = std::string(255, 'F');
    Options opts;
    ASSERT_EQ(opts.decode(encode(f)), kOptionsOk);
    EXPECT_EQ(std::strlen(opts.o.title), 255u);
    EXPECT_EQ(std::strlen(opts.o.destfolder), 255u);
}

TEST(OptionsBlock, ArchiveSignatureBehindTheBlock) {
    BlockFields f;
    f.archive = "MS";
    Options cab;
    EXPECT_EQ(cab.decode(encode(f)), kOptionsOk);
    f.archive = "7z";
    Options other;
    EXPECT_EQ(other.decode(encode(f)), kOptionsInvalid);
}

TEST(OptionsBlock, WrongVersionLeavesFlagsUntouched) {
    for (unsigned short version : {2, 4}) {
        BlockFields f;
        f.version = version;
        f.a = 0xFF;
        Options opts;
        EXPECT_EQ(opts.decode(encode(f)), kOptionsBadVersion);
        EXPECT_FALSE(opts.o.autoextract || opts.o.selectfiles);
    }
}

// Every malformed block is invalid, read within the bytes given; the flags are kept once the
// header has passed.
TEST(OptionsBlock, MalformedBlocksAreInvalidWithinTheirBytes) {
    BlockFields f;
    f.a = kFlagAutoExtract;
    f.title = "Title";
    f.command = "run.exe";
    const Bytes good = encode(f);
    auto changed = [&](size_t at, unsigned char value) {
        Bytes block = good;
        block[at] = value;
        return block;
    };
    const size_t length = good.size() - 2; // L, in front of the archive's "PK"
    Bytes longer = changed(kOptionsLengthOffset, static_cast<unsigned char>(length + 1));
    longer.push_back('K'); // no "PK" at L
    const struct {
        const char* name;
        Bytes block;
        size_t n;
        bool flagsread;
    } cases[] = {
        {"wrong magic", changed(kOptionsMagicOffset, 'X'), good.size(), false},
        {"cut inside the header", good, kOptionsHeaderSize - 1, false},
        {"cut inside the archive's signature", good, good.size() - 1, true},
        {"command length past L", changed(kOptionsHeaderSize + 1 + f.title.size() + 1, 0xF0),
         good.size(), true},
        {"L ends with the header", changed(kOptionsLengthOffset, kOptionsHeaderSize), good.size(),
         true},
        {"L past the fields", longer, longer.size(), true},
    };
    for (const auto& c : cases) {
        Options opts;
        EXPECT_EQ(decodeoptions(c.block.data(), c.n, &opts.o, "x"), kOptionsInvalid) << c.name;
        EXPECT_EQ(opts.o.autoextract, c.flagsread) << c.name;
    }
}

namespace {

// Runs readoptionsblockfrom on a file holding `prefix` bytes and then the block.
struct FileRead {
    Options opts;
    OptionsStatus status = kOptionsOk;
    int result = 0;
    FileRead(const Bytes& block, size_t prefix = 100) {
        std::string path = ::testing::TempDir() + "orv_options_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin";
        FILE* file = std::fopen(path.c_str(), "wb");
        Bytes content(prefix, 'x');
        content.insert(content.end(), block.begin(), block.end());
        std::fwrite(content.data(), 1, content.size(), file);
        std::fclose(file);
        SfxOptions* saved = sfxoptions;
        sfxoptions = &opts.o;
        result = readoptionsblockfrom(path.c_str(), prefix, &status);
        sfxoptions = saved;
        std::remove(path.c_str());
    }
};

} // namespace

TEST(ReadOptionsBlock, ReadsTheBlockAtItsOffset) {
    BlockFields f;
    f.title = "From File";
    f.a = kFlagSelectFiles;
    FileRead read(encode(f));
    EXPECT_EQ(read.result, 1);
    EXPECT_EQ(read.status, kOptionsOk);
    EXPECT_STREQ(read.opts.o.title, "From File");
    EXPECT_TRUE(read.opts.o.selectfiles);
}

TEST(ReadOptionsBlock, FailuresNameTheirMessages) {
    BlockFields f;
    f.a = kFlagAutoExtract;
    Bytes block = encode(f);

    Bytes cut(block.begin(), block.end() - 3); // the file ends inside the block
    FileRead shortread(cut);
    EXPECT_EQ(shortread.status, kOptionsInvalid);
    EXPECT_TRUE(shortread.opts.o.autoextract); // flags stay once the header passed

    Bytes header(block.begin(), block.begin() + 8);
    EXPECT_EQ(FileRead(header).status, kOptionsInvalid);

    f.version = 4;
    FileRead version(encode(f));
    EXPECT_EQ(version.status, kOptionsBadVersion);
    EXPECT_FALSE(version.opts.o.autoextract);

    OptionsStatus status = kOptionsOk;
    EXPECT_EQ(readoptionsblockfrom("/nonexistent/orv/package.exe", 0, &status), 0);
    EXPECT_EQ(status, kOptionsUnreadable);
}
