// A package signed after it was built (Authenticode: osslsigncode on the host, with a
// throw-away certificate made by openssl) run by the real stub under Wine. The signature lies
// behind the archive; the stub still finds the archive's end record before it, shows the
// members in its file list and extracts them, through the dialog and in a silent run.
#include "tests/support/setuprun.h"

#include "tests/uitest/hostcommand.h"

namespace {

using namespace setuprun;
using uitest::shellword;
using uitest::unixpath;

const std::map<std::string, std::string> kMembers = {{"docs/guide.txt", "guide"},
                                                     {"readme.txt", "Read me first."}};
const std::map<std::string, std::string> kExtracted = {
    {"docs", "<dir>"}, {"docs/guide.txt", "guide"}, {"readme.txt", "Read me first."}};
const size_t kEndRecordSize = 22; // an end record without a comment

class SignedPackage : public SetupRun {
  protected:
    void SetUp() override {
        SetupRun::SetUp();
        Package package;
        package.archive = archiveof(files(kMembers));
        unsignedpath = build(package, "unsigned.exe");
        signedpath = (folder / "signed.exe").string();
        // A new certificate and key in the test's folder, the signature, and its check.
        uitest::HostRun made = uitest::runonhost(
            "set -e\ncd " + shellword(unixpath(folder)) +
            "\nopenssl req -x509 -newkey rsa:2048 -nodes -subj /CN=Orvandel-Test -days 2 "
            "-keyout key.pem -out cert.pem\n"
            "osslsigncode sign -certs cert.pem -key key.pem -in " +
            shellword(unixpath(unsignedpath)) + " -out " + shellword(unixpath(signedpath)) +
            "\nosslsigncode verify -CAfile cert.pem -in " + shellword(unixpath(signedpath)));
        ASSERT_EQ(made.status, 0) << made.output;
    }

    std::string unsignedpath, signedpath;
};

// Signing appended the certificate table: the package grew, and its archive no longer ends
// the file.
TEST_F(SignedPackage, TheSignatureLiesBehindTheArchive) {
    std::string before = readfile(unsignedpath), after = readfile(signedpath);
    EXPECT_GT(after.size(), before.size());
    EXPECT_GT(after.size() - after.rfind("PK\x05\x06"), kEndRecordSize);
}

TEST_F(SignedPackage, OpensListsAndExtractsThroughTheDialog) {
    uitest::Process run(signedpath);
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_DISPLAY),
              (std::vector<std::string>{"docs/guide.txt", "readme.txt"}));
    uitest::click(dialog, IDC_EXTRACT);
    expectbox(run, shippedtable("english").texts[kTextCompleted], "Setup Test", MB_ICONINFORMATION);
    EXPECT_EQ(run.waitexit(), 0);
    EXPECT_EQ(extracted(destination()), kExtracted);
}

TEST_F(SignedPackage, ExtractsInASilentRun) {
    fs::path target = folder / "silent";
    uitest::Process run(signedpath, "/s /d " + target.string());
    EXPECT_EQ(run.waitexit(), 0);
    EXPECT_EQ(extracted(target), kExtracted);
    EXPECT_FALSE(fs::exists(destination()));
}

} // namespace
