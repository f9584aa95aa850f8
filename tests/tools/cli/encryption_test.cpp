// Encrypted packages as publishers build them with orvsfx: checked with 7-Zip and with the
// stub's own engine (orvsfx test and extract), with the preset password, the longest
// password, random and derived encryption headers, and the refusals with their messages.
#include "tests/support/orvsfxcli.h"

#include <gtest/gtest.h>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;

class Encrypted : public ::testing::Test {
  protected:
    void SetUp() override {
        toolstest::writebytes(temp / "stub.bin", toolstest::fakestub(12000));
        toolstest::writebytes(temp / "proj/payload/readme.txt", "Read me first.\n");
        toolstest::writebytes(temp / "proj/payload/docs/manual.txt", std::string(5000, 'm'));
        toolstest::writebytes(temp / "proj/about.txt", "Made by us.\n");
    }
    Outcome build(const std::string& out, const std::string& args) {
        return orvsfx(temp, "build --stub " + quote(temp / "stub.bin") + " -o " +
                                quote(temp / out) + " " + args + " " +
                                quote(temp / "proj/payload"));
    }
    std::string info(const std::string& package) {
        return orvsfx(temp, "info " + quote(package)).out;
    }
    void expectline(const std::string& out, const std::string& line) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    }

    TempFolder temp;
};

TEST_F(Encrypted, APackageExtractsWithItsPasswordEverywhere) {
    ASSERT_EQ(build("enc.exe", "--password 'Geheim-ß'").status, 0);
    std::string out = info(temp / "enc.exe");
    expectline(out, " readme.txt  (encrypted)");
    expectline(out, " docs/manual.txt  (encrypted)");
    expectline(out, " docs/\n"); // a folder has nothing to encrypt
    EXPECT_EQ(toolstest::readbytes(temp / "enc.exe").find("Read me first"), std::string::npos);

    Outcome ours =
        shell(temp, quote(kOrvsfx) + " extract -p 'Geheim-ß' -d " + quote(temp / "ours") + " " +
                        quote(temp / "enc.exe") + " </dev/null");
    EXPECT_EQ(ours.status, 0) << ours.out << ours.err;
    EXPECT_EQ(toolstest::readbytes(temp / "ours/readme.txt"), "Read me first.\n");
    EXPECT_EQ(toolstest::readbytes(temp / "ours/docs/manual.txt"), std::string(5000, 'm'));
    Outcome test = shell(temp, quote(kOrvsfx) + " test -p 'Geheim-ß' " + quote(temp / "enc.exe") +
                                   " </dev/null");
    EXPECT_EQ(test.status, 0) << test.out << test.err;
    Outcome wrong =
        shell(temp, quote(kOrvsfx) + " test -p wrong " + quote(temp / "enc.exe") + " </dev/null");
    EXPECT_NE(wrong.status, 0) << wrong.out;

    if (!have("7zz")) GTEST_SKIP() << "7zz is not installed";
    // 7-Zip takes the password as the package stores it: ß is 0xDF in Windows-1252.
    toolstest::writebytes(temp / "pw.txt", "Geheim-\xDF");
    Outcome seven = shell(temp, "7zz x -y -p\"$(cat " + quote(temp / "pw.txt") + ")\" -o" +
                                    quote(temp / "seven") + " " + quote(temp / "enc.exe"));
    EXPECT_EQ(seven.status, 0) << seven.out << seven.err;
    EXPECT_EQ(toolstest::readbytes(temp / "seven/docs/manual.txt"), std::string(5000, 'm'));
    Outcome sevenwrong = shell(temp, "7zz t -pnope " + quote(temp / "enc.exe"));
    EXPECT_NE(sevenwrong.status, 0);
}

TEST_F(Encrypted, ThePresetPasswordNeedsNoQuestion) {
    ASSERT_EQ(build("stock.exe", "--password STOCK-PW").status, 0);
    // No -p and no input: the engine tries its preset password first and never asks.
    Outcome test =
        shell(temp, quote(kOrvsfx) + " test " + quote(temp / "stock.exe") + " </dev/null");
    EXPECT_EQ(test.status, 0) << test.out << test.err;
    EXPECT_EQ(test.err.find("password for"), std::string::npos) << test.err;
    if (have("7zz")) {
        EXPECT_EQ(shell(temp, "7zz t -pSTOCK-PW " + quote(temp / "stock.exe")).status, 0);
    }
}

// 255 bytes is the longest password: the package opens with all of it and not with a prefix.
TEST_F(Encrypted, TheLongestPasswordRoundTrips) {
    std::string longest(255, 'q');
    ASSERT_EQ(build("long.exe", "--password " + longest).status, 0);
    Outcome right = shell(temp, quote(kOrvsfx) + " test -p " + longest + " " +
                                    quote(temp / "long.exe") + " </dev/null");
    EXPECT_EQ(right.status, 0) << right.out << right.err;
    Outcome prefix = shell(temp, quote(kOrvsfx) + " test -p " + longest.substr(0, 80) + " " +
                                     quote(temp / "long.exe") + " </dev/null");
    EXPECT_NE(prefix.status, 0);
}

TEST_F(Encrypted, RandomHeadersDifferAndDerivedOnesRepeat) {
    std::string args = "--source-date-epoch 1600000000 --password pw";
    ASSERT_EQ(build("r1.exe", args).status, 0);
    ASSERT_EQ(build("r2.exe", args).status, 0);
    EXPECT_NE(toolstest::readbytes(temp / "r1.exe"), toolstest::readbytes(temp / "r2.exe"));
    ASSERT_EQ(build("d1.exe", args + " --reproducible-encryption").status, 0);
    ASSERT_EQ(build("d2.exe", args + " --reproducible-encryption").status, 0);
    EXPECT_EQ(toolstest::readbytes(temp / "d1.exe"), toolstest::readbytes(temp / "d2.exe"));
    ASSERT_EQ(build("d3.exe", "--source-date-epoch 1600000000 --password other "
                              "--reproducible-encryption")
                  .status,
              0);
    EXPECT_NE(toolstest::readbytes(temp / "d1.exe"), toolstest::readbytes(temp / "d3.exe"));
    Outcome test =
        shell(temp, quote(kOrvsfx) + " test -p pw " + quote(temp / "d1.exe") + " </dev/null");
    EXPECT_EQ(test.status, 0) << test.out << test.err;
    if (have("7zz")) {
        EXPECT_EQ(shell(temp, "7zz t -ppw " + quote(temp / "d1.exe")).status, 0);
    }
}

TEST_F(Encrypted, Refusals) {
    expectmessage(build("x.exe", "--reproducible-encryption"), 2,
                  "--reproducible-encryption needs --password (see \"orvsfx help\")");
    expectmessage(build("x.exe", "--password " + std::string(256, 'p')), 1,
                  "the password has 256 bytes; at most 255 fit the stub's password question");
    expectmessage(build("x.exe", "--password 'p\xC5\x82'"), 1,
                  "the password: character 2, \"ł\" (U+0142), cannot be written in code page 1252 "
                  "(Windows-1252)");
    expectmessage(orvsfx(temp, "build --stub " + quote(temp / "stub.bin") + " -o " +
                                   quote(temp / "x.exe") + " --password pw --from-zip " +
                                   quote(temp / "proj/about.txt")),
                  2,
                  "--password is for folder builds; an existing archive keeps its own "
                  "encryption (see \"orvsfx help\")");
    EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe"));
}

} // namespace
