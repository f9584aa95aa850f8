// Encrypted members (traditional PKWARE encryption, archives made by 7-Zip): the preset
// password, the cached password, the question limit, skip and cancel, and result 82; AES
// members, which are refused before any password is asked for.
#include "engine/crc32.h"
#include "engine/zipcipher.h"
#include "tests/support/enginetestkit.h"
#include "tests/support/rawzip.h"
#include "tools/zip/zipcrypto.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace enginetest;

namespace {

const char kSkip[] = "\xAD";
const char kCancel[] = "\xAC";

std::string guide() {
    std::string text;
    for (int i = 0; i < 400; ++i) text += "guide\n";
    return text;
}

TEST(Decryption, PresetPasswordNeedsNoQuestion) {
    TempDir dir;
    RunRecord run = runengine(fixture("enc_stock.zip"), dir.str());
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.passwordprompts, 0);
    EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
    EXPECT_EQ(readfile(dir.path() / "docs" / "guide.txt"), guide());
}

// enc_mixed.zip holds docs/guide.txt (password "two") and then top.txt ("one").

// One answer serves every later member: stored and Deflate members alike.
TEST(Decryption, TypedPasswordIsCachedForLaterMembers) {
    TempDir dir;
    RunOptions options;
    options.passwords = {"secret"};
    RunRecord run = runengine(fixture("enc_secret.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.passwordprompts, 1);
    EXPECT_EQ(readfile(dir.path() / "docs" / "guide.txt"), guide());
    EXPECT_EQ(fs::file_size(dir.path() / "docs" / "deep" / "blob.bin"), 200000u);
}

TEST(Decryption, EachMemberGetsThreeQuestions) {
    TempDir dir;
    RunOptions options;
    options.passwords = {"x", "y", "two", "one"};
    RunRecord run = runengine(fixture("enc_mixed.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.passwordprompts, 4);
    EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
    EXPECT_EQ(readfile(dir.path() / "docs" / "guide.txt"), guide());
}

TEST(Decryption, WrongPasswordsEverywhereGiveEightyTwo) {
    TempDir dir;
    RunOptions options;
    options.passwords = {"a", "b", "c", "d", "e", "f"};
    RunRecord run = runengine(fixture("enc_mixed.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultBadPassword);
    EXPECT_EQ(run.passwordprompts, 6);
    EXPECT_TRUE(readtree(dir.path()).empty() ||
                readtree(dir.path()) == (std::map<std::string, std::string>{{"docs", "<dir>"}}));
    EXPECT_FALSE(fs::exists(dir.path() / "top.txt"));
}

TEST(Decryption, SkipEndsOnlyThisMember) {
    TempDir dir;
    RunOptions options;
    options.passwords = {kSkip, "one"};
    RunRecord run = runengine(fixture("enc_mixed.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultWarning);
    EXPECT_EQ(run.passwordprompts, 2);
    EXPECT_FALSE(fs::exists(dir.path() / "docs" / "guide.txt"));
    EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
}

TEST(Decryption, CancelStopsAllQuestions) {
    TempDir dir;
    RunOptions options;
    options.passwords = {kCancel, "two"};
    RunRecord run = runengine(fixture("enc_mixed.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultBadPassword);
    EXPECT_EQ(run.passwordprompts, 1);
}

TEST(Decryption, TheRequestsPasswordIsTriedFirst) {
    TempDir dir;
    RunOptions options;
    options.password = "secret";
    RunRecord run = runengine(fixture("enc_secret.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.passwordprompts, 0);
}

} // namespace

// Archives made by bsdtar with the password "é" as one raw byte: 0x82 in the OEM code page
// (437), 0xE9 in the ANSI code page (1252). Their members carry data descriptors, so the
// password check byte is the high byte of the member's DOS time.
// A password is typed in UTF-8 and tried in that form, in the ANSI code page and in the OEM
// one, so one answer opens an archive whatever form its writer hashed. The last row's
// password is U+201A, byte 0x82 in code page 1252: read back as OEM text, that byte is "é",
// so it opens what was hashed as "é" in code page 1252.
TEST(Decryption, OneAnswerOpensEveryFormOfItsPassword) {
    const struct {
        const char* password;
        const char* archive;
    } kCases[] = {
        {"\xC3\xA9", "enc_oem.zip"},                            // "é": OEM byte 0x82
        {"\xC3\xA9", "enc_ansi.zip"},                           // "é": ANSI byte 0xE9
        {"p\xC3\xA4ssw\xC3\xB6rd\xE2\x82\xAC", "enc_utf8.zip"}, // its UTF-8 bytes
        {"\xD0\xBF\xD0\xB0\xD1\x80\xD0\xBE\xD0\xBB\xD1\x8C", "enc_cyrillic.zip"}, // no ANSI form
        {"\xE2\x80\x9A", "enc_ansi.zip"}, // ANSI 0x82 read as OEM
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.archive);
        TempDir dir;
        RunOptions options;
        options.passwords = {c.password};
        RunRecord run = runengine(fixture(c.archive), dir.str(), options);
        EXPECT_EQ(run.result, kResultOk);
        EXPECT_EQ(run.passwordprompts, 1);
        EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
    }
}

TEST(Decryption, CheckByteFromTheTimeRefusesAWrongPassword) {
    TempDir dir;
    RunOptions options;
    options.passwords = {"e", "E", "\xC9"}; // then the kit answers Cancel
    RunRecord run = runengine(fixture("enc_ansi.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultBadPassword);
    EXPECT_EQ(run.passwordprompts, 4); // three for the first member, Cancel on the second
    EXPECT_FALSE(fs::exists(dir.path() / "top.txt"));
}

namespace {

// The text the long-password archives were made with (see makefixtures.py).
std::string longpassword(size_t length) {
    const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string text;
    for (size_t i = 0; i < length; ++i) text += kAlphabet[(i * 7 + i / 36) % 36];
    return text;
}

// Runs archive with password as the request's first password and no answers to the
// question.
RunRecord withpreset(const char* archive, const std::string& password, const TempDir& dir) {
    RunOptions options;
    options.password = password;
    return runengine(fixture(archive), dir.str(), options);
}

TEST(LongPasswords, PresetPasswordsBeyondEightyCharactersOpen) {
    for (size_t length : {81u, 200u}) {
        TempDir dir;
        std::string archive = "enc_long" + std::to_string(length) + ".zip";
        RunRecord run = withpreset(archive.c_str(), longpassword(length), dir);
        EXPECT_EQ(run.result, kResultOk) << length;
        EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n") << length;
    }
}

// Cutting is what let a longer wrong password open an 80-character archive, and an
// 80-character prefix open a longer one: neither may pass now.
TEST(LongPasswords, PrefixesAndExtensionsAreWrong) {
    TempDir dir;
    RunRecord prefix = withpreset("enc_long81.zip", longpassword(80), dir);
    EXPECT_EQ(prefix.result, kResultBadPassword);
    EXPECT_TRUE(prefix.hasfailure(kReasonWrongPassword, "top.txt"));
    RunRecord longer = withpreset("enc_long80.zip", longpassword(81), dir);
    EXPECT_EQ(longer.result, kResultBadPassword);
    EXPECT_FALSE(fs::exists(dir.path() / "top.txt"));
    RunRecord exact = withpreset("enc_long80.zip", longpassword(80), dir);
    EXPECT_EQ(exact.result, kResultOk);
}

// The question's buffer holds kPasswordBuffer - 1 characters: an answer of exactly that
// length is tried whole.
TEST(LongPasswords, TypedAnswersOfTwoHundredCharactersOpen) {
    static_assert(kPasswordBuffer - 1 >= 255, "passwords of 255 bytes are accepted");
    TempDir dir;
    RunOptions options;
    options.passwords = {longpassword(200)};
    RunRecord run = runengine(fixture("enc_long200.zip"), dir.str(), options);
    EXPECT_EQ(run.result, kResultOk);
    EXPECT_EQ(run.passwordprompts, 1);
    EXPECT_EQ(readfile(dir.path() / "top.txt"), "top\n");
}

// An AES member is refused as needing a newer version (AES needs 5.1), also where its writer
// claims less: no password is asked for, nothing is written, no password is found wrong, and
// the traditional member beside it still opens.
TEST(Decryption, AesMembersAreRefusedBeforeAnyPasswordQuestion) {
    for (unsigned versionneeded : {51u, 20u}) {
        SCOPED_TRACE(versionneeded);
        TempDir source;
        std::string archive =
            savearchive(source, rawzip::archive({rawzip::aesmember("aes.bin", versionneeded),
                                                 rawzip::file("plain.txt", "plain")}));
        RunOptions options;
        options.passwords = {"secret"};
        ContainedRun run = runcontained(archive, options);
        EXPECT_EQ(run.record.result, kResultNewerVersion);
        EXPECT_EQ(run.record.passwordprompts, 0);
        EXPECT_TRUE(run.record.hasfailure(kReasonNewerVersion, "aes.bin"));
        EXPECT_FALSE(run.record.hasfailure(kReasonWrongPassword));
        EXPECT_EQ(run.tree, (std::map<std::string, std::string>{{"plain.txt", "plain"}}));
        EXPECT_TRUE(run.outside.empty());
    }
}

// The key schedule against its definition, with the CRC-32 step done bit by bit: the start
// values, each key after every byte of a password, and the key-stream byte.
TEST(CipherKeys, FollowTheirDefinitionByteForByte) {
    ASSERT_TRUE(buildcrctable());
    auto crcstep = [](unsigned reg, unsigned char b) {
        reg ^= b;
        for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1)));
        return reg;
    };
    unsigned expected[3] = {0x12345678u, 0x23456789u, 0x34567890u};
    CipherKeys keys;
    startkeys(&keys);
    for (unsigned char c : std::string("P\xE4sswort 0123456789 \xFF")) {
        expected[0] = crcstep(expected[0], c);
        expected[1] = (expected[1] + (expected[0] & 0xFF)) * 134775813u + 1;
        expected[2] = crcstep(expected[2], static_cast<unsigned char>(expected[1] >> 24));
        takeplain(&keys, c);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(keys.key[k], expected[k]) << "key " << k;
    }
    unsigned t = (expected[2] & 0xFFFF) | 2;
    EXPECT_EQ(keystreambyte(&keys), static_cast<unsigned char>((t * (t ^ 1)) >> 8));
    releasecrctable();
}

// What the builder encrypts, the engine's own steps on its state decrypt: the header's check
// byte and then the data.
TEST(CipherKeys, TheEngineDecryptsWhatTheBuilderEncrypts) {
    const unsigned char source[kCryptHeaderRandom] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const std::string plain = guide();
    const unsigned crc = 0xA5000000u;
    std::string encrypted = encryptmember(plain, "secret", source, crc);
    ASSERT_EQ(encrypted.size(), kEncryptionHeader + plain.size());
    ASSERT_TRUE(buildcrctable());
    initkeys("secret");
    unsigned char last = 0;
    for (int i = 0; i < kEncryptionHeader; ++i) {
        last = static_cast<unsigned char>(static_cast<unsigned char>(encrypted[i]) ^ decryptbyte());
        updatekeys(last);
    }
    EXPECT_EQ(last, crc >> 24);
    std::string data = encrypted.substr(kEncryptionHeader);
    decryptbuffer(reinterpret_cast<unsigned char*>(&data[0]), static_cast<unsigned>(data.size()));
    EXPECT_EQ(data, plain);
    releasecrctable();
}

} // namespace
