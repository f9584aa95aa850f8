// A package made as a publisher makes it with the installed tool: the host build installed
// into a folder of the test (cmake --install), its orvsfx build run on the host without
// --stub, so with the installed stub, and the package run unattended with /s under Wine.
#include "tests/support/setuprun.h"

#include "tests/uitest/hostcommand.h"

namespace {

using namespace setuprun;
using uitest::shellword;

// cmake --install of the host build and the orvsfx build behind it, on the host.
const int kInstallAndBuildSeconds = 120;
// The package's unattended run under Wine, which may be emulated.
const int kRunMilliseconds = 60000;

class InstalledTool : public SetupRun {};

TEST_F(InstalledTool, ItsPackageExtractsUnattended) {
    const std::map<std::string, std::string> payload = {{"readme.txt", "Read me first.\r\n"},
                                                        {"bin", "<dir>"},
                                                        {"bin/tool.dat", std::string(3000, 'x')}};
    for (const auto& [name, contents] : payload)
        if (contents != "<dir>") writefile(folder / "payload" / name, contents);
    std::string host = uitest::unixpath(folder);
    ASSERT_FALSE(host.empty());
    uitest::HostRun made =
        uitest::runonhost(shellword(ORV_CMAKE_COMMAND) + " --install " + shellword(ORV_HOST_BUILD) +
                              " --prefix " + shellword(host + "/prefix") + " >/dev/null && " +
                              shellword(host + "/prefix/bin/orvsfx") + " build -o " +
                              shellword(host + "/Setup.exe") + " " + shellword(host + "/payload"),
                          kInstallAndBuildSeconds);
    ASSERT_EQ(made.status, 0) << made.output;
    uitest::Process run((folder / "Setup.exe").string(), "/s /d " + destination().string());
    EXPECT_EQ(run.waitexit(kRunMilliseconds), 0);
    EXPECT_EQ(extracted(destination()), payload);
}

} // namespace
