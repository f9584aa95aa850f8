// Packages that run something after extraction, clean up behind themselves, or show the
// banner: the real stub under Wine with a probe program as its command (it records the
// parameters and folder it was given, and can play an installer that outlives it).
#include "tests/support/setuprun.h"

#include "common/zipformat.h"
#include "tests/uitest/hostcommand.h"

#include <string.h>

namespace {

using namespace setuprun;
using Tree = std::map<std::string, std::string>;

class Unattended : public SetupRun {
  protected:
    // A package whose command is the probe, extracted with payload.txt beside it.
    Package probepackage(const std::string& command, unsigned char flagsa) {
        Package package;
        package.options.command = command;
        package.options.flagsa = flagsa;
        std::vector<ZipMember> members = files({{"payload.txt", "payload"}});
        members.push_back(commandprobe());
        package.archive = archiveof(members);
        return package;
    }
    // The probe's record, once it has written it: argument text and current folder.
    std::vector<std::string> proberecord() {
        fs::path record = destination() / "probe.txt";
        eventually([&] { return fs::exists(record) && fs::file_size(record) > 0; }, 30000);
        std::string text = readfile(record);
        std::vector<std::string> lines;
        for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }
    // Removes the destination for the next package; a probe that is still ending may hold
    // its program file a moment longer.
    void cleardestination() {
        eventually([&] {
            std::error_code error;
            fs::remove_all(destination(), error);
            return !error;
        });
    }
};

// "{P}" names the destination; the text after '|' reaches the program as its parameters,
// and it runs in the destination. Without clean-up the setup does not wait for it.
TEST_F(Unattended, TheCommandRunsTheExtractedProgramInTheDestination) {
    Package package = probepackage("{P}\\commandprobe.exe|alpha \"beta gamma\"", 0);
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(uitest::controlchecked(dialog, IDC_RUNCOMMAND));
    uitest::click(dialog, IDC_EXTRACT);
    expectbox(run, text(package, kTextCompleted), "Setup Test", MB_ICONINFORMATION);
    EXPECT_EQ(run.waitexit(30000), 0);
    std::vector<std::string> record = proberecord();
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record[0], "alpha \"beta gamma\"");
    EXPECT_TRUE(fs::equivalent(fs::path(record[1]), destination())) << record[1];
    EXPECT_EQ(readfile(destination() / "payload.txt"), "payload");
}

// An optional command whose box the user unticked does not run.
TEST_F(Unattended, AnUntickedOptionalCommandDoesNotRun) {
    Package package = probepackage("{P}commandprobe.exe|ran", kFlagCommandOptional);
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(uitest::controlenabled(dialog, IDC_RUNCOMMAND));
    SendDlgItemMessageA(dialog, IDC_RUNCOMMAND, BM_CLICK, 0, 0);
    ASSERT_FALSE(uitest::controlchecked(dialog, IDC_RUNCOMMAND));
    uitest::click(dialog, IDC_EXTRACT);
    expectbox(run, text(package, kTextCompleted), "Setup Test", MB_ICONINFORMATION);
    EXPECT_EQ(run.waitexit(30000), 0);
    Sleep(3000); // time a started probe would have had to write its record
    EXPECT_FALSE(fs::exists(destination() / "probe.txt"));
    EXPECT_TRUE(fs::exists(destination() / "commandprobe.exe"));
}

// A package that cleans up behind itself waits for its program and then for the installer
// window the program left behind, and only then removes what it extracted. The probe's
// records are not the run's files and stay.
TEST_F(Unattended, CleanUpWaitsForTheProgramAndItsInstallerWindow) {
    for (const char* mode :
         {"--sleep 2000", "--installer 2500", "--installer 2500 InstallShield_Win"}) {
        Package package = probepackage(std::string("{P}commandprobe.exe|") + mode,
                                       kFlagCleanAfter | kFlagAutoExtract | kFlagNoDoneMessage);
        uitest::Process run(build(package));
        EXPECT_EQ(run.waitexit(60000), 0) << mode;
        bool sleeps = std::string(mode).find("sleep") != std::string::npos;
        std::string record = sleeps ? "late.txt" : "installer.txt";
        EXPECT_EQ(readfile(destination() / record), "payload=1") << mode;
        EXPECT_FALSE(fs::exists(destination() / "payload.txt")) << mode;
        EXPECT_TRUE(fs::exists(destination() / "probe.txt")) << mode;
        cleardestination();
    }
}

// The shell cannot start the command: the system's message in a warning box (after the
// shell's own box, which the system may show first), then the setup ends as a success; with
// clean-up the extracted files are removed after it.
TEST_F(Unattended, ACommandThatCannotStartShowsTheSystemsMessage) {
    for (unsigned char clean : {0, int(kFlagCleanAfter)}) {
        Package package =
            probepackage("{P}missing.exe", kFlagAutoExtract | kFlagNoDoneMessage | clean);
        uitest::Process run(build(package));
        uitest::MessageBoxContent shown;
        for (int box = 0; box < 2 && shown.caption != text(package, kTextErrorCaption); box++) {
            HWND window = run.waitmessagebox(30000);
            ASSERT_NE(window, nullptr);
            shown = uitest::readmessagebox(window);
            uitest::answermessagebox(window, IDOK);
            uitest::waitgone(window);
        }
        EXPECT_EQ(shown.caption, text(package, kTextErrorCaption));
        EXPECT_EQ(shown.icon, unsigned(MB_ICONWARNING));
        char expected[512] = "";
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       ERROR_FILE_NOT_FOUND, 0, expected, sizeof expected, nullptr);
        EXPECT_EQ(shown.text, std::string(expected));
        EXPECT_EQ(run.waitexit(30000), 0);
        EXPECT_EQ(fs::exists(destination() / "payload.txt"), clean == 0);
        cleardestination();
    }
}

// A cancelled run removes what it made and nothing else: the user's file that a member would
// have replaced (kept: the package skips existing files), the user's other file, and the
// destination folder that held them stay; the folders the run made go. The run is held at its
// first progress report, when it has made a folder and a file of its own, and Cancel is
// pressed there.
TEST_F(Unattended, ACancelledRunRemovesOnlyWhatItMade) {
    writefile(destination() / "part100.bin", "the user's own");
    writefile(destination() / "notes.txt", "the user's notes");
    writefile(folder / "beside.txt", "beside");
    Package package;
    package.options.flagsa = kFlagOverwriteNever;
    std::map<std::string, std::string> big;
    for (int i = 0; i < 4; i++)
        big["sub/part" + std::to_string(100 + i) + ".bin"] = std::string(1 << 20, char('a' + i));
    big["part100.bin"] = "from the package";
    package.archive = archiveof(files(big));
    uitest::Process run(build(package), "", {}, 0);
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    uitest::click(dialog, IDC_EXTRACT);
    ASSERT_TRUE(run.waitheld(60000));
    EXPECT_TRUE(fs::exists(destination() / "sub" / "part100.bin"));
    HWND progress = waitprogress(run);
    ASSERT_NE(progress, nullptr);
    uitest::click(progress, IDC_CANCEL);
    run.release();
    EXPECT_EQ(run.waitexit(60000), 1);
    EXPECT_EQ(tree(destination()),
              (Tree{{"notes.txt", "the user's notes"}, {"part100.bin", "the user's own"}}));
    EXPECT_EQ(readfile(folder / "beside.txt"), "beside");
}

// The colour the screen shows at a point, copied off the screen as a screenshot would.
COLORREF screenpixel(POINT at) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 1, 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 1, 1, screen, at.x, at.y, SRCCOPY);
    COLORREF colour = GetPixel(memory, 0, 0);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return colour;
}

// The banner: a "SetupSFX" window covering the screen, titled with the package's title and
// owning the main dialog, pure blue at the top and near black at the bottom; gone when the
// setup ends.
TEST_F(Unattended, TheBannerStandsBehindTheDialog) {
    Package package;
    package.options.flagsb = kFlagShowBanner;
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    HWND banner = run.waitwindow("SetupSFX");
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(uitest::windowtext(banner), "Setup Test");
    EXPECT_TRUE(IsZoomed(banner));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), banner);
    RECT client;
    GetClientRect(banner, &client);
    EXPECT_GE(client.bottom, GetSystemMetrics(SM_CYSCREEN) * 9 / 10);
    EXPECT_GE(client.right, GetSystemMetrics(SM_CXSCREEN) * 9 / 10);
    // Right of the title and beside the centred dialog, at the first and the last row.
    POINT top = {client.right - 4, 0}, bottom = {client.right - 4, client.bottom - 1};
    ClientToScreen(banner, &top);
    ClientToScreen(banner, &bottom);
    COLORREF topcolour = 0, bottomcolour = 0;
    eventually([&] {
        topcolour = screenpixel(top);
        bottomcolour = screenpixel(bottom);
        return topcolour == RGB(0, 0, 255);
    });
    EXPECT_EQ(topcolour, RGB(0, 0, 255));
    EXPECT_EQ(GetRValue(bottomcolour), 0);
    EXPECT_EQ(GetGValue(bottomcolour), 0);
    EXPECT_LE(GetBValue(bottomcolour), 1);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
    EXPECT_FALSE(IsWindow(banner));
}

// An automatic run with its progress hidden shows nothing of the setup, the banner included.
TEST_F(Unattended, NoBannerForAnAutomaticRunWithoutProgress) {
    Package package;
    package.options.flagsa = kFlagAutoExtract;
    package.options.flagsb = kFlagShowBanner | kFlagNoProgress;
    uitest::Process run(build(package));
    HWND box = run.waitmessagebox(30000); // the completion message
    ASSERT_NE(box, nullptr);
    uitest::answermessagebox(box, IDOK);
    EXPECT_EQ(run.waitexit(), 0);
    std::vector<uitest::WindowEvent> events = run.events();
    EXPECT_TRUE(uitest::messageboxshown(events)); // the completion message: the watch saw it
    EXPECT_FALSE(uitest::wasshown(events, "SetupSFX"));
    EXPECT_FALSE(uitest::wasshown(events, "#32770", IDC_QUESTION_DONTASK));
}

// The usage message: the program's name in lower case without its extension, the package's
// texts in their places; no window of the setup comes, and the exit code is 1.
TEST_F(Unattended, UsageMessageNamesTheProgram) {
    Package package;
    std::string exe = build(package, "SETUP.EXE");
    for (const char* question : {"/?", "-H"}) {
        uitest::Process run(exe, question);
        const std::vector<std::string>& t = package.texts;
        std::string expected =
            t[kTextAbout] + "\n\n" + t[kTextUsage] +
            ":\n\nsetup [ /a ] [ /q | /o | /n ] [ /s ] [ /x ] [ /d dir ]\n\n/a - " +
            t[kTextUsageAuto] + "\n/x - " + t[kTextUsageNoCommand] + "\n/s - " +
            t[kTextUsageSilent] + "\n\n" + t[kTextUsageOverwriteModes] + "\n\n/q - " +
            t[kTextUsageConfirm] + "\n/o - " + t[kTextUsageOverwrite] + "\n/n - " +
            t[kTextUsageSkip] + "\n\n/d dir - " + t[kTextUsageFolder];
        expectbox(run, expected, "Setup Test", MB_ICONINFORMATION);
        EXPECT_EQ(run.waitexit(), 1) << question;
        EXPECT_FALSE(fs::exists(destination()));
    }
}

// "/s": no dialog, no question about the existing file (it is overwritten), no completion
// message; "/d" takes a folder with blanks without quotes; exit code 0.
TEST_F(Unattended, SilentRunIntoAFolderWithBlanks) {
    fs::path target = folder / "my files" / "new app";
    writefile(target / "readme.txt", "old");
    Package package;
    package.archive = archiveof(files({{"readme.txt", "new"}, {"docs/guide.txt", "guide"}}));
    uitest::Process run(build(package), "/s /d " + target.string());
    EXPECT_EQ(run.waitexit(60000), 0);
    EXPECT_EQ(extracted(target),
              (Tree{{"docs", "<dir>"}, {"docs/guide.txt", "guide"}, {"readme.txt", "new"}}));
    EXPECT_FALSE(fs::exists(destination()));
}

// LZMA packages made on the host, by orvsfx build --method lzma from a folder and from
// 7-Zip's LZMA zip of it: a silent run extracts the folder's tree from each.
TEST_F(Unattended, SilentRunsOfLzmaPackagesGiveTheFolder) {
    fs::path source = folder / "source";
    std::string large;
    for (int i = 0; large.size() < 300000; ++i) large += "line " + std::to_string(i * 7) + "\n";
    Tree files = {{"readme.txt", "read me"}, {"docs/large.txt", large}, {"docs/empty.txt", ""}};
    Tree expected = {{"docs", "<dir>"}};
    for (const auto& [name, contents] : files) {
        writefile(source / name, contents);
        expected[name] = contents;
    }
    using uitest::shellword;
    const std::string orvsfx = shellword(ORV_HOST_ORVSFX) + " build --stub " +
                               shellword(std::string(ORV_BINARY_DIR) + "/stub/stub.exe") + " -o ";
    const std::string unixsource = shellword(uitest::unixpath(source));
    const std::string sevenzip = shellword(uitest::unixpath(folder / "7zip.zip"));
    const std::string commands[] = {
        orvsfx + shellword(uitest::unixpath(folder / "ours.exe")) + " --method lzma " + unixsource,
        "cd " + unixsource + " && 7zz a -tzip -mm=LZMA -mx=9 " + sevenzip + " . >/dev/null && " +
            orvsfx + shellword(uitest::unixpath(folder / "7zip.exe")) + " --from-zip " + sevenzip,
    };
    for (const std::string& command : commands) {
        uitest::HostRun made = uitest::runonhost(command);
        ASSERT_EQ(made.status, 0) << made.output;
    }
    for (const char* package : {"ours.exe", "7zip.exe"}) {
        fs::path target = folder / (std::string("to-") + package);
        uitest::Process run((folder / package).string(), "/s /d " + target.string());
        EXPECT_EQ(run.waitexit(60000), 0) << package;
        EXPECT_EQ(extracted(target), expected) << package;
    }
}

// A folder that an MS-DOS archiver marks by its attribute alone, without a "/" behind its
// name, is made as a folder and holds its member.
TEST_F(Unattended, AFolderMarkedByItsAttributeHoldsItsMember) {
    ZipMember docs;
    docs.name = "Docs";
    docs.dosattributes = kDosDirectory;
    docs.mtime = 1700000000;
    std::vector<ZipMember> members = files({{"Docs/guide.txt", "guide"}, {"readme.txt", "read"}});
    members.insert(members.begin(), docs);
    Package package;
    package.archive = archiveof(members);
    fs::path target = folder / "target";
    uitest::Process run(build(package), "/s /d " + target.string());
    EXPECT_EQ(run.waitexit(60000), 0);
    EXPECT_EQ(extracted(target),
              (Tree{{"Docs", "<dir>"}, {"Docs/guide.txt", "guide"}, {"readme.txt", "read"}}));
}

// A silent run that fails shows its message and, once that is closed, ends with exit code 1,
// leaving no process behind: a damaged member, a destination that cannot be made.
TEST_F(Unattended, AFailingSilentRunReportsAndEnds) {
    Package damaged;
    damaged.archive = archiveof(files({{"bad.txt", "bad data"}}));
    damaged.archive[damaged.archive.find("bad data")] = 'B';
    std::string exe = build(damaged, "damaged.exe");
    for (const char* silent : {"/s", "/ss"}) {
        uitest::Process run(exe, silent);
        expectbox(run, text(damaged, kTextReadError) + "\r\n" + text(damaged, kTextNotExtracted),
                  "Setup Test", MB_ICONERROR);
        EXPECT_EQ(run.waitexit(), 1) << silent;
    }
    Package good;
    std::string goodexe = build(good, "good.exe");
    uitest::Process nowhere(goodexe, "/ss /d Q:\\nowhere\\setup");
    expectbox(nowhere, text(good, kTextFolderError), "Setup Test", MB_ICONERROR);
    EXPECT_EQ(nowhere.waitexit(), 1);
    // A folder where the file is to be written: the archive is sound, the output is not.
    fs::create_directories(destination() / "readme.txt" / "kept");
    uitest::Process blocked(goodexe, "/ss");
    expectbox(blocked, text(good, kTextFolderError) + "\r\n" + text(good, kTextNotExtracted),
              "Setup Test", MB_ICONERROR);
    EXPECT_EQ(blocked.waitexit(), 1);
    EXPECT_TRUE(fs::is_directory(destination() / "readme.txt" / "kept"));
}

// An automatic run shows no notice for a warning. It completes when the warning is about the
// archive alone (its comment runs one byte past the end of the file) and every member was
// extracted; when a member was not (a method the engine lacks), it says so and fails.
TEST_F(Unattended, AnAutomaticRunWithAWarningCompletesOnlyWhenEveryMemberWasExtracted) {
    Package cut;
    cut.options.flagsa = kFlagAutoExtract | kFlagNoDoneMessage;
    cut.archive = archiveof(files({{"a.txt", "A"}, {"b.txt", "B"}}));
    cut.damage = [](std::string& bytes, size_t) {
        bytes[bytes.size() - kEndRecordSize + kEndCommentLength] = 1;
    };
    uitest::Process whole(build(cut, "cut.exe"), "");
    EXPECT_EQ(whole.waitexit(60000), 0);
    EXPECT_FALSE(uitest::messageboxshown(whole.events()));
    EXPECT_EQ(extracted(destination()), (Tree{{"a.txt", "A"}, {"b.txt", "B"}}));
    cleardestination();

    Package refused = cut;
    refused.archive = archiveof(files({{"a.txt", "A"}, {"data.bin", "data"}}));
    // data.bin becomes a bzip2 member, which the builder would not take.
    refused.damage = [](std::string& bytes, size_t archivestart) {
        for (size_t at = bytes.find("data.bin", archivestart); at != std::string::npos;
             at = bytes.find("data.bin", at + 1)) {
            size_t local = at - kLocalHeaderSize, central = at - kCentralHeaderSize;
            if (bytes.compare(local, 4, "PK\x03\x04") == 0) bytes[local + kLocalMethod] = 12;
            if (bytes.compare(central, 4, "PK\x01\x02") == 0) bytes[central + kCentralMethod] = 12;
        }
    };
    uitest::Process partial(build(refused, "refused.exe"), "");
    expectbox(partial, text(refused, kTextNotExtracted), "Setup Test", MB_ICONERROR);
    EXPECT_EQ(partial.waitexit(), 1);
    EXPECT_EQ(extracted(destination()), (Tree{{"a.txt", "A"}}));
}

// "/p" gives the password: the right one opens the members without a question; a wrong one
// leads to the password question, and cancelling it fails the silent run with exit code 1.
TEST_F(Unattended, PresetPasswordOfASilentRun) {
    Package package;
    package.archive = encrypted({{"a.txt", "A"}, {"b.txt", "B"}}, "open sesame");
    std::string exe = build(package);
    uitest::Process right(exe, "/s /p open sesame");
    EXPECT_EQ(right.waitexit(60000), 0);
    EXPECT_EQ(extracted(destination()), (Tree{{"a.txt", "A"}, {"b.txt", "B"}}));
    fs::remove_all(destination());

    uitest::Process wrong(exe, "/s -pwrong");
    HWND password = waitpassword(wrong);
    ASSERT_NE(password, nullptr);
    uitest::click(password, IDC_CANCEL);
    expectbox(wrong, text(package, kTextWrongPassword) + "\r\n" + text(package, kTextNotExtracted),
              "Setup Test", MB_ICONERROR);
    EXPECT_EQ(wrong.waitexit(), 1);
    EXPECT_TRUE(extracted(destination()).empty());
}

// "/x" suppresses the command; "/#" replaces the command's parameters with the rest of the
// line.
TEST_F(Unattended, SwitchesForTheCommand) {
    Package package = probepackage("{P}commandprobe.exe|-q", 0);
    std::string exe = build(package);
    uitest::Process suppressed(exe, "/a /x /s");
    EXPECT_EQ(suppressed.waitexit(60000), 0);
    Sleep(3000); // time a started probe would have had to write its record
    EXPECT_FALSE(fs::exists(destination() / "probe.txt"));
    cleardestination();

    uitest::Process parameters(exe, "/s /# -v file.txt /d elsewhere");
    EXPECT_EQ(parameters.waitexit(60000), 0);
    std::vector<std::string> record = proberecord();
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record[0], "-v file.txt /d elsewhere");
}

// "/o" and "/n" decide about existing files without a question; "/a" extracts without the
// main dialog ever being shown.
TEST_F(Unattended, OverwriteSwitchesAndAutomaticRuns) {
    Package package;
    package.archive = archiveof(files({{"readme.txt", "new"}, {"extra.txt", "extra"}}));
    std::string exe = build(package);
    for (const char* line : {"/a /o", "/A -N"}) {
        SCOPED_TRACE(line);
        writefile(destination() / "readme.txt", "old");
        uitest::Process run(exe, line);
        HWND box = run.waitmessagebox(60000); // the completion message
        ASSERT_NE(box, nullptr);
        for (HWND window : run.windows())
            EXPECT_EQ(GetDlgItem(window, IDC_FILELIST_DISPLAY), nullptr) << "main dialog shown";
        uitest::answermessagebox(box, IDOK);
        EXPECT_EQ(run.waitexit(), 0);
        bool overwrite = std::string(line) == "/a /o";
        EXPECT_EQ(readfile(destination() / "readme.txt"), overwrite ? "new" : "old");
        EXPECT_EQ(readfile(destination() / "extra.txt"), "extra");
        cleardestination();
    }
}

// "/s" shows the progress dialog during the run, and the banner the package asks for; "/ss"
// shows neither.
TEST_F(Unattended, SilentRunsShowProgressUnlessAskedNotTo) {
    Package package;
    package.options.flagsb = kFlagShowBanner;
    package.archive = archiveof(files({{"a.txt", "A"}, {"b.bin", std::string(1 << 20, 'b')}}));
    std::string exe = build(package);
    for (const char* line : {"/s", "/ss"}) {
        uitest::Process run(exe, line);
        EXPECT_EQ(run.waitexit(60000), 0) << line;
        std::vector<uitest::WindowEvent> events = run.events();
        bool shown = std::string(line) == "/s";
        EXPECT_EQ(uitest::wasshown(events, "#32770", IDC_QUESTION_DONTASK), shown) << line;
        EXPECT_EQ(uitest::wasshown(events, "SetupSFX"), shown) << line;
        EXPECT_EQ(extracted(destination()).size(), 2u) << line;
        cleardestination();
    }
}

// A package that cleans up behind itself keeps its install log and the destination holding it.
TEST_F(Unattended, CleanUpKeepsTheInstallLog) {
    Package package = probepackage("{P}commandprobe.exe|--sleep 500", kFlagCleanAfter);
    package.options.flagsb = kFlagWriteLog;
    uitest::Process run(build(package), "/s");
    EXPECT_EQ(run.waitexit(60000), 0);
    std::map<std::string, std::string> left = tree(destination());
    EXPECT_EQ(left.count("install.log"), 1u);
    EXPECT_EQ(left.count("payload.txt"), 0u);
    EXPECT_EQ(left.count("probe.txt"), 1u);
}

void setclassvalue(const std::string& key, const std::string& value) {
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + key).c_str(), nullptr, REG_SZ,
                    value.c_str(), DWORD(value.size() + 1));
}

bool classkeyexists(const std::string& key) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("Software\\Classes\\" + key).c_str(), 0, KEY_READ,
                      &handle) != 0)
        return false;
    RegCloseKey(handle);
    return true;
}

// A ".reg" command is opened with the verb "Merge", an ".inf" command with "Install". The
// test gives each file type a verb of that name and, where the type has none, an "open" verb
// (the default one); both run the probe (extracted beside the file) with the verb's name and
// the file as parameters, so the record shows which verb the setup asked the shell for.
TEST_F(Unattended, RegAndInfCommandsUseTheirVerbs) {
    const std::pair<const char*, const char*> kTypes[] = {{"reg", "Merge"}, {"inf", "Install"}};
    for (const auto& [type, verb] : kTypes) {
        SCOPED_TRACE(type);
        std::string typeclass = std::string(type) + "file", file = std::string("settings.") + type;
        fs::path probe = destination() / "commandprobe.exe";
        setclassvalue(std::string(".") + type, typeclass);
        auto probeverb = [&](const std::string& name) {
            setclassvalue(typeclass + "\\shell\\" + name + "\\command",
                          "\"" + probe.string() + "\" " + name + " \"%1\"");
        };
        bool decoy = !classkeyexists(typeclass + "\\shell\\open");
        if (decoy) probeverb("open");
        probeverb(verb);
        Package package = probepackage("{P}" + file, 0);
        package.archive = archiveof({commandprobe(), files({{file, "; a test file"}})[0]});
        uitest::Process run(build(package, std::string(type) + ".exe"), "/s");
        EXPECT_EQ(run.waitexit(60000), 0);
        std::vector<std::string> record = proberecord();
        ASSERT_FALSE(record.empty());
        EXPECT_EQ(record[0].rfind(std::string(verb) + " ", 0), 0u) << record[0];
        EXPECT_NE(record[0].find(file), std::string::npos) << record[0];
        for (std::string added : {std::string(verb), std::string(decoy ? "open" : "")})
            if (!added.empty())
                RegDeleteTreeA(HKEY_LOCAL_MACHINE,
                               ("Software\\Classes\\" + typeclass + "\\shell\\" + added).c_str());
        cleardestination();
    }
}

} // namespace
