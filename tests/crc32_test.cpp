// Tests of the table-driven CRC-32 against the check value of the ZIP CRC and a bit-by-bit
// reference, over many lengths and alignments.
#include "engine/crc32.h"

#include <gtest/gtest.h>

#include <string.h>

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

} // namespace
