// Texts the setup dialogs compose: the run check box's label, the link line, the About text,
// the captions of the two questions, and the safe filling of a package's texts.
#include "setup/dialogtexts.h"

#include "tests/support/setuptest.h"

#include <string.h>

namespace {

using DialogTexts = PackageTexts;

std::string fill(const char* text, const char* value, unsigned size = 64) {
    std::vector<char> out(size);
    return filltext(text, value, out.data(), size);
}

TEST(FillText, TheFirstPlaceholderTakesTheValueAndNothingElseIsAFormat) {
    EXPECT_EQ(fill("Please enter the password for %s", "a.txt"),
              "Please enter the password for a.txt");
    EXPECT_EQ(fill("%s and %s", "x"), "x and %s");
    EXPECT_EQ(fill("100%% of %s %d %n", "y"), "100% of y %d %n");
    EXPECT_EQ(fill("no placeholder", "z"), "no placeholder");
    EXPECT_EQ(fill("ends with %", "z"), "ends with %");
}

TEST(FillText, IsCutAtItsBufferAndAlwaysEnded) {
    // A buffer of 8 holds 7 characters and the NUL, whichever part of the text is cut.
    EXPECT_EQ(fill("ab%s", "cdefghij", 8), "abcdefg");
    EXPECT_EQ(fill("abcdefghij%s", "x", 8), "abcdefg");
    EXPECT_EQ(fill("abcdefg", "", 8), "abcdefg");
    EXPECT_EQ(fill("abcdefgh", "", 8), "abcdefg");
    EXPECT_EQ(fill("abc", "", 1), "");
}

TEST(FormatText, IsCutAtItsBufferAndAlwaysEnded) {
    char out[6];
    memset(out, 'x', sizeof out);
    formattext(out, sizeof out, "%s", "abcdefghij");
    EXPECT_STREQ(out, "abcde");
    formattext(out, sizeof out, "%s", "abcde");
    EXPECT_STREQ(out, "abcde");
}

// The package's text with its placeholder replaced, as a translator reads it.
std::string substituted(std::string text, const std::string& value) {
    size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, value);
}

std::string label(const char* command, unsigned size = kCommandLabel) {
    std::vector<char> out(size);
    commandlabel(command, out.data(), size);
    return out.data();
}

TEST_F(DialogTexts, TheRunLabelNamesTheCommandUpToItsParameters) {
    std::string prefix = text(kTextAfterExtraction) + " ";
    EXPECT_EQ(label("setup.exe|-q"), prefix + text(kTextRunVerb) + " setup.exe");
    EXPECT_EQ(label("readme.txt"), prefix + text(kTextRunVerb) + " readme.txt");
    // ".INF" anywhere, in any case, makes it an install command.
    EXPECT_EQ(label("driver.inf"), prefix + text(kTextInstallVerb) + " driver.inf");
    EXPECT_EQ(label("x.InF.bak|a"), prefix + text(kTextInstallVerb) + " x.InF.bak");
    // The whole command counts, its parameters included.
    EXPECT_EQ(label("setup.exe|x.inf"), prefix + text(kTextInstallVerb) + " setup.exe");
    EXPECT_EQ(label("setup.exe|/inf"), prefix + text(kTextRunVerb) + " setup.exe");
}

TEST_F(DialogTexts, TheRunLabelDropsTheDestinationTokens) {
    std::string prefix = text(kTextAfterExtraction) + " " + text(kTextRunVerb) + " ";
    EXPECT_EQ(label("{P}\\setup.exe"), prefix + "setup.exe");
    EXPECT_EQ(label("{p}setup.exe"), prefix + "setup.exe");
    EXPECT_EQ(label("><\\bin\\run.exe|{P}\\x"), prefix + "bin\\run.exe");
    EXPECT_EQ(label("><tool.exe"), prefix + "tool.exe");
    EXPECT_EQ(label("{S}\\tool.exe"), prefix + "{S}\\tool.exe");
}

TEST_F(DialogTexts, ALongCommandIsCutToTheLabel) {
    std::string command(2000, 'c');
    std::string shown = label(command.c_str(), kCommandLabel);
    EXPECT_EQ(shown.size(), size_t(kCommandLabel - 1));
    EXPECT_EQ(shown.back(), 'c');
}

TEST_F(DialogTexts, TheLinkLineCarriesTheMakersAddressAsItsTarget) {
    char out[kOpenWithLabel];
    makerlink(out, sizeof out);
    EXPECT_EQ(std::string(out), text(kTextMakerLink) + "#" + kMakerAddress);
}

TEST_F(DialogTexts, TheOpenWithLabelShowsAtMost19CharactersOfTheName) {
    char out[kOpenWithLabel];
    openwithlabel("WinRAR", out, sizeof out);
    EXPECT_EQ(std::string(out), substituted(text(kTextOpenWithButton), "WinRAR"));
    openwithlabel("An archiver with a long name", out, sizeof out);
    EXPECT_EQ(std::string(out), substituted(text(kTextOpenWithButton), "An archiver with a "));
    openwithlabel("", out, sizeof out);
    EXPECT_EQ(std::string(out), substituted(text(kTextOpenWithButton), ""));
}

TEST_F(DialogTexts, TheAboutTextJoinsThePackagesTextTheProgramsAndTheExtra) {
    struct Case {
        bool own, extra;
        std::string expected;
    } cases[] = {
        {false, false, text(kTextAbout)},
        {true, false, "Made by us.\r\n\r\n" + text(kTextAbout)},
        {false, true, text(kTextAbout) + "\r\n\r\n" + text(kTextAboutExtra)},
        {true, true, "Made by us.\r\n\r\n" + text(kTextAbout) + "\r\n\r\n" + text(kTextAboutExtra)},
    };
    settext(&sfxoptions->abouttext, "Made by us.");
    for (const Case& c : cases) {
        sfxoptions->hasabouttext = c.own;
        sfxoptions->aboutextra = c.extra;
        char* about = composeabout();
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(std::string(about), c.expected) << c.own << c.extra;
        free(about);
    }
}

TEST_F(DialogTexts, TheQuestionsCaptionIsTheBareFileName) {
    char out[kQuestionCaption];
    for (const char* path : {"C:\\Setup\\docs\\readme.txt", "C:/Setup/docs/readme.txt",
                             "C:readme.txt", "readme.txt"}) {
        questioncaption(path, out, sizeof out);
        EXPECT_EQ(std::string(out), "readme.txt" + text(kTextAlreadyExists)) << path;
    }
    std::string longname(kQuestionCaption, 'n');
    questioncaption(("C:\\" + longname).c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), size_t(kQuestionCaption - 1));
}

TEST_F(DialogTexts, ThePasswordCaptionCutsALongMemberName) {
    char out[kPasswordCaption];
    passwordcaption("docs/a.txt", out, sizeof out);
    EXPECT_EQ(std::string(out), substituted(text(kTextPasswordPrompt), "docs/a.txt"));
    std::string longname(kPasswordCaption, 'm');
    passwordcaption(longname.c_str(), out, sizeof out);
    EXPECT_EQ(strlen(out), size_t(kPasswordCaption - 1));
    EXPECT_EQ(std::string(out).back(), 'm');
    // A name of two-byte characters is cut between two of them, at most one byte short.
    std::string accented;
    for (int i = 0; i < kPasswordCaption; i++) accented += "\xC3\xA9";
    passwordcaption(accented.c_str(), out, sizeof out);
    std::string cut = out;
    EXPECT_GE(cut.size(), size_t(kPasswordCaption - 2));
    EXPECT_EQ(cut.substr(cut.size() - 2), "\xC3\xA9");
}

} // namespace
