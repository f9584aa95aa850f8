// Tests of makecodetables: every code of random complete sets decodes through the tables to
// its symbol with exactly its length, the end code ends on a table boundary, and the
// results for empty, incomplete and over-subscribed sets.
#include "engine/codetables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// Complete code lengths for n symbols: starting from one empty code, a random code shorter
// than 15 bits is split in two until there are `codes` codes; they go to random symbols.
std::vector<unsigned char> randomlengths(std::mt19937& rnd, unsigned n, unsigned codes) {
    std::vector<unsigned> leaves = {0};
    while (leaves.size() < codes) {
        size_t pick = rnd() % leaves.size();
        if (leaves[pick] >= 15) continue;
        leaves[pick]++;
        leaves.push_back(leaves[pick]);
    }
    std::vector<unsigned> symbols(n);
    for (unsigned s = 0; s < n; s++) symbols[s] = s;
    std::shuffle(symbols.begin(), symbols.end(), rnd);
    std::vector<unsigned char> lengths(n, 0);
    for (size_t i = 0; i < leaves.size(); i++) lengths[symbols[i]] = (unsigned char)leaves[i];
    return lengths;
}

// Canonical codes, bit-reversed as they arrive from the input.
std::vector<unsigned> reversedcodes(const std::vector<unsigned char>& lengths) {
    unsigned count[16] = {0}, next[16] = {0};
    for (unsigned char len : lengths) count[len]++;
    count[0] = 0;
    for (unsigned len = 1, code = 0; len < 16; len++)
        next[len] = code = (code + count[len - 1]) << 1;
    std::vector<unsigned> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); s++) {
        if (!lengths[s]) continue;
        unsigned c = next[lengths[s]]++, r = 0;
        for (unsigned i = 0; i < lengths[s]; i++, c >>= 1) r = r << 1 | (c & 1);
        codes[s] = r;
    }
    return codes;
}

// Walks the tables with the given input bits; returns the final entry and the bits used.
CodeEntry walk(const CodeEntry* table, unsigned firstbits, unsigned bits, unsigned* used) {
    CodeEntry e = table[bits & lowmask(firstbits)];
    *used = 0;
    while (islink(e)) {
        *used += entrybits(e);
        e = table[entryvalue(e) + ((bits >> *used) & lowmask(entryop(e) - kOpLink))];
    }
    *used += codebits(e);
    return e;
}

const unsigned short kBases[32] = {1,  2,  3,  4,   5,   7,   9,   13,  17,  25,   33,
                                   49, 65, 97, 129, 193, 257, 385, 513, 769, 1025, 1537};
const unsigned char kExtra[32] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9};

TEST(CodeTables, EveryCodeOfRandomCompleteSetsDecodesToItsSymbol) {
    std::mt19937 rnd(42);
    for (int round = 0; round < 300; round++) {
        bool litlen = round % 2 == 0;
        unsigned n = litlen ? 257 + rnd() % 32 : 2 + rnd() % 29;
        unsigned codes = 2 + rnd() % (n - 1);
        std::vector<unsigned char> lengths = randomlengths(rnd, n, std::min(codes, n));
        std::vector<unsigned> reversed = reversedcodes(lengths);
        unsigned simple = litlen ? 257 : 0, bits = litlen ? 9 : 6;
        CodeEntry* table;
        ASSERT_EQ(makecodetables(lengths.data(), n, simple, kBases, kExtra, &table, &bits),
                  kBuildComplete);
        ASSERT_NE(table, nullptr);
        if (litlen && lengths[256]) {
            EXPECT_LE(bits, lengths[256]);
        }
        for (unsigned s = 0; s < n; s++) {
            if (!lengths[s]) continue;
            unsigned noise = rnd() << lengths[s], used;
            CodeEntry e = walk(table, bits, reversed[s] | noise, &used);
            ASSERT_EQ(used, lengths[s]) << "round " << round << " symbol " << s;
            if (s < simple) {
                ASSERT_EQ(entryop(e), s == 256 ? (unsigned)kOpEndOfBlock : (unsigned)kOpLiteral);
                ASSERT_EQ(entryvalue(e), s);
            } else {
                ASSERT_EQ(entryop(e), kExtra[s - simple]);
                ASSERT_EQ(entryvalue(e), kBases[s - simple]);
            }
        }
        freecodetables(table);
    }
}

TEST(CodeTables, EverySlotOfACompleteSetHoldsACode) {
    // A complete set fills every table slot with a code or a link (the tables are not
    // cleared first), so every input of the longest code's length decodes to the one
    // symbol whose code it starts with.
    std::mt19937 rnd(7);
    for (int round = 0; round < 40; round++) {
        bool litlen = round % 2 == 0;
        unsigned n = litlen ? 257 + rnd() % 32 : 2 + rnd() % 29;
        std::vector<unsigned char> lengths = randomlengths(rnd, n, 2 + rnd() % (n - 1));
        std::vector<unsigned> reversed = reversedcodes(lengths);
        unsigned maxlen = *std::max_element(lengths.begin(), lengths.end());
        unsigned simple = litlen ? 257 : 0, bits = litlen ? 11 : 8;
        CodeEntry* table;
        ASSERT_EQ(makecodetables(lengths.data(), n, simple, kBases, kExtra, &table, &bits),
                  kBuildComplete);
        std::vector<int> symbolof(1u << maxlen, -1);
        for (unsigned s = 0; s < n; s++)
            if (lengths[s])
                for (unsigned high = 0; high < 1u << (maxlen - lengths[s]); high++)
                    symbolof[reversed[s] | high << lengths[s]] = (int)s;
        for (unsigned input = 0; input < 1u << maxlen; input++) {
            unsigned used;
            CodeEntry e = walk(table, bits, input, &used);
            int s = symbolof[input];
            ASSERT_GE(s, 0);
            ASSERT_EQ(used, lengths[s]) << "round " << round << " input " << input;
            unsigned op = s < (int)simple
                              ? (s == 256 ? (unsigned)kOpEndOfBlock : (unsigned)kOpLiteral)
                              : kExtra[s - simple];
            ASSERT_EQ(entryop(e), op) << "round " << round << " input " << input;
        }
        freecodetables(table);
    }
}

TEST(CodeTables, EndCodeEndsOnATableBoundary) {
    // No table that starts before the end code's length reaches past it, so decoding the
    // end code never looks at bits behind it.
    std::mt19937 rnd(7);
    for (int round = 0; round < 200; round++) {
        std::vector<unsigned char> lengths = randomlengths(rnd, 288, 100 + rnd() % 150);
        if (!lengths[256]) continue;
        std::vector<unsigned> reversed = reversedcodes(lengths);
        unsigned bits = 9;
        CodeEntry* table;
        ASSERT_EQ(makecodetables(lengths.data(), 288, 257, kBases, kExtra, &table, &bits), 0);
        EXPECT_LE(bits, lengths[256]);
        CodeEntry e = table[reversed[256] & lowmask(bits)];
        unsigned start = 0;
        while (islink(e)) {
            start += entrybits(e);
            unsigned width = entryop(e) - kOpLink;
            if (start < lengths[256]) {
                ASSERT_LE(start + width, lengths[256]);
            }
            e = table[entryvalue(e) + ((reversed[256] >> start) & lowmask(width))];
        }
        EXPECT_EQ(entryop(e), (unsigned)kOpEndOfBlock);
        EXPECT_EQ(start + entrybits(e), lengths[256]);
        freecodetables(table);
    }
}

TEST(CodeTables, EmptyIncompleteAndOversubscribedSets) {
    CodeEntry* table;
    unsigned bits = 6;
    std::vector<unsigned char> none(30, 0);
    EXPECT_EQ(makecodetables(none.data(), 30, 0, kBases, kExtra, &table, &bits), kBuildComplete);
    EXPECT_EQ(table, nullptr);
    EXPECT_EQ(bits, 0u);

    std::vector<unsigned char> single(30, 0);
    single[3] = 1; // one code of one bit: complete by this rule
    bits = 6;
    EXPECT_EQ(makecodetables(single.data(), 30, 0, kBases, kExtra, &table, &bits), kBuildComplete);
    EXPECT_EQ(bits, 1u);
    EXPECT_EQ(entryop(table[1]), (unsigned)kOpInvalid); // the unused code
    freecodetables(table);

    std::vector<unsigned char> incomplete(30, 0);
    incomplete[0] = 1;
    incomplete[1] = 3; // codes 0 and 100; 101, 110, 111 unused
    bits = 6;
    EXPECT_EQ(makecodetables(incomplete.data(), 30, 0, kBases, kExtra, &table, &bits),
              kBuildIncomplete);
    EXPECT_EQ(bits, 3u);
    int invalid = 0;
    for (unsigned i = 0; i < 8; i++) invalid += entryop(table[i]) == kOpInvalid;
    EXPECT_EQ(invalid, 3);
    freecodetables(table);

    std::vector<unsigned char> over(30, 0);
    over[0] = over[1] = 1;
    over[2] = 2;
    bits = 6;
    EXPECT_EQ(makecodetables(over.data(), 30, 0, kBases, kExtra, &table, &bits),
              kBuildOversubscribed);
    EXPECT_EQ(table, nullptr);
}

} // namespace
