// Differential tests of undeflate and updatecrc against zlib (host build): random and real
// data at many sizes, levels and strategies, every cut of small compressed samples, and
// streams written bit by bit at the window's end and at the first byte's distance.
#include "engine/crc32.h"
#include "tests/support/deflatewriter.h"
#include "tests/support/inflatedriver.h"
#include "tests/support/sampledata.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes rawdeflate(const Bytes& data, int level, int strategy, int memlevel = 8) {
    z_stream z = {};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, memlevel, strategy), Z_OK);
    Bytes out(deflateBound(&z, data.size()) + 16);
    z.next_in = const_cast<unsigned char*>(data.data());
    z.avail_in = (uInt)data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes sampledata(size_t n, unsigned seed) {
    return sampledata::make(n, seed, 3000);
}

// Decodes zlib's stream of the data with each instance of the fast loop this processor runs.
void expectroundtrip(const Bytes& data, int level, int strategy, size_t block) {
    Bytes stream = rawdeflate(data, level, strategy);
    inflatedriver::Options o;
    o.blocksize = block;
    for (bool bmi2 : {false, true}) {
        if (useinflatebmi2(bmi2) != bmi2) continue;
        inflatedriver::Decoded run = inflatedriver::inflate(stream, o);
        useinflatebmi2(true);
        ASSERT_EQ(run.result, kInflateOk) << data.size() << " level " << level << " strategy "
                                          << strategy << " block " << block << " bmi2 " << bmi2;
        ASSERT_TRUE(run.output == data) << data.size() << " level " << level << " bmi2 " << bmi2;
        ASSERT_EQ(run.consumed, stream.size());
    }
}

TEST(InflateDifferential, RandomDataAtManySizesLevelsAndStrategies) {
    std::mt19937 rnd(1234);
    for (int round = 0; round < 60; round++) {
        size_t size = round < 20 ? (size_t)round : rnd() % (round < 50 ? 70000 : 400000);
        Bytes data = sampledata(size, rnd());
        int level = (int)(rnd() % 10);
        int strategy = (int)(rnd() % 5); // default, filtered, huffman only, rle, fixed
        size_t block = round % 3 == 0 ? 1 + rnd() % 100 : 8192;
        expectroundtrip(data, level, strategy, block);
    }
    releasefixedcodes();
}

TEST(InflateDifferential, RealFilesOfThisMachine) {
    const char* files[] = {"/usr/include/zlib.h", "/usr/include/stdio.h", "/bin/sh"};
    for (const char* path : files) {
        std::ifstream f(path, std::ios::binary);
        if (!f) continue;
        Bytes data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        for (int level : {1, 6, 9}) expectroundtrip(data, level, Z_DEFAULT_STRATEGY, 8192);
    }
    releasefixedcodes();
}

TEST(InflateDifferential, EveryCutOfSmallSamplesEndsWithAFailure) {
    for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
        Bytes data = sampledata(3000, 99 + strategy);
        Bytes stream = rawdeflate(data, 6, strategy);
        for (size_t cut = 0; cut < stream.size(); cut++) {
            for (size_t block : {3, 8192}) {
                inflatedriver::Options o;
                o.blocksize = block;
                inflatedriver::Decoded run = inflatedriver::inflate(stream.data(), cut, o);
                ASSERT_TRUE(run.result == kInflateTruncatedOrInvalid ||
                            run.result == kInflateReservedOrOversubscribed)
                    << "cut " << cut << " result " << run.result;
                // What was produced before the end is the start of the data.
                ASSERT_LE(run.output.size(), data.size());
                ASSERT_TRUE(std::equal(run.output.begin(), run.output.end(), data.begin()));
            }
        }
    }
    releasefixedcodes();
}

// zlib's raw inflate of a whole stream; true when the stream ends properly.
bool zlibinflate(const Bytes& stream, Bytes* out) {
    z_stream z = {};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<unsigned char*>(stream.data());
    z.avail_in = (uInt)stream.size();
    unsigned char buffer[1 << 16];
    int r;
    do {
        z.next_out = buffer;
        z.avail_out = sizeof buffer;
        r = inflate(&z, Z_NO_FLUSH);
        out->insert(out->end(), buffer, buffer + (sizeof buffer - z.avail_out));
    } while (r == Z_OK);
    inflateEnd(&z);
    return r == Z_STREAM_END;
}

TEST(InflateDifferential, AMatchEndingAtTheWindowsEndDecodesAsZlibDoes) {
    for (unsigned position = 65260; position <= 65280; position++) {
        Bytes expected, fromzlib;
        Bytes stream = deflatewriter::windowedgestream(position, false, 300, &expected);
        ASSERT_TRUE(zlibinflate(stream, &fromzlib)) << position;
        ASSERT_TRUE(fromzlib == expected) << position;
        for (size_t block : {(size_t)8192, stream.size()}) {
            inflatedriver::Options o;
            o.blocksize = block;
            inflatedriver::Decoded run = inflatedriver::inflate(stream, o);
            ASSERT_EQ(run.result, kInflateOk) << position;
            ASSERT_TRUE(run.output == fromzlib) << position << " block " << block;
        }
    }
    releasefixedcodes();
}

TEST(InflateDifferential, DistancesReachTheFirstByteButNotBeforeItAsInZlib) {
    for (size_t produced : {0, 1, 300, 32767}) {
        for (unsigned distance : {(unsigned)produced, (unsigned)produced + 1}) {
            if (distance == 0) continue;
            Bytes expected, fromzlib;
            Bytes stream = deflatewriter::matchafter(produced, distance, &expected);
            bool zlibok = zlibinflate(stream, &fromzlib);
            ASSERT_EQ(zlibok, distance <= produced) << produced << " " << distance;
            inflatedriver::Decoded run = inflatedriver::inflate(stream);
            if (zlibok) {
                ASSERT_EQ(run.result, kInflateOk) << produced << " " << distance;
                ASSERT_TRUE(run.output == fromzlib) << produced << " " << distance;
            } else {
                ASSERT_EQ(run.result, kInflateTruncatedOrInvalid) << produced << " " << distance;
            }
        }
    }
    releasefixedcodes();
}

TEST(InflateDifferential, CrcAgreesWithZlibAtRandomSizesAndAlignments) {
    ASSERT_TRUE(buildcrctable());
    std::mt19937 rnd(77);
    Bytes data = sampledata(1 << 20, 5);
    for (int round = 0; round < 200; round++) {
        size_t offset = rnd() % 64, n = rnd() % (data.size() - offset);
        unsigned seed = round % 2 ? (unsigned)rnd() : 0;
        ASSERT_EQ(updatecrc(seed, data.data() + offset, n),
                  crc32(seed, data.data() + offset, (uInt)n))
            << offset << " " << n;
    }
    releasecrctable();
}

} // namespace
