// Builds LZMA member data symbol by symbol: the zip's LZMA header and properties, then a
// range-coded stream of exactly the literals, matches, repeats and end marker a test asks
// for, coded by the format's rules with a probability model of its own. It also keeps what a
// decoder must produce, so tests state a rule and check the decoder against it.
#pragma once

#include <stdint.h>

#include <vector>

namespace lzmawriter {

using Bytes = std::vector<unsigned char>;

class Writer {
  public:
    // lc, lp and pb as the property byte takes them; dictionary as the properties state it.
    Writer(unsigned lc = 3, unsigned lp = 0, unsigned pb = 2, uint32_t dictionary = 1u << 16)
        : lc_(lc), lp_(lp), pb_(pb), dictionary_(dictionary),
          literal_(size_t(0x300) << (lc + lp), kInit) {
        for (auto* table : {&ismatch_[0][0], &isrep0long_[0][0]})
            for (int i = 0; i < 12 * 16; i++) table[i] = kInit;
        for (auto* table : {isrep_, isrepg0_, isrepg1_, isrepg2_})
            for (int i = 0; i < 12; i++) table[i] = kInit;
        for (auto& row : slotprobs_)
            for (auto& p : row) p = kInit;
        for (auto& p : special_) p = kInit;
        for (auto& p : align_) p = kInit;
    }

    void literal(unsigned char byte) {
        unsigned posstate = position() & pbmask();
        bit(ismatch_[state_][posstate], 0);
        unsigned previous = output.empty() ? 0 : output.back();
        uint16_t* probs = &literal_[0x300 * (((position() & ((1u << lp_) - 1)) << lc_) +
                                             (previous >> (8 - lc_)))];
        bool matched = state_ >= 7;
        unsigned matchbyte = matched ? output[output.size() - rep_[0] - 1] : 0;
        unsigned s = 1;
        for (int i = 7; i >= 0; i--) {
            unsigned b = (byte >> i) & 1, matchbit = (matchbyte >> i) & 1;
            bit(probs[matched ? ((1 + matchbit) << 8) + s : s], b);
            matched = matched && b == matchbit;
            s = (s << 1) | b;
        }
        output.push_back(byte);
        state_ = state_ < 4 ? 0 : state_ < 10 ? state_ - 3 : state_ - 6;
    }

    // The distance that marks the end of the stream.
    static constexpr uint64_t kEndMarker = uint64_t(1) << 32;

    // A new distance (1 up, or kEndMarker) and a length of 2 to 273.
    void match(uint64_t distance, unsigned length) {
        unsigned posstate = position() & pbmask();
        bit(ismatch_[state_][posstate], 1);
        bit(isrep_[state_], 0);
        encodelength(matchlength_, length, posstate);
        encodedistance(uint32_t(distance - 1), length);
        rep_[3] = rep_[2];
        rep_[2] = rep_[1];
        rep_[1] = rep_[0];
        rep_[0] = uint32_t(distance - 1);
        state_ = state_ < 7 ? 7 : 10;
        if (distance != kEndMarker) copy(length);
    }

    // A match at the index-th latest distance (0 to 3), which becomes the latest.
    void rep(unsigned index, unsigned length) {
        unsigned posstate = position() & pbmask();
        bit(ismatch_[state_][posstate], 1);
        bit(isrep_[state_], 1);
        bit(isrepg0_[state_], index != 0);
        if (index == 0) bit(isrep0long_[state_][posstate], 1);
        if (index >= 1) bit(isrepg1_[state_], index != 1);
        if (index >= 2) bit(isrepg2_[state_], index != 2);
        uint32_t distance = rep_[index];
        for (unsigned i = index; i > 0; i--) rep_[i] = rep_[i - 1];
        rep_[0] = distance;
        encodelength(replength_, length, posstate);
        state_ = state_ < 7 ? 8 : 11;
        copy(length);
    }

    // One byte at the latest distance.
    void shortrep() {
        unsigned posstate = position() & pbmask();
        bit(ismatch_[state_][posstate], 1);
        bit(isrep_[state_], 1);
        bit(isrepg0_[state_], 0);
        bit(isrep0long_[state_][posstate], 0);
        state_ = state_ < 7 ? 9 : 11;
        copy(1);
    }

    void endmarker() { match(kEndMarker, 2); }

    // The member's data: header (version, properties size), properties, stream.
    Bytes finish(unsigned propertiessize = 5) {
        for (int i = 0; i < 5; i++) shiftlow();
        Bytes data = {9, 20, (unsigned char)propertiessize, 0,
                      (unsigned char)(lc_ + 9 * (lp_ + 5 * pb_))};
        for (int i = 0; i < 4; i++) data.push_back((unsigned char)(dictionary_ >> (8 * i)));
        data.insert(data.end(), stream_.begin(), stream_.end());
        return data;
    }

    Bytes output; // what a decoder produces from the symbols so far

  private:
    enum { kInit = 1024 };
    struct Length {
        uint16_t choice = kInit, choice2 = kInit;
        uint16_t low[16][8], mid[16][8], high[256];
        Length() {
            for (auto& row : low)
                for (auto& p : row) p = kInit;
            for (auto& row : mid)
                for (auto& p : row) p = kInit;
            for (auto& p : high) p = kInit;
        }
    };

    uint32_t position() const { return uint32_t(output.size()); }
    unsigned pbmask() const { return (1u << pb_) - 1; }

    // Appends what a match of length at the latest distance produces (zeros where the
    // distance reaches before the first byte: the decoder must refuse such a match).
    void copy(unsigned length) {
        for (unsigned i = 0; i < length; i++) {
            size_t back = size_t(rep_[0]) + 1;
            output.push_back(back <= output.size() ? output[output.size() - back] : 0);
        }
    }

    void shiftlow() {
        if (uint32_t(low_) < 0xFF000000u || (low_ >> 32) != 0) {
            unsigned carry = unsigned(low_ >> 32);
            unsigned char byte = cache_;
            do {
                stream_.push_back((unsigned char)(byte + carry));
                byte = 0xFF;
            } while (--cachesize_ != 0);
            cache_ = (unsigned char)(low_ >> 24);
        }
        cachesize_++;
        low_ = (low_ & 0x00FFFFFF) << 8;
    }

    void normalize() {
        while (range_ < (1u << 24)) {
            range_ <<= 8;
            shiftlow();
        }
    }

    void bit(uint16_t& p, unsigned b) {
        uint32_t bound = (range_ >> 11) * p;
        if (b == 0) {
            range_ = bound;
            p = uint16_t(p + ((2048 - p) >> 5));
        } else {
            low_ += bound;
            range_ -= bound;
            p = uint16_t(p - (p >> 5));
        }
        normalize();
    }

    void tree(uint16_t* probs, unsigned bits, unsigned value) {
        unsigned s = 1;
        for (int i = int(bits) - 1; i >= 0; i--) {
            unsigned b = (value >> i) & 1;
            bit(probs[s], b);
            s = (s << 1) | b;
        }
    }

    void reversetree(uint16_t* probs, unsigned bits, unsigned value) {
        unsigned s = 1;
        for (unsigned i = 0; i < bits; i++) {
            unsigned b = (value >> i) & 1;
            bit(probs[s], b);
            s = (s << 1) | b;
        }
    }

    void encodelength(Length& l, unsigned length, unsigned posstate) {
        unsigned v = length - 2;
        bit(l.choice, v >= 8);
        if (v < 8) return tree(l.low[posstate], 3, v);
        bit(l.choice2, v >= 16);
        if (v < 16) return tree(l.mid[posstate], 3, v - 8);
        tree(l.high, 8, v - 16);
    }

    void encodedistance(uint32_t d, unsigned length) {
        unsigned lengthstate = length - 2 < 3 ? length - 2 : 3;
        unsigned slot = d;
        if (d >= 4) {
            unsigned top = 31 - __builtin_clz(d);
            slot = 2 * top + ((d >> (top - 1)) & 1);
        }
        tree(slotprobs_[lengthstate], 6, slot);
        if (slot < 4) return;
        unsigned bits = (slot >> 1) - 1;
        uint32_t base = (2u | (slot & 1)) << bits, rest = d - base;
        if (slot < 14) return reversetree(&special_[base - slot], bits, rest);
        for (int i = int(bits) - 5; i >= 0; i--) { // direct bits, highest first
            range_ >>= 1;
            if ((rest >> (i + 4)) & 1) low_ += range_;
            normalize();
        }
        reversetree(align_, 4, rest & 15);
    }

    unsigned lc_, lp_, pb_;
    uint32_t dictionary_;
    std::vector<uint16_t> literal_;
    uint16_t ismatch_[12][16], isrep_[12], isrepg0_[12], isrepg1_[12], isrepg2_[12];
    uint16_t isrep0long_[12][16], slotprobs_[4][64], special_[115], align_[16];
    Length matchlength_, replength_;
    unsigned state_ = 0;
    uint32_t rep_[4] = {0, 0, 0, 0};
    uint64_t low_ = 0;
    uint32_t range_ = 0xFFFFFFFF;
    unsigned char cache_ = 0;
    uint64_t cachesize_ = 1;
    Bytes stream_;
};

} // namespace lzmawriter
