// Tests of "orvsfx build" with a package description file, UTF-8 texts and translations, as
// publishers run it: round trips through info, flags that override the file, and every
// refusal with its exact message.
#include "tests/support/orvsfxcli.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;

class Described : public ::testing::Test {
  protected:
    void SetUp() override {
        toolstest::writebytes(temp / "stub.bin", toolstest::fakestub(12000));
        toolstest::writebytes(temp / "proj/payload/readme.txt", "Read me first.\n");
        toolstest::writebytes(temp / "proj/payload/docs/manual.txt", std::string(5000, 'm'));
        toolstest::writebytes(temp / "proj/about.txt", "Made by us.\nSecond line.\n");
    }
    // Writes the description file, with the test's stub in a second [package] section at
    // its end unless it names one (a section may come back; its keys add to the first).
    void writeini(std::string content) {
        if (content.find("stub =") == std::string::npos)
            content += "\n[package]\nstub = " + (temp / "stub.bin") + "\n";
        toolstest::writebytes(temp / "proj/demo.ini", content);
    }
    Outcome buildini(const std::string& extra = "") {
        return orvsfx(temp, "build --package " + quote(temp / "proj/demo.ini") + " " + extra);
    }
    std::string info(const std::string& package) {
        return orvsfx(temp, "info " + quote(package)).out;
    }
    void expectline(const std::string& out, const std::string& line) {
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    }

    TempFolder temp;
};

const char kFullIni[] = "# The demo package.\n"
                        "[package]\n"
                        "source = payload\n"
                        "output = out/Demo.exe\n"
                        "level = 9\n"
                        "language = german\n"
                        "comment = Built from the demo tree\n"
                        "source-date-epoch = 1600000000\n"
                        "\n"
                        "[options]\n"
                        "title = Demo-Installation für Größen\n"
                        "folder = %temp%\\Demo\n"
                        "command = setup.exe|/quiet\n"
                        "command-optional = yes\n"
                        "prompt = Möchten Sie fortfahren?\n"
                        "    Die Dateien werden entpackt.\n"
                        "prompt-style = okcancel+information\n"
                        "about-file = about.txt\n"
                        "description = Erste Zeile\n"
                        "\n"
                        "    dritte Zeile\n"
                        "overwrite = never\n"
                        "select-files = yes\n"
                        "show-overwrite = true\n"
                        "clean-after = on\n"
                        "auto-extract = 1\n"
                        "no-done-message = yes\n"
                        "info-panel = yes\n"
                        "no-open-with = yes\n"
                        "show-comment = yes\n"
                        "no-about-extra = yes\n"
                        "no-progress = yes\n"
                        "banner = yes\n"
                        "write-log = yes\n"
                        "\n"
                        "[texts]\n"
                        "22 = Erstellt von der Demo-Firma mit Orvandel SFX\n"
                        "63 = Demo-Paket\n"
                        "    Version 2\n";

TEST_F(Described, EveryKeyReachesThePackage) {
    writeini(kFullIni);
    Outcome made = buildini();
    ASSERT_EQ(made.status, 0) << made.err;
    std::string out = info(temp / "proj/out/Demo.exe");
    for (const char* line : {"title            \"Demo-Installation für Größen\"",
                             "destfolder       \"%temp%\\\\Demo\"",
                             "command          \"setup.exe|/quiet\"",
                             "commandoptional  yes",
                             "startprompt      \"Möchten Sie fortfahren?\\r\\nDie Dateien werden "
                             "entpackt.\"",
                             "promptstyle      0x0041",
                             "abouttext        \"Made by us.\\r\\nSecond line.\"",
                             "infotext         \"Erste Zeile\\r\\n\\r\\ndritte Zeile\"",
                             "overwritemode    16 (skip)",
                             "selectfiles      yes",
                             "showoverwrite    yes",
                             "cleanafter       yes",
                             "autoextract      yes",
                             "showdone         no",
                             "infopanel        yes",
                             "noopenwith       yes",
                             "showcomment      yes",
                             "aboutextra       no",
                             "showprogress     no",
                             "showbanner       yes",
                             "writelog         yes",
                             "comment: \"Built from the demo tree\"",
                             "   5 \"&Entpacken\"",
                             "  22 \"Erstellt von der Demo-Firma mit Orvandel SFX\"",
                             "  63 \"Demo-Paket\\r\\nVersion 2\"",
                             "2020-09-13 12:26:40",
                             " docs/manual.txt"})
        expectline(out, line);
    EXPECT_EQ(out.find("problem:"), std::string::npos) << out;
    // The title is stored in Windows-1252: 28 characters, 28 bytes.
    std::string package = toolstest::readbytes(temp / "proj/out/Demo.exe");
    EXPECT_NE(package.find("Demo-Installation f\xFCr Gr\xF6\xDF"
                           "en"),
              std::string::npos);
}

TEST_F(Described, FlagsOverrideTheFileAndPathsFollowTheirOrigin) {
    writeini(kFullIni);
    toolstest::writebytes(temp / "other/file.txt", "other");
    Outcome made = buildini("--title Override --select-files=no --overwrite confirm "
                            "--language english -o " +
                            quote(temp / "cli.exe") + " " + quote(temp / "other"));
    ASSERT_EQ(made.status, 0) << made.err;
    std::string out = info(temp / "cli.exe");
    expectline(out, "title            \"Override\"");
    expectline(out, "selectfiles      no");
    expectline(out, "overwritemode    0 (confirm)");
    expectline(out, "   5 \"&Extract\"");
    expectline(out, " file.txt");
    EXPECT_EQ(out.find("readme.txt"), std::string::npos) << out;
    expectline(out, "writelog         yes"); // still from the file
    EXPECT_FALSE(toolstest::fs::exists(temp / "proj/out/Demo.exe"));
    // A --from-zip on the command line replaces the file's source as well.
    ASSERT_EQ(orvsfx(temp, "build --package " + quote(temp / "proj/demo.ini") + " -o " +
                               quote(temp / "zip.exe") + " --from-zip " + quote(temp / "cli.exe") +
                               " --comment=")
                  .status,
              0);
}

TEST_F(Described, RefusalsNameTheFileTheLineAndTheReason) {
    std::string ini = temp / "proj/demo.ini";
    const struct {
        std::string content;
        std::string message;
    } cases[] = {
        {"[package]\nstub = nothere.exe\n",
         ini + ":2: cannot find the stub " + (temp / "proj/nothere.exe")},
        {"[package]\nsource = payload\nlevel = 13\n",
         ini + ":3: level needs a number from 0 to 12, not \"13\""},
        {"[options]\ntitel = Typo\n", ini + ":2: unknown key \"titel\" in [options]"},
        {"[package]\ntitle = Wrong place\n",
         ini + ":2: \"title\" belongs in [options], not [package]"},
        {"[setup]\ntitle = x\n",
         ini + ":2: unknown section [setup]; the sections are [package], [options], [branding] and "
               "[texts]"},
        {"[options]\nbanner = maybe\n", ini + ":2: banner takes yes or no, not \"maybe\""},
        {"[options]\noverwrite = sometimes\n",
         ini + ":2: overwrite takes confirm, always or never, not \"sometimes\""},
        {"[options]\ntitle = one\n  two\n",
         ini + ":2: \"title\" takes one line; only prompt, about, description, comment and "
               "[texts] may span lines"},
        {"[options]\ntitle = a\ntitle = b\n",
         ini + ":3: \"title\" sets what line 2 has set already"},
        {"[options]\nprompt = a\nprompt-file = about.txt\n",
         ini + ":3: \"prompt-file\" sets what line 2 has set already"},
        {"[package]\nsource = payload\nfrom-zip = about.txt\n",
         ini + ":3: \"from-zip\" sets what line 2 has set already"},
        {"[options]\nabout-file = missing.txt\n",
         ini + ":2: cannot find the text file " + (temp / "proj/missing.txt")},
        {"[texts]\n66 = too far\n", ini + ":2: 66 needs a text number from 0 to 65, not \"66\""},
        {"[texts]\n5 = a\n5 = b\n", ini + ":3: text 5 is given twice (first on line 2)"},
        {"[options]\nflags-a = 3\n", ini + ":2: unknown key \"flags-a\" in [options]"},
        {"[package]\npackage = other.ini\n", ini + ":2: unknown key \"package\" in [package]"},
        {"[package]\nsource-date-epoch = soon\n",
         ini + ":2: source-date-epoch needs seconds since 1970 (decimal digits), not \"soon\""},
        {"[options]\nprompt-style = sideways\n",
         ini + ":2: prompt-style: unknown style \"sideways\" (ok, okcancel, yesno, yesnocancel, "
               "error, question, warning, information, or a number)"},
    };
    for (const auto& c : cases) {
        writeini(c.content);
        expectmessage(buildini(), 1, c.message);
    }
    expectmessage(orvsfx(temp, "build --package " + quote(temp / "none.ini")), 1,
                  "cannot read the package file " + (temp / "none.ini") +
                      ": No such file or directory");
}

TEST_F(Described, EncodingErrorsNameTheFileLineAndCharacter) {
    writeini("[package]\nsource = payload\noutput = p.exe\n[options]\ntitle = Zażółć\n");
    expectmessage(buildini(), 1,
                  temp / "proj/demo.ini" +
                      ":5: the title: character 3, \"ż\" (U+017C), cannot be written in code page "
                      "1252 (Windows-1252)");
    toolstest::writebytes(temp / "proj/about.txt",
                          "Fine line\nSecond line\nThird has \xE2\x86\x92\n");
    writeini("[package]\nsource = payload\noutput = p.exe\n[options]\n"
             "about-file = about.txt\n");
    expectmessage(buildini(), 1,
                  temp / "proj/about.txt" +
                      ":3: the about text: character 11, \"→\" (U+2192), cannot be written in code "
                      "page 1252 (Windows-1252)");
    EXPECT_FALSE(toolstest::fs::exists(temp / "proj/p.exe"));
}

// info's "options in words" is a description file's [options] section: built again from it,
// the package comes out byte for byte the same.
TEST_F(Described, TheOptionsInfoShowsDescribeThePackageAgain) {
    std::string package = "[package]\nsource = payload\nlanguage = french\n"
                          "source-date-epoch = 1600000000\n";
    writeini(package + "output = first.exe\n" + std::string(std::strstr(kFullIni, "[options]")));
    ASSERT_EQ(buildini().status, 0);
    // [texts] of kFullIni are the package's own and are not options; leave them out.
    std::string first = info(temp / "proj/first.exe");
    std::size_t start = first.find("options in words");
    std::size_t end = first.find("\narchive ", start);
    ASSERT_NE(start, std::string::npos);
    std::string words = "[options]\n";
    std::istringstream lines(first.substr(first.find('\n', start) + 1, end - start));
    for (std::string line; std::getline(lines, line) && line.rfind("archive", 0) != 0;)
        words += (line.rfind("  ", 0) == 0 ? line.substr(2) : line) + "\n";
    std::string texts = std::string(std::strstr(kFullIni, "[texts]"));
    writeini(package + "output = again.exe\n" + words + texts);
    Outcome again = buildini();
    ASSERT_EQ(again.status, 0) << again.err << words;
    EXPECT_EQ(toolstest::readbytes(temp / "proj/first.exe"),
              toolstest::readbytes(temp / "proj/again.exe"))
        << words;
}

TEST_F(Described, EveryOptionOfTheHelpIsDocumentedForPublishers) {
    Outcome help = orvsfx(temp, "build --help");
    ASSERT_EQ(help.status, 0);
    std::string guide = toolstest::readbytes(std::string(ORV_SOURCE_DIR) + "/docs/packaging.md");
    ASSERT_FALSE(guide.empty());
    int options = 0;
    std::istringstream lines(help.out);
    for (std::string line; std::getline(lines, line);) {
        std::size_t at = line.find("--");
        if (line.rfind("  ", 0) != 0 || at == std::string::npos || at > 6) continue;
        std::string name = line.substr(at + 2, line.find_first_of(" =", at) - at - 2);
        ++options;
        EXPECT_TRUE(guide.find("`" + name + "`") != std::string::npos ||
                    guide.find("`--" + name) != std::string::npos)
            << name;
    }
    EXPECT_GE(options, 40);
}

class Texts : public Described {};

TEST_F(Texts, LimitsCountTheBytesThePackageStores) {
    std::string src = quote(temp / "proj/payload");
    auto build = [&](const std::string& args) {
        return orvsfx(temp, "build --stub " + quote(temp / "stub.bin") + " -o " +
                                quote(temp / "t.exe") + " " + args + " " + src);
    };
    std::string e255, e256;
    for (int i = 0; i < 255; ++i) e255 += "\xC3\xA9"; // 510 bytes of UTF-8, 255 in the package
    e256 = e255 + "\xC3\xA9";
    ASSERT_EQ(build("--title " + quote(e255)).status, 0);
    EXPECT_NE(info(temp / "t.exe").find("title            \"" + e255 + "\""), std::string::npos);
    expectmessage(build("--title " + quote(e256)), 1, "the title has 256 bytes; at most 255 fit");
    expectmessage(build("--folder " + quote(e256)), 1,
                  "the destination folder has 256 bytes; at most 255 fit");
    expectmessage(build("--title " + quote("ok \xC5\x81"
                                           "\xC3\xB3"
                                           "d\xC5\xBA")),
                  1,
                  "the title: character 4, \"Ł\" (U+0141), cannot be written in code page 1252 "
                  "(Windows-1252)");
    expectmessage(build("--text " + quote("50=Kennwort für %d")), 1,
                  "the package's own texts: text 50 has the printf conversions %d where the "
                  "English text has %s");
    expectmessage(build("--text 99=x"), 2,
                  "--text needs a text number from 0 to 65, not \"99\" (see \"orvsfx help\")");
    expectmessage(build("--language german --texts " + quote(temp / "proj/about.txt")), 2,
                  "--language and --texts both choose the interface texts; give one (see "
                  "\"orvsfx help\")");
}

TEST_F(Texts, EachShippedLanguageBuildsAndShowsItsTexts) {
    const struct {
        const char* language;
        const char* extract;
    } languages[] = {{"english", "&Extract"},
                     {"german", "&Entpacken"},
                     {"french", "&Extraire"},
                     {"spanish", "&Extraer"},
                     {"italian", "&Estrai"}};
    for (const auto& l : languages) {
        Outcome made = orvsfx(temp, "build --stub " + quote(temp / "stub.bin") + " -o " +
                                        quote(temp / "l.exe") + " --language " + l.language + " " +
                                        quote(temp / "proj/payload"));
        ASSERT_EQ(made.status, 0) << l.language << made.err;
        EXPECT_EQ(made.err.find("warning"), std::string::npos) << made.err; // no collisions
        std::string out = info(temp / "l.exe");
        expectline(out, std::string("   5 \"") + l.extract + "\"");
    }
}

TEST_F(Texts, AUserTableWithCollidingMnemonicsIsBuiltWithAWarning) {
    std::string table = "# orvsfx texts\ncodepage = 1252\n";
    std::vector<std::string> english;
    for (int k = 0; k < 66; ++k) {
        std::string text = k == 5 ? "&Go" : k == 7 ? "&Guide" : "Text " + std::to_string(k);
        if (k == 1) text += " %i";
        if (k == 2) text += " %s %i";
        if (k == 11 || k == 50) text += " %s";
        table += std::to_string(k) + " = " + text + "\n";
    }
    toolstest::writebytes(temp / "mine.txt", table);
    Outcome made = orvsfx(temp, "build --stub " + quote(temp / "stub.bin") + " -o " +
                                    quote(temp / "m.exe") + " --texts " + quote(temp / "mine.txt") +
                                    " " + quote(temp / "proj/payload"));
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_NE(made.err.find("orvsfx: warning: texts 5 and 7 share the mnemonic G in the main "
                            "dialog\n"),
              std::string::npos)
        << made.err;
}

} // namespace
