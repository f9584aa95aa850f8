// The stub's start-up unpacker: the one-shot inflater on streams written bit by bit (every
// length and distance symbol, every malformed header the format allows to be written, the
// output limit at its exact edge, every cut), on zlib's streams of every level and strategy
// (host), and the undoing of the build's call-target and relocation transforms.
#include "stub/unpack.h"

#include "tests/support/deflatewriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#ifndef _WIN32
#include <zlib.h>
#endif

using namespace deflatewriter;

namespace {

// Inflates with room for exactly `room` bytes; the bytes written, or nothing on failure
// (then *failed is set).
Bytes inflated(const Bytes& stream, size_t room, bool* failed) {
    Bytes out(room + 1, 0xA5); // one guard byte behind the room
    size_t n = inflatepacked(stream.data(), stream.size(), out.data(), room);
    EXPECT_EQ(out[room], 0xA5) << "written past the room";
    *failed = n == kInflateFailed;
    out.resize(*failed ? 0 : n);
    return out;
}

bool inflates(const Bytes& stream, size_t room) {
    bool failed;
    inflated(stream, room, &failed);
    return !failed;
}

// The bytes, then whether the exact room is enough and one byte less is not.
void expectexactfit(const Bytes& stream, const Bytes& expected) {
    bool failed;
    EXPECT_EQ(inflated(stream, expected.size(), &failed), expected);
    EXPECT_FALSE(failed);
    if (!expected.empty()) {
        EXPECT_FALSE(inflates(stream, expected.size() - 1));
    }
}

// Length symbol, extra value and extra bits of a match length, from the format's table.
void lengthcode(unsigned length, int* code, unsigned* extra, int* bits) {
    static const unsigned kBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int kBits[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int c = 28;
    while (kBase[c] > length) --c;
    *code = 257 + c;
    *extra = length - kBase[c];
    *bits = kBits[c];
}

// A fixed block holding `history` as literals, then one match of `length` at `distance`;
// *expected receives the decoded bytes when the distance reaches no further than history.
Bytes matchstream(const Bytes& history, unsigned length, unsigned distance, Bytes* expected) {
    StreamWriter w;
    BlockWriter b = fixedblock(w, true);
    for (unsigned char c : history) b.literal(c);
    int lcode = 0, dcode = 0, lbits = 0, dbits = 0;
    unsigned lextra = 0, dextra = 0;
    lengthcode(length, &lcode, &lextra, &lbits);
    distancecode(distance, &dcode, &dextra, &dbits);
    b.match(lcode, lextra, lbits, dcode, dextra, dbits);
    b.end();
    *expected = history;
    for (unsigned i = 0; i < length && distance <= history.size(); ++i)
        expected->push_back((*expected)[expected->size() - distance]);
    return w.bytes;
}

} // namespace

TEST(UnpackInflate, StoredFixedAndDynamicBlocksInOneStream) {
    Bytes expected = pattern(1000, 7);
    StreamWriter w;
    w.stored(false, expected);
    BlockWriter fixed = fixedblock(w, false);
    for (unsigned char c : text("fixed")) {
        fixed.literal(c);
        expected.push_back(c);
    }
    fixed.end();
    BlockWriter dynamic =
        dynamicblock(w, true, lengths(257, {{'x', 1}, {256, 1}}), lengths(1, {{0, 1}}));
    dynamic.literal('x');
    dynamic.end();
    expected.push_back('x');
    expectexactfit(w.bytes, expected);
}

TEST(UnpackInflate, EveryLengthAndTheDistanceSymbolsAtTheirEdges) {
    Bytes history = pattern(32768, 3);
    for (unsigned length = 3; length <= 258; ++length) {
        Bytes expected;
        Bytes stream =
            matchstream(Bytes(history.begin(), history.begin() + 300), length, 300, &expected);
        bool failed;
        ASSERT_EQ(inflated(stream, expected.size(), &failed), expected) << length;
    }
    // Each distance symbol's first and last distance, up to 32,768 and the first byte.
    for (unsigned base = 1, code = 0; code < 30; ++code) {
        unsigned width = code < 4 ? 0 : code / 2 - 1;
        for (unsigned distance : {base, base + (1u << width) - 1}) {
            Bytes expected;
            Bytes stream = matchstream(history, 3, distance, &expected);
            bool failed;
            ASSERT_EQ(inflated(stream, expected.size(), &failed), expected) << distance;
        }
        base += 1u << width;
    }
}

TEST(UnpackInflate, AMatchReachesTheFirstByteButNotBeforeIt) {
    Bytes expected;
    EXPECT_TRUE(inflates(matchstream(text("abcd"), 3, 4, &expected), 7));
    EXPECT_FALSE(inflates(matchstream(text("abcd"), 3, 5, &expected), 100));
    EXPECT_FALSE(inflates(matchstream(Bytes(), 3, 1, &expected), 100));
}

TEST(UnpackInflate, MalformedBlocksFail) {
    {
        StreamWriter w; // block type 3
        w.header(true, 3);
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // stored length and its complement disagree
        w.header(true, 0);
        w.align();
        w.put(5, 16);
        w.put(5, 16);
        w.bytes.resize(w.bytes.size() + 5);
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // 287 literal/length codes, one more than a block may define
        dynamicblock(w, true, std::vector<int>(287, 9), lengths(1, {{0, 1}})).end();
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // 31 distance codes
        dynamicblock(w, true, lengths(257, {{'a', 1}, {256, 1}}), std::vector<int>(31, 5)).end();
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // three codes of one bit: more than the code space holds
        dynamicblock(w, true, lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), lengths(1, {{0, 1}}));
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // no code for the end of the block
        dynamicblock(w, true, lengths(257, {{'a', 1}, {'b', 1}}), lengths(1, {{0, 1}}));
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // an incomplete code met with the pattern it leaves unused
        BlockWriter b =
            dynamicblock(w, true, lengths(257, {{'a', 2}, {256, 2}}), lengths(1, {{0, 1}}));
        b.literal('a');
        w.code(3, 2);
        EXPECT_FALSE(inflates(w.bytes, 100));
    }
    {
        StreamWriter w; // length symbols 286 and 287 of the fixed code and distance code 30
        fixedblock(w, true).symbol(286);
        EXPECT_FALSE(inflates(w.bytes, 100));
        StreamWriter d;
        BlockWriter b = fixedblock(d, true);
        b.literal('a');
        b.match(257, 0, 0, 30, 0, 0);
        EXPECT_FALSE(inflates(d.bytes, 100));
    }
}

TEST(UnpackInflate, CodeLengthRepeatsStayInsideTheTable) {
    // Code-length code: all 19 symbols five bits, so each is written as its own number.
    auto header = [](StreamWriter& w) {
        w.header(true, 2);
        w.put(0, 5); // 257 literal/length codes
        w.put(0, 5); // one distance code
        w.put(15, 4);
        for (int i = 0; i < 19; ++i) w.put(5, 3);
    };
    StreamWriter first; // "repeat the previous length" with no previous length
    header(first);
    first.code(16, 5);
    first.put(0, 2);
    EXPECT_FALSE(inflates(first.bytes, 100));
    StreamWriter past; // 138 zeros from length 200 on: beyond the 258 lengths
    header(past);
    for (int i = 0; i < 200; ++i) past.code(8, 5);
    past.code(18, 5);
    past.put(127, 7);
    EXPECT_FALSE(inflates(past.bytes, 100));
}

TEST(UnpackInflate, EveryCutOfAStreamFails) {
    Bytes expected;
    StreamWriter w;
    w.stored(false, pattern(40, 1));
    BlockWriter b = dynamicblock(w, true, lengths(258, {{'a', 2}, {'b', 2}, {256, 2}, {257, 2}}),
                                 lengths(1, {{0, 1}}));
    b.literal('a');
    b.literal('b');
    b.match(257, 0, 0, 0, 0, 0);
    b.end();
    ASSERT_TRUE(inflates(w.bytes, 100));
    for (size_t cut = 0; cut < w.bytes.size(); ++cut)
        EXPECT_FALSE(inflates(Bytes(w.bytes.begin(), w.bytes.begin() + cut), 100)) << cut;
}

#ifndef _WIN32
namespace {

Bytes zlibdeflate(const Bytes& data, int level, int strategy) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 9, strategy), Z_OK);
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<unsigned char*>(data.data());
    z.avail_in = unsigned(data.size());
    z.next_out = out.data();
    z.avail_out = unsigned(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

TEST(UnpackInflate, ZlibStreamsOfEveryLevelAndStrategy) {
    Bytes words;
    for (unsigned i = 0; words.size() < 150000; ++i) {
        std::string word = "code" + std::to_string(i * 7919 % 1000) + (i % 3 ? " " : "\n");
        words.insert(words.end(), word.begin(), word.end());
    }
    for (const Bytes& data : {Bytes(), pattern(1, 1), pattern(100000, 2), words, Bytes(70000, 'z')})
        for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED})
            for (int level : {0, 1, 6, 9}) {
                SCOPED_TRACE(testing::Message() << data.size() << " bytes, level " << level
                                                << ", strategy " << strategy);
                expectexactfit(zlibdeflate(data, level, strategy), data);
            }
}
#endif

TEST(UnpackRestore, CallAndJumpTargetsBecomeRelativeAgain) {
    // E8 at 0 with the absolute target 0x105 (relative 0x100 after its end at 5); E9 at 5
    // whose target crosses zero; an E8 with fewer than four bytes behind it stays.
    const uint8_t packed[] = {0xE8, 0x05, 0x01, 0x00, 0x00, 0xE9, 0x06, 0x00,
                              0x00, 0x00, 0x90, 0xE8, 0x01, 0x02, 0x03};
    const uint8_t code[] = {0xE8, 0x00, 0x01, 0x00, 0x00, 0xE9, 0xFC, 0xFF,
                            0xFF, 0xFF, 0x90, 0xE8, 0x01, 0x02, 0x03};
    uint8_t out[sizeof code];
    ASSERT_TRUE(restorecode(packed, sizeof packed, out, sizeof out, 0));
    EXPECT_EQ(0, std::memcmp(out, code, sizeof code));
}

TEST(UnpackRestore, RelocationsAddTheDeltaUpToTheCodesEnd) {
    std::vector<uint8_t> stream(300, 0x11);
    auto gaps = [&](std::initializer_list<uint8_t> g) {
        std::vector<uint8_t> s = stream;
        s.insert(s.end(), g);
        return s;
    };
    std::vector<uint8_t> out(300);
    // Gaps 0, 8 and a long gap of 288 reach offsets 0, 8 and 296, the last whole word.
    std::vector<uint8_t> s = gaps({0, 8, kLongGapMark, 0x20, 0x01});
    ASSERT_TRUE(restorecode(s.data(), s.size(), out.data(), out.size(), 0x01000000));
    for (size_t at : {0u, 8u, 296u}) EXPECT_EQ(out[at + 3], 0x12) << at;
    EXPECT_EQ(out[4 + 3], 0x11);
    // One byte further, the word would cross the end.
    s = gaps({0, 8, kLongGapMark, 0x21, 0x01});
    EXPECT_FALSE(restorecode(s.data(), s.size(), out.data(), out.size(), 1));
    // A long gap cut short, and a stream shorter than the code.
    s = gaps({kLongGapMark, 0x20});
    EXPECT_FALSE(restorecode(s.data(), s.size(), out.data(), out.size(), 1));
    EXPECT_FALSE(restorecode(stream.data(), 299, out.data(), out.size(), 1));
}
