// Tests of undeflate on streams built bit by bit (tests/support/deflatewriter.h): block types, code
// sets, the Deflate64 codes, window flushes, truncation and the fixed-code cache.
#include "tests/support/deflatewriter.h"
#include "tests/support/inflatedriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

namespace {

using inflatedriver::Decoded;
using inflatedriver::inflate;
using inflatedriver::Options;
using namespace deflatewriter;

// Every case runs with both instances of the fast loop: the baseline one and, where the
// processor has BMI2, the one compiled for it.
class InflateTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (useinflatebmi2(GetParam()) != GetParam()) GTEST_SKIP() << "no BMI2 here";
    }
    void TearDown() override {
        releasefixedcodes();
        useinflatebmi2(true);
    }
};
INSTANTIATE_TEST_SUITE_P(FastLoops, InflateTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Bmi2" : "Baseline";
                         });

// ---- Stored blocks and block types ---------------------------------------------------

TEST_P(InflateTest, StoredBlocksCopyTheirBytesAndAnEmptyOneWritesNothing) {
    StreamWriter w;
    w.stored(false, Bytes());
    w.stored(false, text("hello "));
    w.stored(true, text("world"));
    Decoded run = inflate(w.bytes);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.output, text("hello world"));
    EXPECT_EQ(run.flushes, std::vector<unsigned>{11});
}

TEST_P(InflateTest, StoredBlockWithWrongComplementFails) {
    StreamWriter w;
    w.header(true, 0);
    w.align();
    w.put(3, 16);
    w.put((~3u & 0xFFFF) ^ 0x100, 16);
    w.bytes.insert(w.bytes.end(), {'a', 'b', 'c'});
    Decoded run = inflate(w.bytes);
    EXPECT_EQ(run.result, kInflateTruncatedOrInvalid);
    EXPECT_TRUE(run.output.empty());
}

TEST_P(InflateTest, BlockTypeThreeIsInvalid) {
    StreamWriter w;
    w.header(true, 3);
    w.put(0, 13);
    EXPECT_EQ(inflate(w.bytes).result, kInflateReservedOrOversubscribed);
}

TEST_P(InflateTest, EmptyInputIsTruncated) {
    Decoded run = inflate(Bytes());
    EXPECT_EQ(run.result, kInflateTruncatedOrInvalid);
    EXPECT_TRUE(run.flushes.empty());
}

// ---- Window flushes ------------------------------------------------------------------

TEST_P(InflateTest, ExactlyOneWindowGivesAFullFlushAndAnEmptyOne) {
    Bytes data = pattern(65536, 7);
    StreamWriter w;
    w.stored(false, Bytes(data.begin(), data.begin() + 40000));
    w.stored(true, Bytes(data.begin() + 40000, data.end()));
    Decoded run = inflate(w.bytes);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.flushes, (std::vector<unsigned>{65536, 0}));
    EXPECT_EQ(run.output, data);
}

TEST_P(InflateTest, LongOutputIsFlushedInWholeWindows) {
    // 200,000 copies of 'x': one literal and matches of 258 at distance 1.
    StreamWriter w;
    BlockWriter b = fixedblock(w, true);
    b.literal('x');
    unsigned left = 199999;
    for (; left >= 258; left -= 258) b.match(285, 0, 0, 0, 0, 0);
    for (unsigned i = 0; i < left; i++) b.literal('x');
    b.end();
    Decoded run = inflate(w.bytes);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.flushes, (std::vector<unsigned>{65536, 65536, 65536, 3392}));
    EXPECT_EQ(run.output, Bytes(200000, 'x'));
}

// The flushes of `total` decoded bytes: whole windows, then the rest (possibly none).
std::vector<unsigned> windowflushes(size_t total) {
    std::vector<unsigned> flushes(total / kInflateWindowSize, kInflateWindowSize);
    flushes.push_back((unsigned)(total % kInflateWindowSize));
    return flushes;
}

TEST_P(InflateTest, AMatchThatFillsTheWindowIsFlushedBeforeTheNextLiteral) {
    // Two literals and a 258-byte match starting at 65,276 end exactly at the window's end;
    // the neighbouring positions end just before and just after it.
    for (bool d64 : {false, true}) {
        for (unsigned position = 65260; position <= 65280; position++) {
            Bytes expected;
            Bytes stream = windowedgestream(position, d64, 300, &expected);
            for (size_t block : {(size_t)1, (size_t)8192, stream.size()}) {
                Options o;
                o.deflate64 = d64;
                o.blocksize = block;
                Decoded run = inflate(stream, o);
                ASSERT_EQ(run.result, kInflateOk) << position << " block " << block;
                ASSERT_TRUE(run.output == expected) << position << " block " << block;
                ASSERT_EQ(run.flushes, windowflushes(expected.size())) << position;
                ASSERT_EQ(run.consumed, stream.size()) << position;
            }
        }
    }
}

TEST_P(InflateTest, FlushFailureEndsDecodingAndKeepsWhatWasFlushed) {
    Bytes data = pattern(150000, 3);
    StreamWriter w;
    for (size_t at = 0; at < data.size(); at += 50000)
        w.stored(at + 50000 >= data.size(), Bytes(data.begin() + at, data.begin() + at + 50000));
    Options o;
    o.failflushat = 1;
    o.failcode = 80;
    Decoded run = inflate(w.bytes, o);
    EXPECT_EQ(run.result, 80);
    EXPECT_EQ(run.output, Bytes(data.begin(), data.begin() + 65536));
    o.failflushat = 2; // the final, partial flush
    o.failcode = 50;
    run = inflate(w.bytes, o);
    EXPECT_EQ(run.result, 50);
    EXPECT_EQ(run.output.size(), 131072u);
}

// ---- Length code 285 and distance codes 30 and 31 -----------------------------------

TEST_P(InflateTest, LengthCode285DependsOnTheVariant) {
    StreamWriter w;
    BlockWriter b = fixedblock(w, true);
    b.literal('a');
    b.literal('b');
    b.match(285, 0, 0, 1, 0, 0); // Deflate: no extra bits, length 258 at distance 2
    b.end();
    Decoded deflate = inflate(w.bytes);
    EXPECT_EQ(deflate.result, kInflateOk);
    Bytes expected;
    for (int i = 0; i < 130; i++) expected.insert(expected.end(), {'a', 'b'});
    EXPECT_EQ(deflate.output, expected);

    StreamWriter w64;
    BlockWriter b64 = fixedblock(w64, true);
    b64.literal('a');
    b64.literal('b');
    b64.match(285, 65535, 16, 1, 0, 0); // the longest match: 65,538 bytes
    b64.end();
    Options o;
    o.deflate64 = true;
    Decoded run = inflate(w64.bytes, o);
    EXPECT_EQ(run.result, kInflateOk);
    ASSERT_EQ(run.output.size(), 65540u);
    EXPECT_EQ(run.flushes, (std::vector<unsigned>{65536, 4}));
    for (size_t i = 0; i < run.output.size(); i++) ASSERT_EQ(run.output[i], i % 2 ? 'b' : 'a');
}

// Length code 285 of Deflate64 with its 16 extra bits at the edges of their range, each
// match between runs of literals long enough that the fast loop decodes it: the extra bits
// must come out whole, neither cut to fewer bits nor mixed with the bits after them.
TEST_P(InflateTest, Deflate64SixteenLengthExtraBitsDecodeWholeInTheFastLoop) {
    StreamWriter w;
    BlockWriter b = fixedblock(w, true);
    size_t size = 0;
    auto literals = [&](int n) {
        for (int i = 0; i < n; i++, size++) b.literal(size % 2 ? 'b' : 'a');
    };
    literals(64);
    for (unsigned extra : {0u, 1u, 0x7FFFu, 0x8000u, 0xFFFEu, 0xFFFFu}) {
        b.match(285, extra, 16, 1, 0, 0); // length 3 + extra at distance 2
        size += 3 + extra;
        literals(64);
    }
    b.end();
    Options o;
    o.deflate64 = true;
    Decoded run = inflate(w.bytes, o);
    EXPECT_EQ(run.result, kInflateOk);
    ASSERT_EQ(run.output.size(), size);
    for (size_t i = 0; i < size; i++) ASSERT_EQ(run.output[i], i % 2 ? 'b' : 'a') << i;
}

// History of `size` bytes followed by a fixed block with one match at a distance code.
Bytes farmatch(const Bytes& history, int distcode, unsigned extra, bool longmatch = false) {
    StreamWriter w;
    w.stored(false, Bytes(history.begin(), history.begin() + 60000));
    w.stored(false, Bytes(history.begin() + 60000, history.end()));
    BlockWriter b = fixedblock(w, true);
    if (longmatch)
        b.match(270, 2, 2, distcode, extra, 14); // length 25
    else
        b.match(265, 1, 1, distcode, extra, 14); // length 12
    b.end();
    return w.bytes;
}

TEST_P(InflateTest, DistanceCodes30And31OnlyExistInDeflate64) {
    Bytes history = pattern(65536, 11);
    struct Case {
        int code;
        unsigned extra, distance;
    } cases[] = {{30, 0, 32769}, {30, 16383, 49152}, {31, 0, 49153}, {31, 16383, 65536}};
    for (const Case& c : cases) {
        for (bool longmatch : {false, true}) { // the byte loop and the word copies
            size_t length = longmatch ? 25 : 12;
            Bytes stream = farmatch(history, c.code, c.extra, longmatch);
            EXPECT_EQ(inflate(stream).result, kInflateTruncatedOrInvalid) << c.distance;
            Options o;
            o.deflate64 = true;
            Decoded run = inflate(stream, o);
            ASSERT_EQ(run.result, kInflateOk) << c.distance;
            ASSERT_EQ(run.output.size(), 65536u + length);
            Bytes expected(run.output.begin() + 65536 - c.distance,
                           run.output.begin() + 65536 - c.distance + length);
            // Distance 65,536 reaches the byte the match itself starts to overwrite.
            EXPECT_EQ(Bytes(run.output.begin() + 65536, run.output.end()), expected) << c.distance;
        }
    }
}

TEST_P(InflateTest, DeflateThenDeflate64MembersUseTheirOwnFixedTables) {
    StreamWriter w;
    BlockWriter b = fixedblock(w, true);
    b.literal('q');
    b.match(285, 0, 16, 0, 0, 0); // Deflate: 258 bytes; Deflate64: 3 + 0 bytes
    b.end();
    Decoded first = inflate(w.bytes);
    Options o;
    o.deflate64 = true;
    Decoded second = inflate(w.bytes, o);
    Decoded third = inflate(w.bytes);
    EXPECT_EQ(first.output, Bytes(259, 'q'));
    EXPECT_EQ(second.output, Bytes(4, 'q'));
    EXPECT_EQ(third.output, first.output);
    EXPECT_EQ(releasefixedcodes(), 0);
    EXPECT_EQ(inflate(w.bytes, o).output, Bytes(4, 'q')); // rebuilt after the release
}

TEST_P(InflateTest, LengthCodes286And287FailOnlyWhenUsed) {
    for (int code : {286, 287}) {
        StreamWriter w;
        BlockWriter b = fixedblock(w, true);
        b.literal('a');
        b.symbol(code);
        b.w.put(0, 13);
        EXPECT_EQ(inflate(w.bytes).result, kInflateTruncatedOrInvalid);
    }
}

TEST_P(InflateTest, DistanceBeforeTheFirstByteFails) {
    for (bool d64 : {false, true}) {
        StreamWriter w;
        BlockWriter b = fixedblock(w, true);
        b.match(257, 0, 0, 29, 8191, 13); // length 3, distance 32,768, nothing decoded yet
        b.end();
        Options o;
        o.deflate64 = d64;
        Decoded run = inflate(w.bytes, o);
        EXPECT_EQ(run.result, kInflateTruncatedOrInvalid) << d64;
        EXPECT_TRUE(run.flushes.empty()) << d64;
    }
}

TEST_P(InflateTest, ADistanceMayReachTheFirstByteButNotBeforeIt) {
    // Produced bytes and the longest distance each variant can code for them; at 70,000 the
    // first window has been flushed and the distance reaches back into it.
    struct Case {
        bool d64;
        size_t produced;
    } cases[] = {{false, 0}, {false, 1}, {false, 4},  {false, 300},  {false, 32767}, {false, 70000},
                 {true, 0},  {true, 1},  {true, 300}, {true, 32768}, {true, 65535},  {true, 70000}};
    for (const Case& c : cases) {
        unsigned longest = c.d64 ? 65536 : 32768;
        unsigned reach = (unsigned)std::min<size_t>(c.produced, longest);
        for (unsigned distance : {reach, (unsigned)c.produced + 1}) {
            if (distance == 0 || distance > longest) continue;
            Bytes expected;
            Bytes stream = matchafter(c.produced, distance, &expected);
            bool valid = distance <= c.produced;
            for (size_t block : {(size_t)1, stream.size()}) { // the careful and the fast loop
                Options o;
                o.deflate64 = c.d64;
                o.blocksize = block;
                Decoded run = inflate(stream, o);
                SCOPED_TRACE(::testing::Message()
                             << "deflate64 " << c.d64 << " produced " << c.produced << " distance "
                             << distance << " block " << block);
                if (valid) {
                    EXPECT_EQ(run.result, kInflateOk);
                    EXPECT_TRUE(run.output == expected);
                } else {
                    EXPECT_EQ(run.result, kInflateTruncatedOrInvalid);
                    EXPECT_EQ(run.output.size(),
                              c.produced / kInflateWindowSize * kInflateWindowSize);
                }
            }
        }
    }
}

// ---- Match copies near their slack ---------------------------------------------------

// The length code, extra-bit value and extra-bit count of a length 3..258; Deflate64
// writes 258 with code 285 as 3 + 255.
void lengthcode(unsigned length, bool deflate64, int* code, unsigned* extra, int* bits) {
    if (length == 258) {
        *code = 285, *extra = deflate64 ? 255 : 0, *bits = deflate64 ? 16 : 0;
        return;
    }
    unsigned base = 3;
    for (int c = 257; c < 285; c++) {
        int width = c < 265 ? 0 : (c - 261) / 4;
        if (length < base + (1u << width)) {
            *code = c, *extra = length - base, *bits = width;
            return;
        }
        base += 1u << width;
    }
}

struct Match {
    unsigned length, distance;
};

// Decodes a stream handed over as one input block.
Decoded inflatewhole(const Bytes& stream, bool deflate64) {
    Options o;
    o.deflate64 = deflate64;
    o.blocksize = stream.size();
    return inflate(stream, o);
}

// Starts a member with `produced` pattern bytes in stored blocks; *expected receives them.
void storedprefix(StreamWriter& w, size_t produced, unsigned seed, Bytes* expected) {
    *expected = pattern(produced, seed);
    for (size_t at = 0; at < produced; at += 40000)
        w.stored(false, Bytes(expected->begin() + (long)at,
                              expected->begin() + (long)std::min(produced, at + 40000)));
}

// Ends the last block with 64 pattern literals and the end code.
void literaltail(BlockWriter& b, size_t produced, Bytes* expected) {
    for (unsigned char c : pattern(64, (unsigned)produced)) {
        b.literal(c);
        expected->push_back(c);
    }
    b.end();
}

// `produced` bytes in stored blocks, then a fixed block with the given matches and 64
// literals, so that the fast loop decodes the matches. *expected receives the decoded
// bytes, the matches copied byte by byte.
Bytes matchesafter(size_t produced, bool deflate64, std::initializer_list<Match> matches,
                   Bytes* expected) {
    StreamWriter w;
    storedprefix(w, produced, (unsigned)produced + 7, expected);
    BlockWriter b = fixedblock(w, true);
    for (const Match& m : matches) {
        int lcode = 0, lbits = 0, dcode = 0, dbits = 0;
        unsigned lextra = 0, dextra = 0;
        lengthcode(m.length, deflate64, &lcode, &lextra, &lbits);
        distancecode(m.distance, &dcode, &dextra, &dbits);
        b.match(lcode, lextra, lbits, dcode, dextra, dbits);
        for (unsigned i = 0; i < m.length; i++)
            expected->push_back((*expected)[expected->size() - m.distance]);
    }
    literaltail(b, produced, expected);
    return w.bytes;
}

TEST_P(InflateTest, ADeflate64DistanceReadsTheBytesBehindAWordCopyAsTheyWere) {
    // After the first window, the bytes ahead of the position are those of 65,536 bytes
    // before, which a Deflate64 distance reaches. A word copy writes up to kInflateCopySlack
    // bytes past its match; a second match that starts right after it reads each of those
    // bytes, at distances from 65,536 down to 65,536 - kInflateCopySlack.
    for (unsigned length : {3u, 4u, 23u, 24u, 25u, 258u}) {
        for (unsigned distance : {8u, 9u, 24u, 25u, 300u}) {
            for (unsigned k = 0; k <= kInflateCopySlack; k++) {
                Bytes expected;
                Bytes stream =
                    matchesafter(70000, true, {{length, distance}, {3, 65536 - k}}, &expected);
                Decoded run = inflatewhole(stream, true);
                ASSERT_EQ(run.result, kInflateOk) << length << " " << distance << " " << k;
                ASSERT_TRUE(run.output == expected) << length << " " << distance << " " << k;
            }
        }
    }
}

TEST_P(InflateTest, WordCopiesFromBeforeTheLastFlushStopAtTheWindowsEnd) {
    // A source in the window's older part is copied in words when it ends, with the copy
    // slack, before the window's end; a match whose source ends later, or wraps past the
    // end, goes through the careful copy. Around that edge the output stays exact.
    const unsigned position = 1000; // window position of the match, after one full window
    for (bool d64 : {false, true}) {
        for (unsigned length : {3u, 24u, 258u}) {
            for (int past = -2; past <= 2; past++) {
                // The source starts at position + 65,536 - distance and ends, with the
                // slack, `past` bytes beyond the window's end.
                unsigned distance = position + length + kInflateCopySlack + past;
                Bytes expected;
                Bytes stream = matchesafter(kInflateWindowSize + position, d64,
                                            {{length, distance}, {3, 8}}, &expected);
                Decoded run = inflatewhole(stream, d64);
                SCOPED_TRACE(::testing::Message()
                             << "deflate64 " << d64 << " length " << length << " past " << past);
                ASSERT_EQ(run.result, kInflateOk);
                ASSERT_TRUE(run.output == expected);
            }
        }
    }
}

TEST_P(InflateTest, WordCopiesAtTheFastLoopsCopyEndStayInTheWindow) {
    // A match that ends exactly at the copy end is copied in words, its slack reaching the
    // window's end; one that ends a byte later takes the careful copy. Around that edge, for
    // short, one-word, just-longer and the longest matches, the output and the flushes stay
    // exact, in both variants.
    for (bool d64 : {false, true}) {
        for (unsigned length : {3u, 8u, 40u, 41u, 258u}) {
            unsigned edge = kInflateFastCopyEnd - length;
            for (unsigned position = edge - 3; position <= edge + 3; position++) {
                for (unsigned distance : {1u, 7u, 8u, 300u}) {
                    Bytes expected;
                    Bytes stream = matchesafter(kInflateWindowSize + position, d64,
                                                {{length, distance}, {3, 8}}, &expected);
                    Decoded run = inflatewhole(stream, d64);
                    SCOPED_TRACE(::testing::Message()
                                 << "deflate64 " << d64 << " length " << length << " position "
                                 << position << " distance " << distance);
                    ASSERT_EQ(run.result, kInflateOk);
                    ASSERT_TRUE(run.output == expected);
                    ASSERT_EQ(run.flushes, windowflushes(expected.size()));
                }
            }
        }
    }
}

// `produced` bytes in stored blocks, then 64 literals of a dynamic block whose codes (8 and 9
// bits) all sit in the first-level table, so that the fast loop writes three in a round.
Bytes literalsafter(size_t produced, Bytes* expected) {
    StreamWriter w;
    storedprefix(w, produced, (unsigned)produced + 3, expected);
    std::vector<int> lit(257, 8); // 255 literals of 8 bits, one and the end code of 9
    lit[255] = lit[256] = 9;
    BlockWriter b = dynamicblock(w, true, lit, lengths(2, {{0, 1}, {1, 1}}));
    literaltail(b, produced, expected);
    return w.bytes;
}

TEST_P(InflateTest, LiteralRoundsAtTheFastLoopsWindowLimitEndInTheWindow) {
    // A round of literals that starts one byte below the limit fills the window to its last
    // byte; from the limit on the careful loop writes them and flushes the full window.
    // Rounds start every three bytes from the position, so some start at each of them.
    for (bool d64 : {false, true}) {
        for (unsigned position = kInflateFastWindowLimit - 3;
             position <= kInflateFastWindowLimit + 3; position++) {
            Bytes expected;
            Bytes stream = literalsafter(kInflateWindowSize + position, &expected);
            Decoded run = inflatewhole(stream, d64);
            ASSERT_EQ(run.result, kInflateOk) << position;
            ASSERT_TRUE(run.output == expected) << position;
            ASSERT_EQ(run.flushes, windowflushes(expected.size())) << position;
        }
    }
}

// ---- Dynamic blocks and code sets ----------------------------------------------------

TEST_P(InflateTest, DynamicBlockWithLiteralsOnlyNeedsNoDistanceCodes) {
    StreamWriter w;
    BlockWriter b = dynamicblock(w, true, lengths(257, {{'h', 2}, {'i', 2}, {'!', 2}, {256, 2}}),
                                 std::vector<int>(1, 0));
    for (char c : std::string("hi!hih")) b.literal(c);
    b.end();
    Decoded run = inflate(w.bytes);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.output, text("hi!hih"));
}

TEST_P(InflateTest, NoDistanceCodesWithLengthCodesFails) {
    for (int quiet : {0, 1}) {
        StreamWriter w;
        BlockWriter b = dynamicblock(w, true, lengths(258, {{'a', 1}, {256, 2}, {257, 2}}),
                                     std::vector<int>(1, 0));
        b.literal('a');
        b.end();
        Options o;
        o.quietlevel = quiet;
        Decoded run = inflate(w.bytes, o);
        EXPECT_EQ(run.result, kInflateTruncatedOrInvalid);
        EXPECT_EQ(run.messages, quiet ? std::vector<std::string>{}
                                      : std::vector<std::string>{"(incomplete d-tree)  "});
    }
}

TEST_P(InflateTest, IncompleteDistanceSetDecodes) {
    StreamWriter w;
    BlockWriter b =
        dynamicblock(w, true, lengths(258, {{'a', 1}, {256, 2}, {257, 2}}), lengths(2, {{0, 2}}));
    b.literal('a');
    b.match(257, 0, 0, 0, 0, 0);
    b.end();
    Options o;
    o.quietlevel = 0;
    Decoded run = inflate(w.bytes, o);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.output, text("aaaa"));
    EXPECT_TRUE(run.messages.empty());
}

TEST_P(InflateTest, IncompleteLiteralSetFails) {
    for (int quiet : {0, 1}) {
        StreamWriter w;
        BlockWriter b =
            dynamicblock(w, true, lengths(257, {{'a', 2}, {256, 2}}), std::vector<int>(1, 0));
        b.literal('a');
        b.end();
        Options o;
        o.quietlevel = quiet;
        Decoded run = inflate(w.bytes, o);
        EXPECT_EQ(run.result, kInflateTruncatedOrInvalid);
        EXPECT_TRUE(run.output.empty());
        EXPECT_EQ(run.messages, quiet ? std::vector<std::string>{}
                                      : std::vector<std::string>{"(incomplete l-tree)  "});
    }
}

TEST_P(InflateTest, EndCodeAloneWithOneBitIsAccepted) {
    StreamWriter w;
    BlockWriter b = dynamicblock(w, true, lengths(257, {{256, 1}}), std::vector<int>(1, 0));
    b.end();
    Decoded run = inflate(w.bytes);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_TRUE(run.output.empty());
    EXPECT_EQ(run.flushes, std::vector<unsigned>{0});
}

TEST_P(InflateTest, OversubscribedSetsAreInvalid) {
    StreamWriter lit;
    dynamicblock(lit, true, lengths(257, {{'a', 1}, {'b', 1}, {256, 1}}), std::vector<int>(1, 0));
    EXPECT_EQ(inflate(lit.bytes).result, kInflateReservedOrOversubscribed);

    StreamWriter dist;
    dynamicblock(dist, true, lengths(258, {{'a', 1}, {256, 2}, {257, 2}}),
                 lengths(3, {{0, 1}, {1, 1}, {2, 1}}));
    EXPECT_EQ(inflate(dist.bytes).result, kInflateReservedOrOversubscribed);

    StreamWriter codelength; // 19 code-length codes of one bit each
    codelength.header(true, 2);
    codelength.put(0, 5);
    codelength.put(0, 5);
    codelength.put(15, 4);
    for (int i = 0; i < 19; i++) codelength.put(1, 3);
    EXPECT_EQ(inflate(codelength.bytes).result, kInflateReservedOrOversubscribed);
}

TEST_P(InflateTest, CodeLengthCodeMustBeCompleteAndNotEmpty) {
    for (int len : {0, 2}) { // all lengths zero; or a single code of two bits
        StreamWriter w;
        w.header(true, 2);
        w.put(0, 5);
        w.put(0, 5);
        w.put(0, 4);
        w.put(len, 3);
        for (int i = 1; i < 4; i++) w.put(0, 3);
        w.put(0, 16);
        EXPECT_EQ(inflate(w.bytes).result, kInflateTruncatedOrInvalid) << len;
    }
}

// A dynamic header whose code-length code gives the four `symbols` two bits each; the
// lengths themselves follow as code-length symbols.
struct LengthsWriter {
    StreamWriter w;
    std::vector<unsigned> code;

    LengthsWriter(unsigned hlit, unsigned hdist, std::initializer_list<int> symbols) {
        std::vector<int> cl(19, 0);
        for (int s : symbols) cl[s] = 2;
        code = canonicalcodes(cl);
        w.header(true, 2);
        w.put(hlit - 257, 5);
        w.put(hdist - 1, 5);
        w.put(19 - 4, 4);
        const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        for (int s : order) w.put(cl[s], 3);
    }
    void symbol(int s, unsigned extra = 0) {
        w.code(code[s], 2);
        if (s >= 16) w.put(extra, s == 16 ? 2 : s == 17 ? 3 : 7);
    }
    // Lengths 0..140 zero (a leading 16 repeats the initial zero), 141 one bit, 142..255
    // zero, 256 given by `eob`.
    void literalpart(int eob) {
        symbol(16, 0);   // 3 zeros
        symbol(18, 127); // 138 zeros
        symbol(1);       // 141
        symbol(18, 103); // 114 zeros
        symbol(eob);     // 256
    }
};

TEST_P(InflateTest, LengthRepeatsMayCrossIntoDistancesButNotPastTheEnd) {
    {
        LengthsWriter l(257, 2, {1, 16, 17, 18});
        l.literalpart(1);
        l.symbol(1);     // distance 0
        l.symbol(16, 0); // three repeats, one entry left
        EXPECT_EQ(inflate(l.w.bytes).result, kInflateTruncatedOrInvalid);
    }
    {
        LengthsWriter l(257, 2, {1, 16, 17, 18});
        l.literalpart(1);
        l.symbol(17, 0); // three zeros, two entries left
        EXPECT_EQ(inflate(l.w.bytes).result, kInflateTruncatedOrInvalid);
    }
    {
        LengthsWriter l(258, 2, {1, 2, 16, 18});
        l.literalpart(2);
        l.symbol(16, 0); // 257 and both distance codes get two bits
        BlockWriter b(l.w, lengths(258, {{141, 1}, {256, 2}, {257, 2}}),
                      lengths(2, {{0, 2}, {1, 2}}));
        b.literal(141);
        b.literal(141);
        b.match(257, 0, 0, 1, 0, 0); // length 3 at distance 2
        b.end();
        Decoded run = inflate(l.w.bytes);
        EXPECT_EQ(run.result, kInflateOk);
        EXPECT_EQ(run.output, Bytes(5, 141));
    }
}

TEST_P(InflateTest, FinalBlockOfOnlyTheEndCodeDecodesWhateverItsLength) {
    for (int eob = 1; eob <= 15; eob++) {
        // Lengths 1, 2, ..., eob - 1, eob, eob: a complete set with the end code at eob.
        std::vector<int> lit(257, 0);
        for (int i = 1; i < eob; i++) lit['a' + i - 1] = i;
        lit[256] = eob;
        if (eob > 1) lit['a' + eob - 1] = eob;
        StreamWriter w;
        w.stored(false, text("xy"));
        BlockWriter b = dynamicblock(w, true, lit, std::vector<int>(1, 0));
        b.end();
        Decoded run = inflate(w.bytes);
        EXPECT_EQ(run.result, kInflateOk) << eob;
        EXPECT_EQ(run.output, text("xy")) << eob;
        EXPECT_EQ(run.consumed, w.bytes.size()) << eob;
    }
}

TEST_P(InflateTest, ShortLastCodesNeedNoInputBeyondTheStream) {
    // The distance set is six bits wide but the last match uses a one-bit distance code and
    // the end code has one bit, and the stream ends on a byte boundary right after it: fewer
    // than six bits follow the match. Looking ahead must not count as running out of data.
    std::vector<int> dist = {1, 2, 3, 4, 5, 6, 6};
    for (int prefix = 0; prefix < 4; prefix++) {
        StreamWriter w;
        BlockWriter b = dynamicblock(w, true, lengths(258, {{256, 1}, {'z', 2}, {257, 2}}), dist);
        for (int i = 0; i <= prefix; i++) b.literal('z');
        b.match(257, 0, 0, 0, 0, 0); // length 3, distance 1
        b.end();
        if (w.bits != 0) continue; // only streams that end on a byte boundary
        Decoded run = inflate(w.bytes);
        EXPECT_EQ(run.result, kInflateOk);
        EXPECT_EQ(run.output, Bytes(prefix + 4, 'z'));
        EXPECT_EQ(run.consumed, w.bytes.size());
        return;
    }
    FAIL() << "no prefix length ends the stream on a byte boundary";
}

// ---- Truncation and input blocks -----------------------------------------------------

// A stream using every block type, matches that wrap, and Deflate64 codes.
Bytes mixedstream(bool deflate64) {
    StreamWriter w;
    Bytes data = pattern(70000, 5);
    w.stored(false, Bytes(data.begin(), data.begin() + 35000));
    w.stored(false, Bytes(data.begin() + 35000, data.end()));
    BlockWriter f = fixedblock(w, false);
    for (int i = 0; i < 40; i++) f.literal((unsigned char)('a' + i % 7));
    f.match(270, 2, 2, 12, 17, 5);
    if (deflate64) f.match(285, 1000, 16, 30, 123, 14);
    f.end();
    std::vector<int> lit(286, 0);
    for (int s = 0; s < 286; s++) lit[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    lit[284] = lit[285] = 7; // complete without 286 and 287
    BlockWriter d = dynamicblock(w, true, lit, std::vector<int>(30, 5));
    for (int i = 0; i < 300; i++) d.literal((unsigned char)(i * 7));
    d.match(280, 5, 4, 29, 4000, 13);
    d.end();
    return w.bytes;
}

TEST_P(InflateTest, BlockBoundariesOfTheInputDoNotChangeTheResult) {
    for (bool d64 : {false, true}) {
        Bytes stream = mixedstream(d64);
        Options o;
        o.deflate64 = d64;
        Decoded whole = inflate(stream, o);
        ASSERT_EQ(whole.result, kInflateOk);
        for (size_t block : {1, 2, 3, 7, 16, 47, 48, 49, 100, 8192}) {
            o.blocksize = block;
            Decoded run = inflate(stream, o);
            EXPECT_EQ(run.result, kInflateOk) << block;
            EXPECT_EQ(run.output, whole.output) << block;
            EXPECT_EQ(run.flushes, whole.flushes) << block;
            EXPECT_EQ(run.consumed, stream.size()) << block;
        }
    }
}

TEST_P(InflateTest, EveryCutOfAStreamFailsCleanly) {
    for (bool d64 : {false, true}) {
        Bytes stream = mixedstream(d64);
        Options o;
        o.deflate64 = d64;
        o.keepoutput = false;
        for (size_t cut = 0; cut < stream.size(); cut += cut < 70000 ? 997 : 1) {
            for (size_t block : {5, 8192}) {
                o.blocksize = block;
                Decoded run = inflate(stream.data(), cut, o);
                ASSERT_TRUE(run.result == kInflateTruncatedOrInvalid ||
                            run.result == kInflateReservedOrOversubscribed)
                    << "cut " << cut << " result " << run.result;
            }
        }
    }
}

TEST_P(InflateTest, UnusedBytesAfterTheStreamStayInTheCursor) {
    StreamWriter w;
    BlockWriter b = fixedblock(w, true);
    for (int i = 0; i < 500; i++) b.literal((unsigned char)i);
    b.end();
    size_t used = w.bytes.size();
    Bytes stream = w.bytes;
    stream.insert(stream.end(), 100, 0xEE);
    Decoded run = inflate(stream);
    EXPECT_EQ(run.result, kInflateOk);
    EXPECT_EQ(run.consumed, used);
    EXPECT_EQ(run.readbytecalls, 1);
}

} // namespace
