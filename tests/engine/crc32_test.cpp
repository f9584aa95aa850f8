// Tests of the CRC-32 against the check value of the ZIP CRC and a bit-by-bit reference,
// over many lengths and alignments, on the table path and, where the processor has it, the
// carry-less-multiply path, compared with each other.
#include "engine/crc32.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <random>
#include <vector>

namespace {

// The definition: one bit at a time, reflected polynomial, inverted before and after.
unsigned bitwisecrc(const unsigned char* p, size_t n) {
    unsigned crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int b = 0; b < 8; b++) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// One table byte step at a time from crcbyte: a reference independent of both fast paths.
unsigned bytewisecrc(unsigned crc, const unsigned char* p, size_t n) {
    crc = ~crc;
    for (size_t i = 0; i < n; i++) crc = crcbyte(crc, p[i]);
    return ~crc;
}

std::vector<unsigned char> randombytes(std::mt19937& rng, size_t n) {
    std::vector<unsigned char> v(n);
    for (auto& b : v) b = (unsigned char)rng();
    return v;
}

class Crc32Test : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(buildcrctable()); }
    void TearDown() override { releasecrctable(); }
};

TEST_F(Crc32Test, CheckValueAndEmptyInput) {
    const unsigned char check[] = "123456789";
    EXPECT_EQ(updatecrc(0, check, 9), 0xCBF43926u);
    EXPECT_EQ(updatecrc(0, check, 0), 0u);
    EXPECT_EQ(updatecrc(0x12345678u, check, 0), 0x12345678u);
}

TEST_F(Crc32Test, MatchesTheBitwiseDefinitionAtEveryLengthAndAlignment) {
    std::vector<unsigned char> data(300);
    for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)(i * 37 + (i >> 3));
    for (size_t offset = 0; offset < 8; offset++)
        for (size_t n = 0; n + offset <= data.size(); n++)
            ASSERT_EQ(updatecrc(0, data.data() + offset, n), bitwisecrc(data.data() + offset, n))
                << offset << " " << n;
}

TEST_F(Crc32Test, PiecesChainToTheCrcOfTheWhole) {
    std::vector<unsigned char> data(5000);
    for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)(i * i + 11);
    unsigned whole = updatecrc(0, data.data(), data.size());
    for (size_t cut : {1, 15, 16, 17, 2500, 4999}) {
        unsigned first = updatecrc(0, data.data(), cut);
        EXPECT_EQ(updatecrc(first, data.data() + cut, data.size() - cut), whole) << cut;
    }
}

TEST_F(Crc32Test, CrcByteIsOneUninvertedTableStep) {
    for (unsigned b = 0; b < 256; b++) {
        unsigned char byte = (unsigned char)b;
        // Starting from all ones and inverting at the end gives the CRC of the byte.
        EXPECT_EQ(~crcbyte(0xFFFFFFFFu, byte), bitwisecrc(&byte, 1));
    }
    // The PKWARE key update: key0 = crcbyte(key0, c) for the password "a" from 0x12345678.
    unsigned reg = 0x12345678u;
    unsigned expected = reg;
    expected ^= 'a';
    for (int i = 0; i < 8; i++)
        expected = expected & 1 ? (expected >> 1) ^ 0xEDB88320u : expected >> 1;
    EXPECT_EQ(crcbyte(reg, 'a'), expected);
}

TEST_F(Crc32Test, TableSurvivesASecondBuildAndIsRebuiltAfterRelease) {
    const unsigned char check[] = "123456789";
    EXPECT_TRUE(buildcrctable());
    EXPECT_EQ(updatecrc(0, check, 9), 0xCBF43926u);
    releasecrctable();
    ASSERT_TRUE(buildcrctable());
    EXPECT_EQ(updatecrc(0, check, 9), 0xCBF43926u);
}

// Both paths against each other and the bytewise reference on random data of every length
// up to 300, at random alignments and with random starting CRCs.
TEST_F(Crc32Test, BothPathsAgreeOnRandomDataOfEveryLength) {
    std::mt19937 rng(20261209);
    bool folding = usecrcfolding(true);
    if (!folding) std::printf("no carry-less multiply here: table path only\n");
    for (size_t n = 0; n <= 300; n++) {
        for (int trial = 0; trial < 4; trial++) {
            size_t offset = rng() % 16;
            std::vector<unsigned char> buf = randombytes(rng, n + offset);
            const unsigned char* p = buf.data() + offset;
            unsigned start = trial ? (unsigned)rng() : 0u;
            unsigned expected = bytewisecrc(start, p, n);
            ASSERT_EQ(usecrcfolding(false), false);
            ASSERT_EQ(updatecrc(start, p, n), expected) << "table " << n << " " << offset;
            ASSERT_EQ(usecrcfolding(true), folding);
            ASSERT_EQ(updatecrc(start, p, n), expected) << "fast " << n << " " << offset;
            if (trial == 0) {
                ASSERT_EQ(expected, bitwisecrc(p, n)) << n;
            }
        }
    }
}

TEST_F(Crc32Test, BothPathsAgreeOnLargeBuffersAndInPieces) {
    std::mt19937 rng(77);
    bool folding = usecrcfolding(true);
    for (size_t n : {4096u, 65536u + 13, 1000003u}) {
        std::vector<unsigned char> buf = randombytes(rng, n + 7);
        const unsigned char* p = buf.data() + rng() % 8;
        unsigned expected = bytewisecrc(0, p, n);
        usecrcfolding(false);
        EXPECT_EQ(updatecrc(0, p, n), expected) << n;
        usecrcfolding(true);
        EXPECT_EQ(updatecrc(0, p, n), expected) << n;
        // Uneven pieces through the fast path, each long enough to take it.
        unsigned crc = 0;
        for (size_t done = 0; done < n;) {
            size_t piece = 64 + rng() % 5000;
            if (piece > n - done) piece = n - done;
            crc = updatecrc(crc, p + done, piece);
            done += piece;
        }
        EXPECT_EQ(crc, expected) << n;
    }
    EXPECT_EQ(usecrcfolding(true), folding);
}

TEST_F(Crc32Test, AllZerosAndAllOnesBlocks) {
    // Long runs of one value exercise the folding constants without help from varied data.
    for (unsigned char fill : {0x00, 0xFF}) {
        std::vector<unsigned char> buf(1024, fill);
        for (size_t n : {64u, 65u, 127u, 128u, 192u, 1024u}) {
            usecrcfolding(true);
            EXPECT_EQ(updatecrc(0, buf.data(), n), bitwisecrc(buf.data(), n)) << n;
        }
    }
}

} // namespace
