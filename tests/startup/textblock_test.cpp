// Text block: checksum lanes, text loading bounds, marker window and the file loader.
#include "startup/textblock.h"

#include "common/byteorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes bytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

unsigned checksum(const Bytes& b) {
    return blockchecksum(b.data(), b.size());
}

// 66 texts "t0".."t65", each with its NUL.
Bytes textbody() {
    Bytes body;
    for (int k = 0; k < kTextCount; k++) {
        std::string t = "t" + std::to_string(k);
        body.insert(body.end(), t.begin(), t.end());
        body.push_back(0);
    }
    return body;
}

void putle32(Bytes& out, unsigned v) {
    out.resize(out.size() + 4);
    set32(&out[out.size() - 4], v);
}

// A file of `stubsize` filler bytes (with stray braces), then a text block.
Bytes package(size_t stubsize, const Bytes& body, bool goodsum = true, long sizefield = -1) {
    Bytes file(stubsize, 'x');
    for (size_t i = 0; i < stubsize; i += 997) file[i] = '{';
    const std::string marker = "{SLF}";
    file.insert(file.end(), marker.begin(), marker.end());
    putle32(file, sizefield >= 0 ? (unsigned)sizefield : (unsigned)(body.size() + kTextHeaderSize));
    putle32(file, goodsum ? checksum(body) : checksum(body) ^ 1);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// A file named after the running test, so tests running side by side never share one.
struct TempFile {
    std::string path;
    explicit TempFile(const Bytes& content) {
        path = (std::filesystem::temp_directory_path() /
                (std::string("orv_tb_") +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin"))
                   .string();
        std::ofstream(path, std::ios::binary)
            .write((const char*)content.data(), (std::streamsize)content.size());
    }
    ~TempFile() { std::remove(path.c_str()); }
};

const std::string kLoaded = "loaded";
const std::string kDamaged = "This SFX is damaged, please try to download this file again.";
const std::string kBadSize = "Incorrect file size, please try to download this file again.";

class TextBlockFile : public ::testing::Test {
  protected:
    void TearDown() override { freeuitexts(); }
    // The failure message, or kLoaded. The module path has a folder, so no checksum
    // exception applies unless a test names another one.
    std::string load(const Bytes& content, const char* module = "C:\\pkg\\setup.exe") {
        TempFile file(content);
        const char* failure = nullptr;
        int loaded = loadtextblockfrom(file.path.c_str(), module, &failure);
        EXPECT_EQ(loaded == 1, failure == nullptr);
        return failure ? failure : kLoaded;
    }
};

} // namespace

TEST(BlockChecksum, LanesCombineWithSignExtension) {
    EXPECT_EQ(checksum({}), 0u);
    EXPECT_EQ(checksum(bytes("abc")), 0x61626300u);
    EXPECT_EQ(checksum({0x00, 0x80}), 0xFF800000u);
    EXPECT_EQ(checksum({0x80}), 0x80000000u);
    EXPECT_EQ(checksum({0, 0, 0, 0xFF}), 0xFFFFFFFFu);
    // Lanes repeat every four bytes: equal bytes four apart cancel out.
    EXPECT_EQ(checksum(bytes("abcdabcd")), 0u);
    EXPECT_EQ(checksum(bytes("abcde")), 0x04626364u);
}

TEST(LoadUiTexts, ExactBodyLoadsAndShortBodyIsRefused) {
    Bytes body = textbody();
    ASSERT_EQ(loaduitexts(body.data(), body.size()), 1);
    EXPECT_STREQ(UiText[0], "t0");
    EXPECT_STREQ(UiText[65], "t65");

    body.pop_back(); // the 66th text loses its NUL
    EXPECT_EQ(loaduitexts(body.data(), body.size()), -2);
    EXPECT_EQ(loaduitexts(body.data(), 0), -2);
    freeuitexts();
    for (char* text : UiText) EXPECT_EQ(text, nullptr);
}

TEST(FindTextMarker, SkipsStrayBracesAndHonoursTheSpan) {
    Bytes buf = bytes("{SL{{SLF{SLF}tail....");
    EXPECT_EQ(findtextmarker(buf.data(), buf.size() - 4), 8);
    EXPECT_EQ(findtextmarker(buf.data(), 8), -1);
    Bytes none = bytes("no marker here.....");
    EXPECT_EQ(findtextmarker(none.data(), none.size() - 4), -1);
}

TEST_F(TextBlockFile, LoadsTextsAndSetsOptionsOffset) {
    Bytes body = textbody();
    body.insert(body.end(), {'e', 'x', 't', 'r', 'a'}); // ignored, but covered by the sum
    ASSERT_EQ(load(package(30000, body)), kLoaded);
    EXPECT_STREQ(UiText[42], "t42");
    EXPECT_EQ(optionsoffset, 30000u + kTextHeaderSize + body.size());
}

TEST_F(TextBlockFile, MarkerOnlyInsideTheSearchWindow) {
    Bytes body = textbody();
    EXPECT_EQ(load(package(29999, body)), kBadSize);                 // '{' before 30,000
    EXPECT_EQ(load(package(kMarkerLastOffset, body)), kLoaded);      // last offset accepted
    EXPECT_EQ(load(package(kMarkerLastOffset + 1, body)), kBadSize); // one past the window
}

TEST_F(TextBlockFile, DamagedAndTruncatedPackagesAreRefused) {
    Bytes body = textbody();
    EXPECT_EQ(load(Bytes(29000, 'x')), kBadSize);              // shorter than 30,000
    EXPECT_EQ(load(package(30000, body, false)), kDamaged);    // checksum mismatch
    EXPECT_EQ(load(package(30000, body, true, 12)), kBadSize); // S below 13
    EXPECT_EQ(load(package(30000, body, true, (long)body.size() + 500)), kBadSize); // S too big
    Bytes cut = body;
    cut.pop_back();
    EXPECT_EQ(load(package(30000, cut)), kBadSize); // 66th text without its NUL
    const char* failure = nullptr;
    EXPECT_EQ(loadtextblockfrom("/nonexistent/orv/package.exe", "C:\\x\\p.exe", &failure), 0);
    EXPECT_EQ(std::string(failure), kDamaged);
}

TEST_F(TextBlockFile, ChecksumExceptionForTestBuilds) {
    Bytes body = textbody();
    Bytes zero = package(30000, body);
    for (int i = 0; i < 4; i++) zero[30000 + 9 + i] = 0; // stored checksum 0, body nonzero
    EXPECT_EQ(load(zero, "C:\\dir\\~TEST.EXE"), kLoaded);
    EXPECT_EQ(load(zero, "C:\\dir\\~test.exe"), kLoaded);
    EXPECT_EQ(load(zero, "C:\\dir\\test.exe"), kDamaged);
    EXPECT_EQ(load(zero, "C:\\dir\\~test.exe.bak"), kDamaged);
    EXPECT_EQ(load(package(30000, body, false), "C:\\dir\\~test.exe"), kDamaged); // sum not 0
    EXPECT_EQ(load(package(30000, body, false), "setup.exe"), kLoaded);           // no folder
}
