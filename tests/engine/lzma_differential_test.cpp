// Differential tests of unlzma against liblzma (host build): liblzma encodes generated data
// of many sizes and kinds at several presets, dictionaries and lc/lp/pb settings, with and
// without the end marker; unlzma must give back the data in every input block size, and
// liblzma's own decoding of the same stream must agree. (Cuts of streams are tested in
// lzma_test.cpp; changed streams by the fuzzer, against liblzma.)
#include "tests/support/inflatedriver.h"
#include "tests/support/lzmaoracle.h"
#include "tests/support/sampledata.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using lzmaoracle::Bytes;

Bytes sampledata(size_t n, unsigned seed) {
    return sampledata::make(n, seed, 2000);
}

void expectroundtrip(const Bytes& data, const lzmaoracle::Encoding& e) {
    Bytes member = lzmaoracle::encode(data, e);
    ASSERT_FALSE(member.empty());
    Bytes reference;
    ASSERT_TRUE(lzmaoracle::decode(member.data(), member.size(), data.size(), &reference));
    ASSERT_TRUE(reference == data);
    for (size_t block : {size_t(8192), size_t(1), size_t(777)}) {
        inflatedriver::Options o;
        o.blocksize = block;
        inflatedriver::Decoded run = inflatedriver::unlzma(member.data(), member.size(),
                                                           (unsigned)data.size(), e.endmarker, o);
        ASSERT_EQ(run.result, kLzmaOk) << data.size() << " preset " << e.preset << " block "
                                       << block << " marker " << e.endmarker;
        ASSERT_TRUE(run.output == data) << data.size() << " preset " << e.preset;
        ASSERT_EQ(run.consumed, member.size());
        if (data.size() > 20000) break; // byte-by-byte input only on small streams
    }
}

TEST(LzmaDifferential, GeneratedDataAtManySizesAndPresets) {
    unsigned seed = 1;
    for (size_t size : {size_t(1), size_t(2), size_t(100), size_t(4096), size_t(65535),
                        size_t(65536), size_t(65537), size_t(300000), size_t(2000000)})
        for (uint32_t preset : {0u, 6u, 9u | LZMA_PRESET_EXTREME})
            for (bool marker : {false, true}) {
                lzmaoracle::Encoding e;
                e.preset = preset;
                e.endmarker = marker;
                expectroundtrip(sampledata(size, seed++), e);
            }
}

// Dictionaries smaller than the data wrap the buffer; lc, lp and pb change the contexts.
TEST(LzmaDifferential, SmallDictionariesAndContextSettings) {
    Bytes data = sampledata(1500000, 99);
    for (uint32_t dictionary : {4096u, 100000u, 1u << 20}) {
        lzmaoracle::Encoding e;
        e.dictionary = dictionary;
        expectroundtrip(data, e);
    }
    Bytes small = sampledata(70000, 7);
    for (unsigned lc = 0; lc <= 4; lc++)
        for (unsigned lp = 0; lc + lp <= 4; lp += 2)
            for (unsigned pb : {0u, 2u, 4u}) {
                lzmaoracle::Encoding e;
                e.lc = lc;
                e.lp = lp;
                e.pb = pb;
                expectroundtrip(small, e);
            }
}

} // namespace
