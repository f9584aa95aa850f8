// orvsfx as installed: the tree "cmake --install" lays out in a temporary prefix, its build
// without --stub (the installed stub), its version report, and its manual page and bash
// completion, which must name every subcommand and option that the program's help prints.
//
// The help is printed from the tables the builder parses with, so an option added there and
// missing from the page or the completion fails here. Every process runs under timeout(1).
#include "tests/support/orvsfxcli.h"

#include "resources/version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <libdeflate.h>
#include <lzma.h>
#include <map>
#include <sstream>
#include <vector>
#include <zlib.h>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;
namespace fs = std::filesystem;

// The win32 build's stub, which the host build installs (ORV_STUB of cmake/Install.cmake).
const std::string kStub = ORV_STUB;
const std::string kStubPlace = "share/orvsfx/stub.exe";
const std::string kManual = "share/man/man1/orvsfx.1.gz";
const std::string kCompletion = "share/bash-completion/completions/orvsfx";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The options of a help text: the lines "  -o, --output FILE   help ..." give -o and --output.
std::vector<std::string> helpoptions(const std::string& help) {
    std::vector<std::string> options;
    for (const std::string& line : lines(help)) {
        if (line.rfind("  -", 0) != 0) continue;
        std::istringstream pieces(line.substr(2, line.find("  ", 2) - 2));
        for (std::string piece; std::getline(pieces >> std::ws, piece, ',');) {
            if (piece[0] != '-') break;
            options.push_back(piece.substr(0, piece.find(' ')));
        }
    }
    return options;
}

bool contains(const std::vector<std::string>& words, const std::string& word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// Roff's form of an option as the page sets it in bold: "\fB\-\-title\fR".
std::string roffbold(const std::string& option) {
    std::string out = "\\fB";
    for (char c : option) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out + "\\fR";
}

class Installed : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kStub)) GTEST_SKIP() << "no stub at " << kStub << " to install";
        Outcome install = shell(temp, quote(ORV_CMAKE_COMMAND) + " --install " +
                                          quote(ORV_BINARY_DIR) + " --prefix " + quote(prefix()));
        ASSERT_EQ(install.status, 0) << install.out << install.err;
        toolstest::writebytes(temp / "payload/readme.txt", "Read me first.\n");
        toolstest::writebytes(temp / "payload/bin/tool.dat", std::string(5000, 'x'));
    }
    std::string prefix() const { return temp / "prefix"; }
    std::string program() const { return prefix() + "/bin/orvsfx"; }
    // The installed program copied alone to alone/bin, without the share folder beside it.
    std::string alone() {
        fs::create_directories(temp / "alone/bin");
        fs::copy_file(program(), temp / "alone/bin/orvsfx");
        return temp / "alone/bin/orvsfx";
    }
    // Where that copy looks for its stub.
    std::string alonestub() const {
        return fs::weakly_canonical(temp / ("alone/" + kStubPlace)).string();
    }
    Outcome run(const std::string& program, const std::string& args) {
        return shell(temp, quote(program) + " " + args);
    }
    // What the completion offers for the words of a command line, the last one being
    // completed, with the current folder temp.
    std::vector<std::string> offered(const std::string& words) {
        std::string script = "cd " + quote(temp.path()) + " && . " +
                             quote(prefix() + "/" + kCompletion) + "; COMP_WORDS=(" + words +
                             "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _orvsfx; " +
                             "for word in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$word\"; done";
        Outcome reply = shell(temp, "bash -c " + quote(script));
        EXPECT_EQ(reply.status, 0) << words << ": " << reply.err;
        return lines(reply.out);
    }

    TempFolder temp;
};

TEST_F(Installed, TheTreeHoldsTheProgramItsStubItsPagesAndItsDocuments) {
    const std::map<std::string, bool> kFiles = {// path -> executable
                                                {"bin/orvsfx", true},
                                                {kStubPlace, false},
                                                {"share/orvsfx/legal.html", false},
                                                {kManual, false},
                                                {kCompletion, false},
                                                {"share/doc/orvsfx/README.md", false},
                                                {"share/doc/orvsfx/docs/packaging.md", false},
                                                {"share/doc/orvsfx/examples/demo.ini", false}};
    for (const auto& [path, executable] : kFiles) {
        fs::path file = prefix() + "/" + path;
        ASSERT_TRUE(fs::is_regular_file(file)) << path;
        bool runs = (fs::status(file).permissions() & fs::perms::owner_exec) != fs::perms::none;
        EXPECT_EQ(runs, executable) << path;
    }
    EXPECT_EQ(toolstest::readbytes(prefix() + "/" + kStubPlace), toolstest::readbytes(kStub));
    // Nothing lands outside the program's own places.
    const std::vector<std::string> kPlaces = {"bin/orvsfx", "share/orvsfx/", "share/man/man1/",
                                              "share/bash-completion/", "share/doc/orvsfx/"};
    for (const auto& entry : fs::recursive_directory_iterator(prefix())) {
        if (entry.is_directory()) continue;
        std::string path = entry.path().lexically_relative(prefix()).string();
        bool placed = false;
        for (const std::string& place : kPlaces) placed |= path.rfind(place, 0) == 0;
        EXPECT_TRUE(placed) << path;
    }
}

TEST_F(Installed, ItsBuildTakesTheInstalledStubUnlessOneIsGiven) {
    Outcome made =
        run(program(), "build -o " + quote(temp / "Setup.exe") + " " + quote(temp / "payload"));
    ASSERT_EQ(made.status, 0) << made.err;
    std::string stub = toolstest::readbytes(kStub);
    EXPECT_EQ(toolstest::readbytes(temp / "Setup.exe").substr(0, stub.size()), stub);
    Outcome tested = run(program(), "test " + quote(temp / "Setup.exe"));
    EXPECT_EQ(tested.status, 0) << tested.err;
    EXPECT_EQ(tested.out, "No errors detected.\n");

    std::string lone = alone();
    expectmessage(run(lone, "build -o " + quote(temp / "Lone.exe") + " " + quote(temp / "payload")),
                  1, "no --stub given, and no stub at " + alonestub());
    EXPECT_FALSE(fs::exists(temp / "Lone.exe"));
    std::string fake = toolstest::fakestub(12000);
    toolstest::writebytes(temp / "fake.exe", fake);
    Outcome given = run(lone, "build --stub " + quote(temp / "fake.exe") + " -o " +
                                  quote(temp / "Lone.exe") + " " + quote(temp / "payload"));
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(toolstest::readbytes(temp / "Lone.exe").substr(0, fake.size()), fake);
}

// The installed program, the build's own (whose share/orvsfx/stub.exe links to the win32
// build's stub) and a program without a stub beside it. The stub's version resource gives the
// version of resources/version.h, as orvsfx does.
TEST_F(Installed, VersionNamesTheStubFoundAndTheLibraries) {
    std::string found = std::string("stub: ") + ORV_VERSION_TEXT + ", " +
                        std::to_string(fs::file_size(kStub)) + " bytes, ";
    std::string lone = alone();
    const std::map<std::string, std::string> kStubLines = {
        {program(), found + fs::canonical(prefix()).string() + "/" + kStubPlace},
        {kOrvsfx, found + fs::canonical(ORV_BINARY_DIR).string() + "/" + kStubPlace},
        {lone, "stub: none (no stub at " + alonestub() + ")"}};
    for (const auto& [program, stubline] : kStubLines) {
        Outcome version = run(program, "--version");
        EXPECT_EQ(version.status, 0) << program;
        EXPECT_EQ(version.out, std::string("orvsfx ") + ORV_VERSION_TEXT + "\n" + stubline +
                                   "\nbuilt with libdeflate " + LIBDEFLATE_VERSION_STRING +
                                   ", zlib " + ZLIB_VERSION + ", liblzma " + LZMA_VERSION_STRING +
                                   "\n")
            << program;
    }
}

TEST_F(Installed, ManualPageAndCompletionNameEverySubcommandAndOption) {
    Outcome page = shell(temp, "gzip -dc " + quote(prefix() + "/" + kManual));
    ASSERT_EQ(page.status, 0) << page.err;
    // groff reads the page without a warning.
    toolstest::writebytes(temp / "orvsfx.1", page.out);
    Outcome lint = shell(temp, "groff -man -ww -z " + quote(temp / "orvsfx.1"));
    EXPECT_EQ(lint.status, 0) << lint.err;
    EXPECT_EQ(lint.err, "");
    // The page's section of each subcommand, by name.
    std::map<std::string, std::string> sections;
    std::string* section = nullptr;
    for (const std::string& line : lines(page.out)) {
        if (line.rfind(".SS orvsfx ", 0) == 0) section = &sections[line.substr(11)];
        if (line.rfind(".SH ", 0) == 0) section = nullptr;
        if (section) *section += line + "\n";
    }

    std::vector<std::string> commands, first = offered("orvsfx ''");
    bool listed = false;
    for (const std::string& line : lines(run(program(), "help").out)) {
        listed |= line == "commands:";
        if (!listed || line.rfind("  ", 0) != 0) continue;
        std::string word = line.substr(2, line.find(' ', 2) - 2);
        EXPECT_TRUE(contains(first, word)) << word;
        if (word[0] == '-')
            EXPECT_NE(page.out.find(roffbold(word)), std::string::npos) << word;
        else
            commands.push_back(word);
    }
    EXPECT_GE(commands.size(), 6u);
    for (const std::string& command : commands) {
        ASSERT_EQ(sections.count(command), 1u) << command;
        std::vector<std::string> options = helpoptions(run(program(), command + " --help").out);
        std::vector<std::string> completed = offered("orvsfx " + command + " -");
        for (const std::string& option : options) {
            EXPECT_NE(sections[command].find(roffbold(option)), std::string::npos)
                << command << " " << option;
            EXPECT_TRUE(contains(completed, option)) << command << " " << option;
        }
    }
}

// Values: the shipped languages, folders for a folder, nothing for free text.
TEST_F(Installed, CompletionOffersTheValuesOfOptions) {
    fs::create_directories(temp / "target");
    toolstest::writebytes(temp / "stub.exe", "");
    const std::map<std::string, std::vector<std::string>> kOffers = {
        {"orvsfx build --language ''", {"english", "french", "german", "italian", "spanish"}},
        {"orvsfx build --language ge", {"german"}},
        {"orvsfx extract -d ta", {"target"}},
        {"orvsfx build --title ''", {}},
        {"orvsfx build --stub st", {"stub.exe"}},
        {"orvsfx ex", {"extract"}}};
    for (const auto& [words, expected] : kOffers) {
        std::vector<std::string> offer = offered(words);
        std::sort(offer.begin(), offer.end());
        EXPECT_EQ(offer, expected) << words;
    }
    if (!have("shellcheck")) return;
    Outcome check = shell(temp, "shellcheck -s bash " + quote(prefix() + "/" + kCompletion));
    EXPECT_EQ(check.status, 0) << check.out;
}

} // namespace
