// Command line: where the program name ends, how the switches change a package's setup
// options, and the usage message.
#include "startup/commandline.h"

#include "startup/optionsblock.h"
#include "startup/textblock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string tail(std::string line) {
    std::string copy = line;
    char* start = skipprogramname(&copy[0]);
    return start;
}

// The options of a package as its options block leaves them: a dialog with a start
// question, a completion message, a comment and a progress window, a command that the user
// may switch off, overwrite mode "confirm". password is the engine's preset password.
class CommandLine : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(options, nullptr);
        strcpy(options->title, "Orvandel Demo");
        strcpy(options->destfolder, "C:\\Temp\\orv");
        setcommand("setup.exe|-q");
        options->hascommand = options->commandoptional = true;
        options->hasstartprompt = options->showdone = options->showcomment = true;
        options->showprogress = true;
        options->overwritemode = kOverwriteAsk;
        strcpy(password, "STOCK-PW");
    }
    void TearDown() override { releasesfxoptions(options); }

    void setcommand(const char* command) {
        free(options->command);
        options->command = strdup(command);
    }

    CommandLineResult apply(const std::string& line, size_t passwordsize = sizeof password) {
        std::vector<char> text(line.begin(), line.end());
        text.push_back(0);
        return applycommandline(text.data(), options, password, passwordsize);
    }

    // A copy of the record and its command, to show that a line changed nothing.
    struct Snapshot {
        SfxOptions record;
        std::string command;
        std::string password;
    };
    Snapshot snapshot() const {
        Snapshot s;
        memcpy(&s.record, options, sizeof s.record);
        s.command = options->command;
        s.password = password;
        return s;
    }
    void expectunchanged(const Snapshot& before) const {
        EXPECT_EQ(memcmp(&before.record, options, sizeof before.record), 0);
        EXPECT_EQ(before.command, options->command);
        EXPECT_EQ(before.password, password);
    }

    SfxOptions* options = makesfxoptions();
    char password[kSwitchValueLength + 1];
};

// A line of count arguments: first, then fillers that are unknown switches, then last.
std::string arguments(int count, const std::string& first, const std::string& last) {
    std::string line = first;
    for (int i = 2; i < count; i++) line += " -z";
    return line + " " + last;
}

} // namespace

TEST(SkipProgramName, QuotedAndUnquotedNames) {
    EXPECT_EQ(tail("\"C:\\Program Files\\setup.exe\" /a /d C:\\x"), "/a /d C:\\x");
    EXPECT_EQ(tail("\"C:\\setup.exe\"/s"), "/s");
    EXPECT_EQ(tail("setup.exe   /s"), "/s");
    EXPECT_EQ(tail("setup.exe"), "");
    EXPECT_EQ(tail("\"setup.exe\""), "");
    EXPECT_EQ(tail(""), "");
}

TEST(SkipProgramName, UnclosedQuoteHandsOverTheWholeLine) {
    EXPECT_EQ(tail("\"C:\\setup.exe /a"), "\"C:\\setup.exe /a");
}

TEST(SkipProgramName, OnlyBlanksSeparate) {
    EXPECT_EQ(tail("setup.exe\t/a /x"), "/x");
    EXPECT_EQ(tail("\"setup.exe\"\t/a"), "\t/a");
}

TEST_F(CommandLine, LinesThatChangeNothing) {
    Snapshot before = snapshot();
    for (const char* line : {"", " ", "/", "-", "\\", "/ -", "/z /1 /- -! \\~ / a", "setup", "x/a",
                             "a -", "\"C:\\setup.exe\""}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(apply(line), kCommandLineGoOn);
        expectunchanged(before);
    }
}

TEST_F(CommandLine, AnyOfTheThreeSwitchCharactersAndEitherCase) {
    EXPECT_EQ(apply("/A -X \\O"), kCommandLineGoOn);
    EXPECT_TRUE(options->autoextract);
    EXPECT_FALSE(options->hascommand || options->commandoptional);
    EXPECT_EQ(options->overwritemode, kOverwriteAlways);
    apply("-N");
    EXPECT_EQ(options->overwritemode, kOverwriteNever);
    apply("\\Q -DD:\\x /Pword");
    EXPECT_EQ(options->overwritemode, kOverwriteAsk);
    EXPECT_STREQ(options->destfolder, "D:\\x");
    EXPECT_STREQ(password, "word");
}

TEST_F(CommandLine, AutomaticExtractionWithoutCommand) {
    apply("/x /a");
    EXPECT_TRUE(options->autoextract);
    EXPECT_FALSE(options->hascommand || options->commandoptional);
    EXPECT_TRUE(options->hasstartprompt && options->showdone && options->showprogress);
    EXPECT_STREQ(options->command, "setup.exe|-q");
}

TEST_F(CommandLine, SilentRunHidesProgressOnlyWithLowerCaseThirdS) {
    struct {
        const char* line;
        bool progress;
    } cases[] = {{"/s", true},   {"/S", true},    {"/sS", true}, {"/ss", false},
                 {"/Ss", false}, {"-ssx", false}, {"/sx", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        SetUp();
        apply(c.line);
        EXPECT_TRUE(options->autoextract);
        EXPECT_FALSE(options->hasstartprompt || options->showdone || options->showcomment);
        EXPECT_EQ(options->overwritemode, kOverwriteAlways);
        EXPECT_EQ(options->showprogress, c.progress);
        EXPECT_TRUE(options->hascommand);
    }
}

TEST_F(CommandLine, LaterSwitchesOverrideEarlierOnes) {
    apply("/s /q");
    EXPECT_EQ(options->overwritemode, kOverwriteAsk);
    EXPECT_TRUE(options->autoextract);
    apply("/n /o");
    EXPECT_EQ(options->overwritemode, kOverwriteAlways);
    apply("/o /n /d C:\\first /d D:\\second /p one /p two");
    EXPECT_EQ(options->overwritemode, kOverwriteNever);
    EXPECT_STREQ(options->destfolder, "D:\\second");
    EXPECT_STREQ(password, "two");
}

TEST_F(CommandLine, ValueStartsAfterABlankOrColon) {
    for (const char* line : {"/dC:\\x", "/d C:\\x", "/d:C:\\x"}) {
        SCOPED_TRACE(line);
        strcpy(options->destfolder, "unchanged");
        apply(line);
        EXPECT_STREQ(options->destfolder, "C:\\x");
    }
    apply("/d::x");
    EXPECT_STREQ(options->destfolder, ":x");
    apply("/d  x");
    EXPECT_STREQ(options->destfolder, " x");
    apply("/d");
    EXPECT_STREQ(options->destfolder, "");
    apply("/p:");
    EXPECT_STREQ(password, "");
}

TEST_F(CommandLine, FolderIsStoredAsGiven) {
    apply("/d %TEMP%\\x");
    EXPECT_STREQ(options->destfolder, "%TEMP%\\x");
}

TEST_F(CommandLine, BlanksSplitOnlyBeforeASwitchCharacter) {
    apply("/d C:\\My Files /a");
    EXPECT_STREQ(options->destfolder, "C:\\My Files");
    EXPECT_TRUE(options->autoextract);

    apply("/p my  secret words ");
    EXPECT_STREQ(password, "my  secret words ");

    // Even inside a path: "-Files" is an argument of its own (and an unknown switch).
    apply("/d C:\\My -Files");
    EXPECT_STREQ(options->destfolder, "C:\\My");
    apply("/d C:\\Apps \\Zed");
    EXPECT_STREQ(options->destfolder, "C:\\Apps");

    // A tab is no blank.
    apply("/d C:\\x\t/o");
    EXPECT_STREQ(options->destfolder, "C:\\x\t/o");
    EXPECT_EQ(options->overwritemode, kOverwriteAsk);
}

TEST_F(CommandLine, ByteOneBecomesABlankAndNeverSplits) {
    apply("/d C:\\My\x01"
          "Files");
    EXPECT_STREQ(options->destfolder, "C:\\My Files");
    apply("/p a\x01/o");
    EXPECT_STREQ(password, "a /o");
    EXPECT_EQ(options->overwritemode, kOverwriteAsk);
}

// A value keeps kSwitchValueLength bytes of UTF-8 at most, and never part of a character: a
// two-byte character that would end one byte past the limit goes whole.
TEST_F(CommandLine, ValuesKeepAtMostTheirLengthInWholeCharacters) {
    const std::string fits(kSwitchValueLength, 'f');
    const std::string over = std::string(kSwitchValueLength, 'o') + "X";
    const std::string split = std::string(kSwitchValueLength - 1, 's') + "\xC3\xA9";
    apply("/d" + fits);
    EXPECT_EQ(options->destfolder, fits);
    apply("/d " + over + " /a");
    EXPECT_EQ(options->destfolder, over.substr(0, kSwitchValueLength));
    EXPECT_TRUE(options->autoextract);
    apply("/d" + split);
    EXPECT_EQ(options->destfolder, split.substr(0, kSwitchValueLength - 1));

    apply("/p:" + fits);
    EXPECT_EQ(std::string(password), fits);
    apply("/p" + over);
    EXPECT_EQ(std::string(password), over.substr(0, kSwitchValueLength));
}

TEST_F(CommandLine, PasswordIsCutToItsBuffer) {
    // A buffer of exactly the given size, so that AddressSanitizer sees a byte past it.
    for (size_t size : {size_t(1), size_t(8), size_t(kSwitchValueLength + 1)}) {
        SCOPED_TRACE(size);
        std::vector<char> buffer(size, 'x');
        std::string line = "/p " + std::string(kSwitchValueLength + 10, 'p');
        std::vector<char> text(line.begin(), line.end());
        text.push_back(0);
        applycommandline(text.data(), options, buffer.data(), buffer.size());
        EXPECT_EQ(std::string(buffer.data()), std::string(size - 1, 'p'));
    }
}

TEST_F(CommandLine, ParametersReplaceWhatFollowsTheBar) {
    EXPECT_EQ(apply("/# -v file.txt"), kCommandLineGoOn);
    EXPECT_STREQ(options->command, "setup.exe|-v file.txt");

    setcommand("setup.exe");
    apply("/# -v file.txt");
    EXPECT_STREQ(options->command, "setup.exe|-v file.txt");

    setcommand("run.exe|a|b");
    apply("-#x");
    EXPECT_STREQ(options->command, "run.exe|x");

    setcommand("setup.exe");
    apply("/#");
    EXPECT_STREQ(options->command, "setup.exe|");
    EXPECT_TRUE(options->hascommand);
}

TEST_F(CommandLine, ParametersTakeTheRestOfTheLine) {
    EXPECT_EQ(apply("/a /#:-v /x /d C:\\My Files \x01 /s"), kCommandLineGoOn);
    EXPECT_STREQ(options->command, "setup.exe|-v /x /d C:\\My Files   /s");
    EXPECT_TRUE(options->autoextract);
    EXPECT_TRUE(options->hascommand);
    EXPECT_STREQ(options->destfolder, "C:\\Temp\\orv");
    EXPECT_TRUE(options->showprogress);
}

TEST_F(CommandLine, ParametersAreStoredForAPackageWithoutCommand) {
    setcommand("");
    options->hascommand = false;
    apply("/# -v");
    EXPECT_STREQ(options->command, "|-v");
    EXPECT_FALSE(options->hascommand);
}

TEST_F(CommandLine, UsageStopsTheLine) {
    for (const char* line : {"/?", "/h", "-H", "\\?x"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(apply(line), kCommandLineUsage);
    }
    EXPECT_EQ(apply("/a /? /x"), kCommandLineUsage);
    EXPECT_TRUE(options->autoextract);
    EXPECT_TRUE(options->hascommand);
}

TEST_F(CommandLine, UnclosedQuotedProgramNameIsIgnored) {
    std::string line = "\"C:\\Program Files\\setup.exe /a /d C:\\x";
    std::vector<char> text(line.begin(), line.end());
    text.push_back(0);
    applycommandline(skipprogramname(text.data()), options, password, sizeof password);
    EXPECT_TRUE(options->autoextract);
    EXPECT_STREQ(options->destfolder, "C:\\x");
}

TEST_F(CommandLine, ArgumentsAfterTheFiftiethAreIgnored) {
    apply(arguments(kArgumentTable, "/a", "/x"));
    EXPECT_TRUE(options->autoextract);
    EXPECT_FALSE(options->hascommand);

    SetUp();
    Snapshot before = snapshot();
    apply(arguments(kArgumentTable + 1, "-z", "/x"));
    expectunchanged(before);
    apply(arguments(kArgumentTable + 20, "-z", "/?"));
    expectunchanged(before);

    // The fiftieth argument ends where the fifty-first begins.
    apply(arguments(kArgumentTable, "/a", "/d C:\\x") + " /o");
    EXPECT_STREQ(options->destfolder, "C:\\x");
    EXPECT_EQ(options->overwritemode, kOverwriteAsk);
}

TEST_F(CommandLine, ParametersReachPastTheFiftiethArgument) {
    apply(arguments(kArgumentTable, "/a", "/# -v") + " /o -w");
    EXPECT_STREQ(options->command, "setup.exe|-v /o -w");
    EXPECT_EQ(options->overwritemode, kOverwriteAsk);
}

namespace {

// The usage texts of an English package; every other text is "unused".
struct UsageTexts {
    std::vector<const char*> texts = std::vector<const char*>(kTextCount, "unused");
    UsageTexts() {
        texts[kTextAbout] = "Orvandel SFX";
        texts[kTextUsage] = "Usage";
        texts[kTextUsageAuto] = "extract automatically";
        texts[kTextUsageNoCommand] = "run no command";
        texts[kTextUsageSilent] = "silent";
        texts[kTextUsageOverwriteModes] = "Overwrite modes:";
        texts[kTextUsageConfirm] = "confirm";
        texts[kTextUsageOverwrite] = "overwrite";
        texts[kTextUsageSkip] = "skip";
        texts[kTextUsageFolder] = "destination folder";
    }
};

std::string usage(const char* modulepath, const UsageTexts& t = UsageTexts()) {
    std::vector<char> out(kUsageBuffer);
    EXPECT_EQ(formatusage(out.data(), kUsageBuffer, modulepath, t.texts.data()), out.data());
    return out.data();
}

// The program's name as the usage message shows it.
std::string programname(const char* modulepath) {
    std::string text = usage(modulepath);
    size_t start = text.find(":\n\n") + 3;
    return text.substr(start, text.find(" [ /a ]") - start);
}

} // namespace

TEST(Usage, MessageLayout) {
    EXPECT_EQ(usage("C:\\Temp\\SETUP.EXE"),
              "Orvandel SFX\n\nUsage:\n\n"
              "setup [ /a ] [ /q | /o | /n ] [ /s ] [ /x ] [ /d dir ]\n\n"
              "/a - extract automatically\n/x - run no command\n/s - silent\n\n"
              "Overwrite modes:\n\n/q - confirm\n/o - overwrite\n/n - skip\n\n"
              "/d dir - destination folder");
}

TEST(Usage, ProgramNameIsTheLowerCaseFileNameUpToItsFirstDot) {
    EXPECT_EQ(programname("C:\\Temp\\SETUP.EXE"), "setup");
    EXPECT_EQ(programname("C:\\Temp\\Setup"), "setup");
    EXPECT_EQ(programname("C:\\My.Files\\Pack.V2.exe"), "pack");
    EXPECT_EQ(programname("D:/Out/Demo.exe"), "demo");
    EXPECT_EQ(programname("C:Demo.exe"), "demo");
    EXPECT_EQ(programname("\xC4PFEL.EXE"), "\xC4pfel");
    EXPECT_EQ(programname(".hidden"), "");
    EXPECT_EQ(programname(""), "");
    std::string deep = "C:\\" + std::string(400, 'd') + "\\Setup.exe";
    EXPECT_EQ(programname(deep.c_str()), "setup");
}

TEST(Usage, TextsAreNeverFormats) {
    UsageTexts t;
    t.texts[kTextAbout] = "100% %s %n %d";
    t.texts[kTextUsageFolder] = "%%";
    std::string text = usage("setup.exe", t);
    EXPECT_EQ(text.rfind("100% %s %n %d\n\n", 0), 0u);
    EXPECT_EQ(text.substr(text.size() - 11), "/d dir - %%");
}

TEST(Usage, LongTextsAreCutAtTheBuffer) {
    std::string longtext(kUsageBuffer, 'L');
    UsageTexts t;
    t.texts[kTextUsageSkip] = longtext.c_str();
    std::string text = usage("setup.exe", t);
    EXPECT_EQ(text.size(), size_t(kUsageBuffer - 1));
    EXPECT_EQ(text.back(), 'L');

    char small[8];
    memset(small, '#', sizeof small);
    formatusage(small, 1, "setup.exe", t.texts.data());
    EXPECT_EQ(small[0], 0);
    EXPECT_EQ(small[1], '#');
}
