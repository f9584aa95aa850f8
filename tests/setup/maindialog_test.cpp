// The main dialog of the real stub under Wine: its texts in every shipped language, each shown
// whole (and those of the progress, question and password dialogs and the boxes it shows), the
// layout after its hide rules, the description panel, the file list's names, the start-up
// question, the About box when memory runs out, and a damaged archive.
#include "tests/support/setuprun.h"

#include "tests/uitest/addressspace.h"
#include "tests/uitest/hostcommand.h"
#include "tests/uitest/textfit.h"
#include "tools/zip/zipcrypto.h"

namespace {

using namespace setuprun;

class MainDialog : public SetupRun {};

void expecttext(HWND dialog, int id, const std::string& expected) {
    EXPECT_EQ(uitest::controltext(dialog, id), expected) << "control " << id;
}

// The package of the translation runs: its title, an optional command, an about text, the
// overwrite choice, and two members encrypted with kTourPassword, of which a.txt already lies
// in the destination.
const char kTourPassword[] = "pw";
const char kTourCommand[] = "setup.exe|-q";
const char kTourAbout[] = "Made by the test.";
const std::map<std::string, std::string> kTourFiles = {{"a.txt", "new a"}, {"b.txt", "new b"}};

// The language whose package the builder's own command line makes (orvsfx build --language);
// the others are assembled in the test from the same shipped tables.
const char kCommandLineLanguage[] = "italian";

// The stub as the host's programs name it.
const std::string kHostStub = std::string(ORV_BINARY_DIR) + "/stub/stub.exe";

// The longest archiver name Open-with can show, registered so that its label is shown too.
const char kLongestArchiver[] = "ZipCentral";
const char kArchiverKey[] = "Software\\ZipCentral";

// Controls of the main dialog and the package's texts they show.
const std::pair<int, UiTextId> kMainLabels[] = {
    {IDC_EXTRACT, kTextExtractButton},    {IDC_CANCEL, kTextCancelButton},
    {IDC_HELPBUTTON, kTextHelpButton},    {IDC_ABOUT, kTextAboutButton},
    {IDC_FOLDERLABEL, kTextFolderLabel},  {IDC_FILESLABEL, kTextFilesLabel},
    {IDC_MODEGROUP, kTextOverwriteGroup}, {IDC_MODE_CONFIRM, kTextModeConfirm},
    {IDC_MODE_SKIP, kTextModeSkip},       {IDC_MODE_OVERWRITE, kTextModeOverwrite},
};

// The dialog templates as a file's resources: the packed stub carries them in its packed
// stream, which only its running code restores; the linked stub it is made from holds the
// same bytes (stub_test compares them) in its resource section.
const std::string kTemplates = std::string("Z:") + ORV_BINARY_DIR + "/stub/stub-linked.exe";

// Fails the test for every text of dialog (made from the stub's template dialogname) that
// its control cannot show whole.
void expectunclipped(HWND dialog, const char* dialogname) {
    for (const std::string& report : uitest::clippedtexts(dialog, kTemplates, dialogname))
        ADD_FAILURE() << dialogname << ": " << report;
}

class Translations : public MainDialog {
  protected:
    Package tourpackage(const std::string& language) {
        Package package;
        package.texts = shippedtable(language).texts;
        package.options.title = "Texts " + language;
        package.options.command = kTourCommand;
        package.options.about = kTourAbout;
        package.options.flagsa = kFlagCommandOptional | kFlagShowOverwrite;
        ZipWriterSettings encrypted;
        encrypted.password = kTourPassword;
        encrypted.headersource = derivedheadersource(kTourPassword);
        package.archive = archiveof(files(kTourFiles), encrypted);
        return package;
    }

    // The same package made by orvsfx build on the host, from a folder of the same files.
    std::string buildbycommandline(const Package& package, const std::string& language) {
        fs::path source = folder / "source", output = folder / (language + ".exe");
        for (const auto& [name, contents] : kTourFiles) writefile(source / name, contents);
        const PackageOptions& options = package.options;
        using uitest::shellword;
        uitest::HostRun made = uitest::runonhost(
            shellword(ORV_HOST_ORVSFX) + " build --stub " + shellword(kHostStub) + " -o " +
            shellword(uitest::unixpath(output)) + " --language " + language + " --title " +
            shellword(options.title) + " --folder " + shellword(destination().string()) +
            " --command " + shellword(options.command) + " --about " + shellword(options.about) +
            " --command-optional --show-overwrite --password " + kTourPassword + " " +
            shellword(uitest::unixpath(source)));
        EXPECT_EQ(made.status, 0) << made.output;
        return output.string();
    }

    void expectmain(HWND dialog, const Package& package) {
        for (const auto& [control, id] : kMainLabels)
            expecttext(dialog, control, text(package, id));
        EXPECT_EQ(uitest::controltext(dialog, IDC_MAKERLINK)
                      .rfind(text(package, kTextMakerLink) + "#", 0),
                  0u);
        expecttext(dialog, IDC_RUNCOMMAND,
                   text(package, kTextAfterExtraction) + " " + text(package, kTextRunVerb) +
                       " setup.exe");
        expecttext(dialog, IDC_OPENWITH,
                   filled(text(package, kTextOpenWithButton), kLongestArchiver));
        EXPECT_TRUE(uitest::controlvisible(dialog, IDC_OPENWITH));
        EXPECT_TRUE(uitest::controlchecked(dialog, IDC_RUNCOMMAND));
        EXPECT_TRUE(uitest::controlenabled(dialog, IDC_RUNCOMMAND));
        expecttext(dialog, IDC_FOLDER, destination().string());
        EXPECT_TRUE(uitest::controlchecked(dialog, IDC_MODE_CONFIRM));
        expectunclipped(dialog, "MAINDIALOG");
    }

    void expectboxes(const uitest::Process& run, HWND dialog, const Package& package) {
        uitest::click(dialog, IDC_HELPBUTTON);
        expectbox(run, text(package, kTextHelp), text(package, kTextHelpCaption),
                  MB_ICONINFORMATION);
        uitest::click(dialog, IDC_ABOUT);
        expectbox(run,
                  std::string(kTourAbout) + "\r\n\r\n" + text(package, kTextAbout) + "\r\n\r\n" +
                      text(package, kTextAboutExtra),
                  text(package, kTextAboutCaption), MB_ICONINFORMATION);
    }

    void expectpassword(HWND password, const Package& package) {
        EXPECT_EQ(uitest::windowtext(password),
                  filled(text(package, kTextPasswordPrompt), "a.txt"));
        expecttext(password, IDOK, text(package, kTextOkButton));
        expecttext(password, IDC_CANCEL, text(package, kTextCancelButton));
        expecttext(password, IDC_PASSWORD_SKIP, text(package, kTextSkipButton));
        expectunclipped(password, "PASSWD");
    }

    void expectprogress(HWND progress, const Package& package) {
        EXPECT_EQ(uitest::windowtext(progress), package.options.title);
        expecttext(progress, IDC_PROGRESS_STATUS, text(package, kTextExtracting));
        expecttext(progress, IDC_PROGRESS_PRODUCT, text(package, kTextProductLabel));
        expecttext(progress, IDC_CANCEL, text(package, kTextCancelButton));
        expectunclipped(progress, "EXTRACTING");
    }

    void expectquestion(HWND question, const Package& package) {
        EXPECT_EQ(uitest::windowtext(question), "a.txt" + text(package, kTextAlreadyExists));
        expecttext(question, IDC_PROGRESS_STATUS, text(package, kTextOverwriteQuestion));
        expecttext(question, IDC_QUESTION_DONTASK, text(package, kTextDontAskAgain));
        expecttext(question, IDC_QUESTION_YES, text(package, kTextYesButton));
        expecttext(question, IDC_QUESTION_NO, text(package, kTextNoButton));
        EXPECT_NE(uitest::controltext(question, IDC_PROGRESS_NAME).find("a.txt"),
                  std::string::npos);
        expectunclipped(question, "EXTRACTING");
    }

    // One run walks every dialog: the main dialog with Help and About, then an extraction that
    // asks for the password (the progress dialog behind it shows its progress texts), asks
    // about the existing file, and ends with the completion message.
    void tour(const std::string& path, const Package& package) {
        uitest::Process run(path);
        HWND dialog = waitmain(run, package.options.title);
        ASSERT_NE(dialog, nullptr);
        expectmain(dialog, package);
        expectboxes(run, dialog, package);
        // setup.exe is not in the package: the command is left unticked, so none is started.
        SendDlgItemMessageA(dialog, IDC_RUNCOMMAND, BM_CLICK, 0, 0);
        uitest::click(dialog, IDC_EXTRACT);
        HWND password = waitpassword(run);
        ASSERT_NE(password, nullptr);
        expectpassword(password, package);
        HWND progress = waitprogress(run);
        ASSERT_NE(progress, nullptr);
        expectprogress(progress, package);
        uitest::typetext(password, IDC_PASSWORD, kTourPassword);
        uitest::click(password, IDOK);
        HWND question = waitquestion(run);
        ASSERT_NE(question, nullptr);
        expectquestion(question, package);
        uitest::click(question, IDC_QUESTION_YES);
        expectbox(run, text(package, kTextCompleted), package.options.title, MB_ICONINFORMATION);
        EXPECT_EQ(run.waitexit(), 0);
        EXPECT_EQ(extracted(destination()), kTourFiles);
    }
};

// Every shipped language shows its own texts in every dialog, and every text whole.
TEST_F(Translations, EveryShippedLanguageShowsItsTextsWhole) {
    RegistryValue archiver(HKEY_LOCAL_MACHINE, kArchiverKey, "Application Path",
                           (folder / "archiver.exe").string(), kArchiverKey);
    for (const std::string& language : shippedlanguages()) {
        SCOPED_TRACE(language);
        fs::remove_all(destination());
        writefile(destination() / "a.txt", "old");
        Package package = tourpackage(language);
        tour(language == kCommandLineLanguage ? buildbycommandline(package, language)
                                              : build(package, language + ".exe"),
             package);
    }
}

// Rectangles of the controls that the hide rules move or stretch.
struct Shown {
    RECT run, group, confirm, skip, overwrite, display, choice;
};

Shown readlayout(HWND dialog) {
    return {uitest::controlrect(dialog, IDC_RUNCOMMAND),
            uitest::controlrect(dialog, IDC_MODEGROUP),
            uitest::controlrect(dialog, IDC_MODE_CONFIRM),
            uitest::controlrect(dialog, IDC_MODE_SKIP),
            uitest::controlrect(dialog, IDC_MODE_OVERWRITE),
            uitest::controlrect(dialog, IDC_FILELIST_DISPLAY),
            uitest::controlrect(dialog, IDC_FILELIST_CHOICE)};
}

void expectmoved(const RECT& now, const RECT& before, int dy, const char* what) {
    EXPECT_EQ(now.left, before.left) << what;
    EXPECT_EQ(now.top, before.top + dy) << what;
    EXPECT_EQ(now.right - now.left, before.right - before.left) << what;
    EXPECT_EQ(now.bottom - now.top, before.bottom - before.top) << what;
}

void expectstretched(const RECT& now, const RECT& before, int bottom, const char* what) {
    EXPECT_EQ(now.left, before.left) << what;
    EXPECT_EQ(now.top, before.top) << what;
    EXPECT_EQ(now.right, before.right) << what;
    EXPECT_EQ(now.bottom, bottom) << what;
}

// The three combinations of a hidden run check box and a hidden overwrite group, measured
// against the package that shows both.
TEST_F(MainDialog, HideRulesMoveTheGroupAndStretchTheLists) {
    auto layoutof = [&](unsigned char flagsa, const char* name, bool* visible) {
        Package package;
        package.options.command = "run.exe";
        package.options.flagsa = flagsa;
        uitest::Process run(build(package, name));
        HWND dialog = waitmain(run, "Setup Test");
        EXPECT_NE(dialog, nullptr);
        Shown shown = dialog ? readlayout(dialog) : Shown{};
        visible[0] = dialog && uitest::controlvisible(dialog, IDC_RUNCOMMAND);
        visible[1] = dialog && uitest::controlvisible(dialog, IDC_MODEGROUP) &&
                     uitest::controlvisible(dialog, IDC_MODE_SKIP);
        if (dialog) uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
        return shown;
    };
    bool visible[2];
    Shown both = layoutof(kFlagCommandOptional | kFlagShowOverwrite, "both.exe", visible);
    EXPECT_TRUE(visible[0] && visible[1]);

    Shown norun = layoutof(kFlagShowOverwrite | kFlagSelectFiles, "norun.exe", visible);
    EXPECT_FALSE(visible[0]);
    EXPECT_TRUE(visible[1]);
    int dy = both.run.bottom - both.group.bottom;
    EXPECT_GT(dy, 0);
    expectmoved(norun.group, both.group, dy, "group");
    expectmoved(norun.confirm, both.confirm, dy, "confirm");
    expectmoved(norun.skip, both.skip, dy, "skip");
    expectmoved(norun.overwrite, both.overwrite, dy, "overwrite");
    expectstretched(norun.display, both.display, norun.group.top - 3, "list 302");
    expectstretched(norun.choice, both.choice, norun.group.top - 3, "list 301");

    Shown nogroup = layoutof(kFlagCommandOptional, "nogroup.exe", visible);
    EXPECT_TRUE(visible[0]);
    EXPECT_FALSE(visible[1]);
    expectmoved(nogroup.group, both.group, 0, "group");
    expectstretched(nogroup.display, both.display, both.run.top - 3, "list 302");

    Shown neither = layoutof(0, "neither.exe", visible);
    EXPECT_FALSE(visible[0] || visible[1]);
    expectstretched(neither.display, both.display, both.run.bottom - 3, "list 302");
    expectstretched(neither.choice, both.choice, both.run.bottom - 3, "list 301");
}

// The description panel takes the lists' place; its text is the package's description,
// else its start-up question, else the program's about text.
TEST_F(MainDialog, TheDescriptionPanelShowsItsThreeSources) {
    struct Case {
        const char* name;
        std::string description, prompt, expected;
    };
    Package base;
    const Case cases[] = {
        {"description.exe", "A description.", "", "A description."},
        {"prompt.exe", "", "Install the demo?", "Install the demo?"},
        {"about.exe", "", "", text(base, kTextAbout)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Package package;
        package.options.flagsb = kFlagInfoPanel;
        package.options.description = c.description;
        package.options.prompt = c.prompt;
        package.options.promptstyle = MB_YESNO | MB_ICONQUESTION;
        uitest::Process run(build(package, c.name));
        if (!c.prompt.empty()) expectbox(run, c.prompt, "Setup Test", MB_ICONQUESTION, IDYES);
        HWND dialog = waitmain(run, "Setup Test");
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(uitest::controlvisible(dialog, IDC_INFOTEXT));
        for (int hidden : {IDC_FILELIST_DISPLAY, IDC_FILELIST_CHOICE, IDC_FILESLABEL})
            EXPECT_FALSE(uitest::controlvisible(dialog, hidden)) << hidden;
        EXPECT_EQ(uitest::controltext(dialog, IDC_INFOTEXT), c.expected);
        uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
    }
}

// The folder field shows the package's folder with its macro expanded.
TEST_F(MainDialog, TheFolderFieldShowsTheExpandedMacro) {
    Package package;
    package.options.folder = "%temp%\\Orvandel Macro";
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    EXPECT_EQ(uitest::controltext(dialog, IDC_FOLDER), std::string(temp) + "Orvandel Macro");
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

// About when memory runs out: the composed text cannot be allocated, so the box shows the
// program's about text alone, with Yes and No. The package's extra About text is made so large
// that, once the test has taken up the package's free address space in blocks of that size,
// no range is left that could hold the composed text; the package's small allocations still
// find room between the blocks. With the space given back the dialog goes on.
TEST_F(MainDialog, AboutShowsTheProgramsTextAloneWhenMemoryRunsOut) {
    const size_t kLargeExtra = 8 << 20;
    const int kNoBoxWait = 1000; // time a second box would have had to appear
    Package package;
    package.options.about = "Made by the test.";
    package.texts[kTextAboutExtra] = std::string(kLargeExtra, 'x');
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    {
        uitest::AddressSpaceFill fill(run.id(), kLargeExtra);
        ASSERT_TRUE(fill.complete());
        uitest::click(dialog, IDC_ABOUT);
        HWND box = run.waitmessagebox();
        ASSERT_NE(box, nullptr);
        uitest::MessageBoxContent shown = uitest::readmessagebox(box);
        EXPECT_EQ(shown.text, text(package, kTextAbout));
        EXPECT_EQ(shown.caption, text(package, kTextAboutCaption));
        EXPECT_EQ(shown.icon, unsigned(MB_ICONINFORMATION));
        EXPECT_EQ(shown.buttons, (std::vector<int>{IDYES, IDNO}));
        uitest::answermessagebox(box, IDNO);
        EXPECT_TRUE(uitest::waitgone(box));
    }
    EXPECT_FALSE(run.waitmessagebox(kNoBoxWait));
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

TEST_F(MainDialog, DecliningTheStartUpQuestionEndsTheSetup) {
    Package package;
    package.options.prompt = "Go on?";
    package.options.promptstyle = MB_YESNO;
    uitest::Process run(build(package));
    expectbox(run, "Go on?", "Setup Test", 0, IDNO);
    EXPECT_EQ(run.waitexit(), 1);
    EXPECT_FALSE(fs::exists(destination()));
}

// The items of a sorted list box filled with names in this order: how the window system itself
// sorts them.
std::vector<std::string> sortedbylistbox(const std::vector<std::string>& names) {
    HWND list = CreateWindowA("LISTBOX", "", LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr,
                              nullptr, nullptr, nullptr);
    for (const std::string& name : names) SendMessageA(list, LB_ADDSTRING, 0, (LPARAM)name.c_str());
    std::vector<std::string> items;
    char item[256];
    for (LRESULT i = 0, n = SendMessageA(list, LB_GETCOUNT, 0, 0); i < n; ++i) {
        SendMessageA(list, LB_GETTEXT, i, (LPARAM)item);
        items.push_back(item);
    }
    DestroyWindow(list);
    return items;
}

// The lists hold their items in the window system's own sorted order whatever order the archive
// stores them in: runs already in order, names that sort before the last one, case and
// punctuation the sorting weighs its own way.
TEST_F(MainDialog, TheListsAreSortedWhateverTheArchiveOrder) {
    const std::vector<std::string> names = {
        "d/1.txt", "d/2.txt", "d/3.txt", "B.txt",  "a-b.txt", "ab.txt",   "A.txt",   "c/z.txt",
        "c/a.txt", "d/0.txt", "zz.txt",  "Z2.txt", "e.txt",   "d/10.txt", "a_b.txt", "aB.txt"};
    std::map<std::string, std::string> contents;
    for (const std::string& name : names) contents[name] = name;
    std::vector<ZipMember> sorted = files(contents), members;
    for (const std::string& name : names)
        for (const ZipMember& member : sorted)
            if (member.name == name) members.push_back(member);
    Package package;
    package.options.flagsa = kFlagSelectFiles;
    package.archive = archiveof(members);
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::string> expected = sortedbylistbox(names);
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_CHOICE), expected);
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_DISPLAY), expected);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

// The list shows each member under the name the engine writes, every character kept whatever
// the system's code page.
TEST_F(MainDialog, TheFileListShowsTheNamesTheEngineWrites) {
    Package package;
    package.options.flagsa = kFlagSelectFiles;
    package.archive = archiveof(files({{"caf\xC3\xA9.txt", "latin"},
                                       {"docs/\xC3\xBC"
                                        "ber.txt",
                                        "umlaut"},
                                       {"\xE6\x97\xA5\xE6\x9C\xAC.txt", "japanese"}}));
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::string> expected = {"caf\xC3\xA9.txt",
                                               "docs/\xC3\xBC"
                                               "ber.txt",
                                               "\xE6\x97\xA5\xE6\x9C\xAC.txt"};
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_CHOICE), expected);
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_DISPLAY), expected);
    EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_FILELIST_CHOICE, LB_GETSELCOUNT, 0, 0), 3);
    uitest::click(dialog, IDC_EXTRACT);
    expectbox(run, text(package, kTextCompleted), "Setup Test", MB_ICONINFORMATION);
    EXPECT_EQ(run.waitexit(), 0);
    EXPECT_EQ(extracted(destination()),
              (std::map<std::string, std::string>{{"\xE6\x97\xA5\xE6\x9C\xAC.txt", "japanese"},
                                                  {"caf\xC3\xA9.txt", "latin"},
                                                  {"docs", "<dir>"},
                                                  {"docs/\xC3\xBC"
                                                   "ber.txt",
                                                   "umlaut"}}));
}

TEST_F(MainDialog, ADamagedDirectoryIsReportedAndEndsTheSetup) {
    Package package;
    package.archive = archiveof(files({{"one.txt", "1"}, {"two.txt", "2"}}));
    package.damage = [](std::string& bytes, size_t archive) {
        size_t second = bytes.find("PK\x01\x02", bytes.find("PK\x01\x02", archive) + 1);
        bytes[second + 3] = 9;
    };
    uitest::Process run(build(package));
    expectbox(run, text(package, kTextReadError), "Setup Test", MB_ICONERROR);
    EXPECT_EQ(run.waitexit(), 1);
    EXPECT_FALSE(fs::exists(destination()));
}

} // namespace

// Open-with is shown for the first archiver found in the registry, labelled with its name, and
// launches it on the package in the setup's current folder; the setup then ends with 1. It stays
// hidden without an archiver and when the package turns it off.
TEST_F(MainDialog, OpenWithHandsThePackageToTheFirstArchiverFound) {
    Package package;
    std::string path = build(package);
    auto openwith = [&](const char* expectedname) {
        uitest::Process run(path);
        HWND dialog = waitmain(run, "Setup Test");
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return;
        EXPECT_EQ(IsWindowVisible(GetDlgItem(dialog, IDC_OPENWITH)) != 0, expectedname != nullptr);
        if (expectedname)
            expecttext(dialog, IDC_OPENWITH,
                       filled(text(package, kTextOpenWithButton), expectedname));
        uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
    };
    openwith(nullptr);

    fs::path archiver = folder / "archiver" / "probe.exe";
    fs::create_directories(archiver.parent_path());
    writefile(archiver, commandprobe().data);
    const std::string winrarkey =
        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\winrar.exe";
    RegistryValue winrar(HKEY_LOCAL_MACHINE, winrarkey, "", archiver.string(), winrarkey);
    {
        RegistryValue orvandel(HKEY_CURRENT_USER, "Software\\Orvandel\\General", "Directory",
                               archiver.parent_path().string(), "Software\\Orvandel");
        openwith("Orvandel");
    }
    {
        // The launch runs the probe, which records its arguments in the current folder.
        CurrentFolder current(folder);
        uitest::Process run(path);
        HWND dialog = waitmain(run, "Setup Test");
        ASSERT_NE(dialog, nullptr);
        expecttext(dialog, IDC_OPENWITH, filled(text(package, kTextOpenWithButton), "WinRAR"));
        uitest::click(dialog, IDC_OPENWITH);
        EXPECT_EQ(run.waitexit(), 0); // the dialog's 1 is a completed setup: exit code 0
        EXPECT_TRUE(eventually([&] { return fs::exists(folder / "probe.txt"); }));
        std::string probe = readfile(folder / "probe.txt");
        EXPECT_EQ(probe.substr(0, probe.find_first_of("\r\n")), "\"" + path + "\"");
    }
    package.options.flagsb = kFlagNoOpenWith;
    path = build(package, "quiet.exe");
    openwith(nullptr);
}
