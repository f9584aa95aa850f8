// Building the multi-level decoding tables of a canonical Huffman code set.
//
// Codes are placed in canonical order (by length, then symbol). A table opened after w
// decoded bits for a code of length k starts k - w bits wide and grows one bit at a time, up
// to the lookup width and the longest code, while the codes still to place cannot fill its
// slots; a literal/length table that would reach past the end code's length is cut there.
// The tables are laid out twice: once to count the entries, once to fill the block.
// First-level codes are written once and spread by doubling the table.
#include "engine/codetables.h"

#include <stdlib.h>
#include <string.h>

namespace {

enum { kMaxSymbols = 288 }; // the largest set: literal/length codes with HLIT 288

// Tables ending at bit d cover disjoint d-bit prefixes, so a code set never needs more than
// 2 + 4 + ... + 2^15 entries, and every sub-table index fits the 16-bit value field.
static_assert((2u << kMaxCodeBits) - 2 <= 0xFFFF, "sub-table indices must fit 16 bits");

CodeEntry makeentry(unsigned op, unsigned bits, unsigned value) {
    return bits | op << 8 | value << 16;
}

// What a code set is built from, and what both layout passes share.
struct CodeSet {
    const unsigned char* lengths;
    unsigned n;                  // symbols
    unsigned simple;             // symbols below this are literals or end of block
    const unsigned short* bases; // rows for symbols from `simple` on
    const unsigned char* extra;
    unsigned count[kMaxCodeBits + 1];   // codes of each length
    unsigned short sorted[kMaxSymbols]; // coded symbols by length, then value
    unsigned coded;                     // number of symbols with a nonzero length
    unsigned maxlen;
    unsigned lookupbits; // requested width clamped to the lengths present
    unsigned firstbits;  // first-level width (lookupbits cut at the end code)
    unsigned eoblen;     // end-of-block code length in a literal/length set, or 0
    bool gaps;           // some codes unused: table slots that no code fills
};

// One open table while codes are placed: it starts after `start` decoded bits, is indexed
// by `width` more, begins at entry `offset` of the block and serves codes whose low
// `start` bits equal `prefix`.
struct TableLevel {
    unsigned start, width, offset, prefix;
};

// The code after a code of `len` bits in canonical order, both bit-reversed (r holds the
// first bit sent at bit 0). Adding one to the code carries from its last bit, the top bit of
// r, downwards. A following code that is longer goes on with zero bits at its end, above the
// top of r, so r serves it unchanged.
unsigned nextreversed(unsigned r, unsigned len) {
    unsigned bit = 1u << (len - 1);
    for (; r & bit; bit >>= 1) r ^= bit;
    return r | bit;
}

CodeEntry symbolentry(const CodeSet* set, unsigned symbol, unsigned bits) {
    if (symbol < set->simple)
        return makeentry(symbol == kEndOfBlockSymbol ? kOpEndOfBlock : kOpLiteral, bits, symbol);
    unsigned row = symbol - set->simple, extra = set->extra[row];
    return makeentry(extra, extra <= kOpMaxExtra ? bits + extra : bits, set->bases[row]);
}

// Width of a sub-table opened after `start` bits for a code of length k: at least the
// code's remaining bits, grown while the codes still to place cannot fill its slots, at
// most the lookup bits and the longest code; cut so that the end code ends on a boundary.
unsigned subtablewidth(const CodeSet* set, const unsigned* remaining, unsigned start, unsigned k) {
    unsigned cap = set->maxlen - start < set->lookupbits ? set->maxlen - start : set->lookupbits;
    unsigned width = k - start < set->lookupbits ? k - start : set->lookupbits;
    for (; width < cap; width++) {
        unsigned filled = 0;
        for (unsigned len = k; len <= start + width; len++)
            filled += remaining[len] << (start + width - len);
        if (filled >= 1u << width) break;
    }
    if (set->eoblen > start && start + width > set->eoblen) width = set->eoblen - start;
    return width;
}

void fillinvalid(CodeEntry* table, unsigned entries) {
    for (unsigned i = 0; i < entries; i++) table[i] = makeentry(kOpInvalid, 0, 0);
}

// The first code of `len` bits in canonical order, bit-reversed: the codes of each shorter
// length come before it, each length's codes one bit longer than the last one's.
unsigned firstreversed(const CodeSet* set, unsigned len) {
    unsigned code = 0;
    for (unsigned n = 1; n < len; n++) code = (code + set->count[n]) << 1;
    unsigned r = 0;
    for (unsigned n = 0; n < len; n++, code >>= 1) r = r << 1 | (code & 1);
    return r;
}

// Grows the built part of the first-level table to 2^bits entries by copying it behind
// itself. A code of k bits owns the slots whose low k bits are its reversed code, so each
// doubling puts every code placed so far into its new slots as well.
void growfirstlevel(CodeEntry* table, unsigned* built, unsigned bits) {
    for (; *built < bits; ++*built) memcpy(table + (1u << *built), table, sizeof *table << *built);
}

// Places every code; with out null only counts the entries needed. Returns the count.
// Codes of the first level, shortest first, are written once each while the first-level
// table is only 2^k entries long, and the table is doubled as k grows; counting skips them,
// since only longer codes open sub-tables. Codes of a sub-table fill each of their slots.
unsigned layouttables(const CodeSet* set, CodeEntry* out) {
    TableLevel level[kMaxCodeBits + 1] = {{0, set->firstbits, 0, 0}};
    unsigned top = 0, total = 1u << set->firstbits, built = 0;
    unsigned remaining[kMaxCodeBits + 1];
    memcpy(remaining, set->count, sizeof remaining);
    if (out && set->gaps) fillinvalid(out, total);
    unsigned first = 0, r = 0;
    if (!out) {
        for (unsigned len = 1; len <= set->firstbits; len++) first += set->count[len];
        if (first < set->coded) r = firstreversed(set, set->lengths[set->sorted[first]]);
    }
    for (unsigned i = first, k = 0; i < set->coded; i++) {
        if (i > first) r = nextreversed(r, k); // k: the previous code's length
        unsigned symbol = set->sorted[i];
        k = set->lengths[symbol];
        while (top > 0 && (r & lowmask(level[top].start)) != level[top].prefix) top--;
        while (k > level[top].start + level[top].width) {
            const TableLevel& parent = level[top];
            unsigned start = parent.start + parent.width;
            unsigned width = subtablewidth(set, remaining, start, k);
            if (out) {
                if (top == 0) growfirstlevel(out, &built, set->firstbits);
                unsigned slot = parent.offset + ((r >> parent.start) & lowmask(parent.width));
                out[slot] = makeentry(kOpLink + width, parent.width, total);
                if (set->gaps) fillinvalid(out + total, 1u << width);
            }
            level[++top] = {start, width, total, r & lowmask(start)};
            total += 1u << width;
        }
        const TableLevel& t = level[top];
        if (out) {
            CodeEntry e = symbolentry(set, symbol, k - t.start);
            if (top == 0) {
                growfirstlevel(out, &built, k);
                out[r] = e;
            } else {
                for (unsigned slot = r >> t.start; slot < 1u << t.width;
                     slot += 1u << (k - t.start))
                    out[t.offset + slot] = e;
            }
        }
        remaining[k]--;
    }
    if (out) growfirstlevel(out, &built, set->firstbits);
    return total;
}

// Counts, sorts and checks the lengths. Returns kBuildOversubscribed, kBuildIncomplete or
// kBuildComplete.
int prepareset(CodeSet* set) {
    memset(set->count, 0, sizeof set->count);
    for (unsigned s = 0; s < set->n; s++) set->count[set->lengths[s]]++;
    set->count[0] = 0;
    unsigned offset[kMaxCodeBits + 2] = {0};
    for (unsigned len = 1; len <= kMaxCodeBits; len++)
        offset[len + 1] = offset[len] + set->count[len];
    set->coded = offset[kMaxCodeBits + 1];
    for (unsigned s = 0; s < set->n; s++)
        if (set->lengths[s]) set->sorted[offset[set->lengths[s]]++] = (unsigned short)s;
    set->maxlen = 0;
    int left = 1;
    for (unsigned len = 1; len <= kMaxCodeBits; len++) {
        left = (left << 1) - (int)set->count[len];
        if (left < 0) return kBuildOversubscribed;
        if (set->count[len]) set->maxlen = len;
    }
    left >>= kMaxCodeBits - set->maxlen; // unused codes, counted at the longest length
    // A complete set fills every slot of its tables with a code or a link; only gaps need
    // the invalid entries written first.
    set->gaps = left > 0;
    return left > 0 && set->maxlen > 1 ? kBuildIncomplete : kBuildComplete;
}

} // namespace

int makecodetables(const unsigned char* lengths, unsigned n, unsigned simple,
                   const unsigned short* bases, const unsigned char* extra, CodeEntry** table,
                   unsigned* bits) {
    CodeSet set;
    set.lengths = lengths;
    set.n = n;
    set.simple = simple;
    set.bases = bases;
    set.extra = extra;
    *table = nullptr;
    int result = prepareset(&set);
    if (result == kBuildOversubscribed) return result;
    if (set.coded == 0) {
        *bits = 0;
        return kBuildComplete;
    }
    unsigned minlen = 1;
    while (!set.count[minlen]) minlen++;
    unsigned width = *bits < minlen ? minlen : *bits;
    set.lookupbits = width > set.maxlen ? set.maxlen : width;
    set.eoblen = n > kEndOfBlockSymbol ? lengths[kEndOfBlockSymbol] : 0;
    set.firstbits = set.eoblen && set.eoblen < set.lookupbits ? set.eoblen : set.lookupbits;
    unsigned entries = layouttables(&set, nullptr);
    *table = (CodeEntry*)malloc(entries * sizeof(CodeEntry));
    if (!*table) return kBuildNoMemory;
    layouttables(&set, *table);
    *bits = set.firstbits;
    return result;
}

void freecodetables(CodeEntry* table) {
    free(table);
}
