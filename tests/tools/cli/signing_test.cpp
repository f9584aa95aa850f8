// Tests of packages signed after they were built (Authenticode, osslsigncode with a throw-away
// certificate): they still list, test and extract with the stub's engine, verify, and show
// their signature in info; the builder warns when the archive comment leaves too little room
// for the signature behind the end record.
#include "tests/support/orvsfxcli.h"

#include <gtest/gtest.h>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;

const std::size_t kDialogWindow = 65557; // bytes the stub's dialog searches for the end record

class Signed : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!have("osslsigncode") || !have("openssl"))
            GTEST_SKIP() << "osslsigncode or openssl is not installed";
        toolstest::writebytes(temp / "stub.bin", toolstest::fakestub(12000));
        toolstest::writebytes(temp / "src/readme.txt", "Read me first.\n");
        toolstest::writebytes(temp / "src/data.bin", std::string(3000, 'd'));
        ASSERT_EQ(makecertificate(temp).status, 0);
    }
    Outcome build(const std::string& out, const std::string& args) {
        return orvsfx(temp, "build --stub " + quote(temp / "stub.bin") + " -o " +
                                quote(temp / out) + " " + args + " " + quote(temp / "src"));
    }
    Outcome sign(const std::string& in, const std::string& out) {
        return signpackage(temp, in, out);
    }
    std::size_t size(const std::string& name) { return toolstest::readbytes(temp / name).size(); }

    TempFolder temp;
};

TEST_F(Signed, ASignedPackageVerifiesAndStillExtracts) {
    ASSERT_EQ(build("p.exe", "").status, 0);
    Outcome signing = sign("p.exe", "s.exe");
    ASSERT_EQ(signing.status, 0) << signing.out << signing.err;
    EXPECT_GT(size("s.exe"), size("p.exe"));
    Outcome verify = shell(temp, "osslsigncode verify -CAfile " + quote(temp / "cert.pem") +
                                     " -in " + quote(temp / "s.exe"));
    EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
    Outcome test = shell(temp, quote(kOrvsfx) + " test " + quote(temp / "s.exe") + " </dev/null");
    EXPECT_EQ(test.status, 0) << test.out << test.err;
    Outcome list = orvsfx(temp, "list " + quote(temp / "s.exe"));
    EXPECT_NE(list.out.find("readme.txt"), std::string::npos) << list.out;
    ASSERT_EQ(
        orvsfx(temp, "extract -d " + quote(temp / "out") + " " + quote(temp / "s.exe")).status, 0);
    EXPECT_EQ(toolstest::readbytes(temp / "out/data.bin"), std::string(3000, 'd'));
    Outcome info = orvsfx(temp, "info " + quote(temp / "s.exe"));
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_NE(info.out.find("after archive    " + std::to_string(size("s.exe") - size("p.exe")) +
                            " bytes (an Authenticode signature"),
              std::string::npos)
        << info.out;
}

TEST_F(Signed, TheLargestSignatureLeavesTheEndRecordInTheDialogsWindow) {
    // Measure this signature (the certificate table, behind up to 7 bytes that align it to 8),
    // then give the archive the longest comment that the builder finds safe for it.
    ASSERT_EQ(build("p.exe", "").status, 0);
    ASSERT_EQ(sign("p.exe", "s.exe").status, 0);
    std::size_t padding = (8 - size("p.exe") % 8) % 8;
    std::size_t signature = size("s.exe") - size("p.exe") - padding;
    std::size_t comment = kDialogWindow - 22 - 7 - signature;
    std::string text(comment, 'c');
    Outcome quiet =
        build("full.exe", "--signature-size " + std::to_string(signature) + " --comment " + text);
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err.find("warning"), std::string::npos) << quiet.err;
    ASSERT_EQ(sign("full.exe", "fullsigned.exe").status, 0);
    std::string signedpackage = toolstest::readbytes(temp / "fullsigned.exe");
    std::size_t record = signedpackage.rfind(std::string("PK\x05\x06", 4));
    EXPECT_LE(signedpackage.size() - record, kDialogWindow);
    EXPECT_GE(signedpackage.size() - record, kDialogWindow - 7);
    Outcome info = orvsfx(temp, "info " + quote(temp / "fullsigned.exe"));
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_EQ(
        shell(temp, quote(kOrvsfx) + " test " + quote(temp / "fullsigned.exe") + " </dev/null")
            .status,
        0);

    // Eight bytes more of comment, and the builder warns; info calls the signed package broken.
    Outcome warned = build("over.exe", "--signature-size " + std::to_string(signature) +
                                           " --comment " + text + "cccccccc");
    ASSERT_EQ(warned.status, 0);
    EXPECT_EQ(warned.err, "orvsfx: warning: the archive comment (" + std::to_string(comment + 8) +
                              " bytes) leaves room for a signature of " +
                              std::to_string(signature - 8) + " bytes, less than the " +
                              std::to_string(signature) +
                              " expected; a signed package would not show its files\n");
    ASSERT_EQ(sign("over.exe", "oversigned.exe").status, 0);
    signedpackage = toolstest::readbytes(temp / "oversigned.exe");
    record = signedpackage.rfind(std::string("PK\x05\x06", 4));
    EXPECT_GT(signedpackage.size() - record, kDialogWindow);
    info = orvsfx(temp, "info " + quote(temp / "oversigned.exe"));
    EXPECT_EQ(info.status, 1);
    EXPECT_NE(info.out.find("problem: archive: not a ZIP archive: no end-of-central-directory "
                            "record in the last 65557 bytes, where the stub's dialog looks for it "
                            "(a signature added later may have pushed it out)"),
              std::string::npos)
        << info.out;
}

TEST_F(Signed, TheDefaultExpectedSignatureWarnsAboutLongComments) {
    Outcome made = build("c.exe", "--comment " + std::string(50000, 'c'));
    ASSERT_EQ(made.status, 0);
    EXPECT_NE(made.err.find("less than the 16384 expected"), std::string::npos) << made.err;
    made = build("c0.exe", "--signature-size 0 --comment " + std::string(50000, 'c'));
    EXPECT_EQ(made.err.find("warning"), std::string::npos) << made.err;
}

} // namespace
