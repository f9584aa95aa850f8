// Decodes the Deflate streams of Python's zlib and the Deflate64 streams of 7-Zip that the
// build generates (tests/data/inflate/makestreams.py) and compares them with the originals;
// in the Win32 build this is the inflater's check against independent encoders.
#include "tests/support/inflatedriver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readfile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    EXPECT_TRUE(f.good()) << path;
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct Stream {
    int method;
    std::string stream, original;
};

std::vector<Stream> manifest() {
    std::ifstream f(std::string(ORV_INFLATE_STREAMS) + "/manifest.txt");
    std::vector<Stream> list;
    Stream s;
    while (f >> s.method >> s.stream >> s.original) list.push_back(s);
    return list;
}

TEST(InflateStreams, EveryGeneratedStreamDecodesToItsOriginal) {
    std::vector<Stream> list = manifest();
    ASSERT_GT(list.size(), 80u);
    int deflate64 = 0;
    for (const Stream& s : list) {
        const std::string dir = std::string(ORV_INFLATE_STREAMS) + "/";
        Bytes stream = readfile(dir + s.stream), original = readfile(dir + s.original);
        for (size_t block : {8192, 13}) {
            inflatedriver::Options o;
            o.deflate64 = s.method == 9;
            o.blocksize = block;
            inflatedriver::Decoded run = inflatedriver::inflate(stream, o);
            ASSERT_EQ(run.result, kInflateOk) << s.stream << " block " << block;
            ASSERT_TRUE(run.output == original) << s.stream << " block " << block;
            for (size_t i = 0; i + 1 < run.flushes.size(); i++)
                ASSERT_EQ(run.flushes[i], (unsigned)kInflateWindowSize) << s.stream;
            ASSERT_LE(run.flushes.back(), (unsigned)kInflateWindowSize) << s.stream;
            ASSERT_EQ(run.consumed, stream.size()) << s.stream;
        }
        deflate64 += s.method == 9;
    }
    EXPECT_GE(deflate64, 8);
    releasefixedcodes();
}

} // namespace
