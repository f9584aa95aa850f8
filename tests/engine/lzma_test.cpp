// Tests of unlzma on streams built symbol by symbol (tests/support/lzmawriter.h): each
// decoder rule, the end of a member with and without an end marker, distances at the edge of
// what is decoded and of the buffer, the dictionary limit, headers it refuses, every cut of
// a stream, and output in flush blocks.
#include "tests/support/inflatedriver.h"
#include "tests/support/lzmawriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using inflatedriver::Decoded;
using lzmawriter::Bytes;
using lzmawriter::Writer;

Decoded decode(const Bytes& data, size_t size, bool endmarker = false, size_t block = 8192) {
    inflatedriver::Options o;
    o.blocksize = block;
    return inflatedriver::unlzma(data.data(), data.size(), (unsigned)size, endmarker, o);
}

void text(Writer& w, const char* s) {
    while (*s) w.literal((unsigned char)*s++);
}

struct RuleCase {
    const char* name;
    std::function<void(Writer&)> symbols;
    int result;      // of decoding the writer's output size, end marker flag as given
    bool endmarker;  // general purpose bit 1
    long sizechange; // the stated size less the bytes written
};

// Each rule of the decoder in a short stream; results are checked against the writer's
// output, which follows the same rule independently.
const RuleCase kRules[] = {
    {"Literals", [](Writer& w) { text(w, "plain literals"); }, kLzmaOk, false, 0},
    {"MatchThenMatchedLiteral",
     [](Writer& w) {
         text(w, "abcdefgh");
         w.match(8, 6);
         w.literal('x'); // differs from the byte at the latest distance ('g')
         w.match(3, 2);
         w.literal('b'); // agrees with it
     },
     kLzmaOk, false, 0},
    {"OverlappingMatchRepeatsARun",
     [](Writer& w) {
         text(w, "ab");
         w.match(2, 273);
     },
     kLzmaOk, false, 0},
    {"ShortRep",
     [](Writer& w) {
         text(w, "xyz");
         w.match(3, 3);
         w.shortrep();
         w.shortrep();
     },
     kLzmaOk, false, 0},
    {"LongRepsRotate",
     [](Writer& w) {
         text(w, "0123456789abcdef");
         w.match(16, 2);
         w.match(7, 3);
         w.match(11, 4);
         w.match(5, 5); // reps now 5, 11, 7, 16
         w.rep(3, 6);   // 16 up front
         w.rep(2, 7);   // 7
         w.rep(1, 8);   // 16
         w.rep(0, 9);
     },
     kLzmaOk, false, 0},
    {"EveryLengthCoder",
     [](Writer& w) {
         text(w, "length coders");
         for (unsigned length : {2u, 9u, 10u, 17u, 18u, 273u}) w.match(13, length);
     },
     kLzmaOk, false, 0},
    {"EveryDistanceKind",
     [](Writer& w) { // slots below 4, modelled slots, direct bits with the align bits
         for (int i = 0; i < 5000; i++) w.literal((unsigned char)(i * 7 + i / 13));
         for (unsigned distance : {1u, 4u, 5u, 100u, 128u, 129u, 4999u, 5000u})
             w.match(distance, 2);
     },
     kLzmaOk, false, 0},
    {"EndMarkerAtTheSize",
     [](Writer& w) {
         text(w, "marked");
         w.endmarker();
     },
     kLzmaOk, true, 0},
    {"EndMarkerWithoutBitOne",
     [](Writer& w) {
         text(w, "marked");
         w.endmarker();
     },
     kLzmaOk, false, 0},
    {"EndMarkerBeforeTheSizeEndsTheData",
     [](Writer& w) {
         text(w, "short");
         w.endmarker();
     },
     kLzmaOk, false, 10},
    {"BitOneWithoutEndMarker", [](Writer& w) { text(w, "unmarked"); }, kLzmaTruncatedOrInvalid,
     true, 0},
    {"SymbolPastTheSizeInsteadOfTheMarker", [](Writer& w) { text(w, "one too many"); },
     kLzmaTruncatedOrInvalid, true, -1},
    {"SymbolPastTheSizeWithoutBitOne", [](Writer& w) { text(w, "one too many"); },
     kLzmaTruncatedOrInvalid, false, -1},
    {"MatchPastTheSize",
     [](Writer& w) {
         text(w, "abc");
         w.match(3, 3);
     },
     kLzmaTruncatedOrInvalid, false, -1},
    {"MatchAtTheFirstByte",
     [](Writer& w) {
         text(w, "edge");
         w.match(4, 2);
     },
     kLzmaOk, false, 0},
    {"MatchBeforeTheFirstByte",
     [](Writer& w) {
         text(w, "edge");
         w.match(5, 2);
     },
     kLzmaTruncatedOrInvalid, false, 0},
    {"RepBeforeAnyMatch",
     [](Writer& w) {
         w.rep(0, 2); // the latest distance starts as 1; nothing is decoded yet
     },
     kLzmaTruncatedOrInvalid, false, 0},
    {"ShortRepAtTheStart", [](Writer& w) { w.shortrep(); }, kLzmaTruncatedOrInvalid, false, 0},
};

class LzmaRules : public ::testing::TestWithParam<RuleCase> {};
INSTANTIATE_TEST_SUITE_P(Streams, LzmaRules, ::testing::ValuesIn(kRules),
                         [](const ::testing::TestParamInfo<RuleCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_P(LzmaRules, DecodeAsTheWriterCodedThem) {
    const RuleCase& c = GetParam();
    Writer w;
    c.symbols(w);
    Bytes data = w.finish();
    size_t size = w.output.size() + c.sizechange;
    for (size_t block : {size_t(8192), size_t(1)}) {
        Decoded run = decode(data, size, c.endmarker, block);
        EXPECT_EQ(run.result, c.result) << "input blocks of " << block;
        if (c.result != kLzmaOk) continue;
        size_t expected = c.sizechange > 0 ? w.output.size() : size;
        EXPECT_EQ(run.output, Bytes(w.output.begin(), w.output.begin() + expected));
        EXPECT_EQ(run.consumed, data.size()) << "the stream is used up to its last byte";
    }
}

// Every combination of lc, lp and pb within lc + lp <= 4, with literals whose contexts
// differ by position and previous byte.
TEST(Lzma, LiteralAndPositionContexts) {
    for (unsigned lc = 0; lc <= 4; lc++)
        for (unsigned lp = 0; lc + lp <= 4; lp++)
            for (unsigned pb = 0; pb <= 4; pb++) {
                Writer w(lc, lp, pb);
                for (int i = 0; i < 300; i++) w.literal((unsigned char)(i * 37 ^ i >> 3));
                w.match(300, 20);
                w.shortrep();
                Decoded run = decode(w.finish(), w.output.size());
                ASSERT_EQ(run.result, kLzmaOk) << lc << " " << lp << " " << pb;
                EXPECT_EQ(run.output, w.output);
            }
}

// The header's fields: a properties size other than 5, a property byte past 224, lc + lp
// above 4, and a range coder whose first byte is not zero.
TEST(Lzma, RefusesHeadersItCannotRead) {
    Writer w;
    text(w, "header");
    Bytes good = w.finish();
    ASSERT_EQ(decode(good, 6).result, kLzmaOk);
    struct Change {
        size_t at;
        unsigned char value;
        int result;
    } changes[] = {
        {2, 4, kLzmaBadHeader},                           // properties size
        {3, 1, kLzmaBadHeader},                           // its high byte
        {4, 225, kLzmaBadHeader},                         // past lc 8, lp 4, pb 4
        {4, 4 + 9 * 1, kLzmaBadHeader},                   // lc 4, lp 1
        {4, 8, kLzmaBadHeader},                           // lc 8
        {9, 1, kLzmaTruncatedOrInvalid},                  // the coder's first byte
        {4, 3 + 9 * 1 + 45 * 4, kLzmaTruncatedOrInvalid}, // lc 3, lp 1, pb 4: valid, other data
    };
    for (const Change& c : changes) {
        Bytes bad = good;
        bad[c.at] = c.value;
        EXPECT_EQ(decode(bad, 6).result, c.result) << c.at << " " << unsigned(c.value);
    }
}

// Every proper prefix of a stream fails; what was flushed before is a prefix of the data.
TEST(Lzma, EveryCutFails) {
    Writer w(3, 0, 2, 1u << 20);
    for (int i = 0; i < 70000; i++) w.literal((unsigned char)(i % 251));
    w.match(65536, 273);
    w.rep(0, 100);
    Writer marked;
    text(marked, "the end marker follows");
    marked.endmarker();
    struct Stream {
        Writer* writer;
        bool endmarker;
    } streams[] = {{&w, false}, {&marked, true}};
    for (const Stream& s : streams) {
        Bytes data = s.writer->finish();
        const Bytes& output = s.writer->output;
        ASSERT_EQ(decode(data, output.size(), s.endmarker).result, kLzmaOk);
        size_t step = data.size() > 1000 ? 97 : 1;
        for (size_t cut = 0; cut < data.size(); cut += cut + step < data.size() ? step : 1) {
            Decoded run =
                decode(Bytes(data.begin(), data.begin() + cut), output.size(), s.endmarker, 1000);
            ASSERT_NE(run.result, kLzmaOk) << cut;
            ASSERT_TRUE(std::equal(run.output.begin(), run.output.end(), output.begin()));
        }
    }
}

// A buffer larger than the window: the dictionary's first byte is reachable, one further is
// not, though it was decoded; output comes in flush blocks.
TEST(Lzma, DistanceAtTheBufferEdgeAfterItWraps) {
    const uint32_t dictionary = kInflateWindowSize + 1;
    for (uint32_t distance : {dictionary, dictionary + 1}) {
        Writer w(3, 0, 2, dictionary);
        for (uint32_t i = 0; i < dictionary + 3000; i++) w.literal((unsigned char)(i * 13 >> 4));
        w.match(distance, 5);
        Decoded run = decode(w.finish(), w.output.size());
        if (distance == dictionary) {
            ASSERT_EQ(run.result, kLzmaOk);
            EXPECT_EQ(run.output, w.output);
            for (unsigned n : run.flushes) EXPECT_LE(n, unsigned(kLzmaFlushBlock));
        } else {
            EXPECT_EQ(run.result, kLzmaTruncatedOrInvalid);
        }
    }
}

// The buffer is min(dictionary, size): the limit refuses only a buffer above it, before any
// data is decoded (a buffer at the limit is allocated, and the short stream then ends).
TEST(Lzma, DictionaryLimitAppliesToTheBuffer) {
    const uint32_t limit = kLzmaDictionaryLimit;
    struct Case {
        uint32_t dictionary, size;
        int result;
    } cases[] = {
        {limit, limit + 1, kLzmaTruncatedOrInvalid},
        {limit + 1, limit, kLzmaTruncatedOrInvalid},
        {limit + 1, limit + 1, kLzmaDictionaryTooLarge},
        {0xFFFFFFFF, 100, kLzmaOk},
    };
    for (const Case& c : cases) {
        Writer w(3, 0, 2, c.dictionary);
        for (int i = 0; i < 100; i++) w.literal((unsigned char)i);
        Decoded run = decode(w.finish(), c.size);
        EXPECT_EQ(run.result, c.result) << c.dictionary << " " << c.size;
        if (c.result == kLzmaDictionaryTooLarge) {
            EXPECT_EQ(run.produced, 0u);
        }
    }
}

// A failing flush ends decoding with its code.
TEST(Lzma, FlushOutputCodePassesThrough) {
    Writer w(3, 0, 2, 1u << 20);
    for (int i = 0; i < 200000; i++) w.literal((unsigned char)(i >> 5));
    inflatedriver::Options o;
    o.failflushat = 1;
    o.failcode = 50;
    Bytes data = w.finish();
    Decoded run = inflatedriver::unlzma(data.data(), data.size(), 200000, false, o);
    EXPECT_EQ(run.result, 50);
    EXPECT_EQ(run.flushes.size(), 1u);
}

} // namespace
