// Extraction through the real stub's dialogs under Wine: all files and a selection, the
// progress dialog shown and hidden, Cancel, the overwrite question's answers, the password
// dialog, the result messages with the dialog's failed state, the install log, automatic
// runs, and names that try to leave the destination.
#include "tests/support/setuprun.h"

#include "setup/runreport.h"

#include <commctrl.h>

#include <algorithm>
#include <regex>
#include <set>

namespace {

using namespace setuprun;
using Tree = std::map<std::string, std::string>;

class Extraction : public SetupRun {
  protected:
    // Presses Extract in the main dialog of a run that was just started.
    HWND extract(const uitest::Process& run) {
        HWND dialog = waitmain(run, "Setup Test");
        EXPECT_NE(dialog, nullptr);
        if (dialog) uitest::click(dialog, IDC_EXTRACT);
        return dialog;
    }
    // The completion message, which a run of a large archive under the emulator may need
    // a while to reach, and the exit code 0.
    void expectcompleted(uitest::Process& run, const Package& package) {
        eventually([&] { return run.waitmessagebox(0) != nullptr || !run.running(); }, 90000);
        expectbox(run, text(package, kTextCompleted), "Setup Test", MB_ICONINFORMATION);
        EXPECT_EQ(run.waitexit(), 0);
    }
    // The run's message for a failure of its second text "couldn't get extracted".
    static std::string failure(const Package& package, UiTextId first) {
        return text(package, first) + "\r\n" + text(package, kTextNotExtracted);
    }
};

TEST_F(Extraction, AllFilesAndFoldersReachTheDestination) {
    Package package;
    std::vector<ZipMember> members =
        files({{"readme.txt", "read me"}, {"docs/a/deep.txt", "deep"}});
    ZipMember folder;
    folder.name = "empty/";
    folder.dosattributes = 0x10;
    members.push_back(folder);
    package.archive = archiveof(members);
    uitest::Process run(build(package));
    extract(run);
    expectcompleted(run, package);
    EXPECT_EQ(extracted(destination()), (Tree{{"docs", "<dir>"},
                                              {"docs/a", "<dir>"},
                                              {"docs/a/deep.txt", "deep"},
                                              {"empty", "<dir>"},
                                              {"readme.txt", "read me"}}));
}

TEST_F(Extraction, OnlyTheSelectedFilesAreExtracted) {
    writefile(destination() / "b.txt", "untouched");
    Package package;
    package.options.flagsa = kFlagSelectFiles | kFlagOverwriteAlways;
    package.archive = archiveof(files({{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}}));
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    SendDlgItemMessageA(dialog, IDC_FILELIST_CHOICE, LB_SETSEL, FALSE, -1);
    SendDlgItemMessageA(dialog, IDC_FILELIST_CHOICE, LB_SETSEL, TRUE, 2);
    uitest::click(dialog, IDC_EXTRACT);
    expectcompleted(run, package);
    EXPECT_EQ(extracted(destination()), (Tree{{"b.txt", "untouched"}, {"c.txt", "C"}}));
}

// A name that begins another is told apart from it: "readme" is found as itself, not as the
// "readme.txt" looked up just before it, whose item follows it in the list.
TEST_F(Extraction, ANameThatBeginsAnotherIsSelectedAsItself) {
    Package package;
    package.options.flagsa = kFlagSelectFiles;
    std::vector<ZipMember> members = files({{"readme.txt", "long"}, {"readme", "short"}});
    std::swap(members[0], members[1]);
    members.push_back(files({{"a.txt", "A"}})[0]);
    package.archive = archiveof(members);
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(uitest::listitems(dialog, IDC_FILELIST_CHOICE),
              (std::vector<std::string>{"a.txt", "readme", "readme.txt"}));
    SendDlgItemMessageA(dialog, IDC_FILELIST_CHOICE, LB_SETSEL, FALSE, -1);
    SendDlgItemMessageA(dialog, IDC_FILELIST_CHOICE, LB_SETSEL, TRUE, 1);
    uitest::click(dialog, IDC_EXTRACT);
    expectcompleted(run, package);
    EXPECT_EQ(extracted(destination()), (Tree{{"readme", "short"}}));
}

TEST_F(Extraction, NoSelectionCompletesWithoutMakingTheFolder) {
    Package package;
    package.options.flagsa = kFlagSelectFiles;
    package.options.flagsb = kFlagWriteLog;
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    SendDlgItemMessageA(dialog, IDC_FILELIST_CHOICE, LB_SETSEL, FALSE, -1);
    uitest::click(dialog, IDC_EXTRACT);
    expectcompleted(run, package);
    EXPECT_FALSE(fs::exists(destination()));
}

// The progress dialog follows a run: the name field goes from the first member to the last
// and the bar rises to its end, however fast the machine (the window is brought up to date
// at the first report and shows the last state at the end).
TEST_F(Extraction, TheProgressDialogFollowsTheRun) {
    Package package;
    std::map<std::string, std::string> parts;
    for (int i = 0; i < 6; i++)
        parts["part" + std::to_string(100 + i) + ".bin"] = std::string(1 << 20, char('a' + i));
    package.archive = archiveof(files(parts));
    uitest::Process run(build(package));
    extract(run);
    expectcompleted(run, package);
    std::vector<std::string> names;
    std::vector<int> positions;
    for (const uitest::WindowEvent& event : run.events()) {
        // The field shows the path below the destination, shortened as it needs.
        size_t part = event.text.rfind("\\part");
        if (event.kind == "text" && event.id == IDC_PROGRESS_NAME && part != std::string::npos)
            names.push_back(event.text.substr(part + 1));
        if (event.kind == "value" && event.id == IDC_PROGRESS_BAR)
            positions.push_back(std::stoi(event.text));
    }
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names.front(), "part100.bin");
    EXPECT_EQ(names.back(), "part105.bin");
    ASSERT_GE(positions.size(), 2u);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_LT(positions.front(), positions.back());
    EXPECT_EQ(positions.back(), kProgressRange);
}

// Cancel stops a run without a message, removes what it made (the destination folder
// included, which the run made) and ends the setup with exit code 1. The run is held at its
// first progress report and Cancel pressed there, so that no machine finishes first.
TEST_F(Extraction, CancelStopsALargeExtraction) {
    Package package;
    std::map<std::string, std::string> big;
    for (int i = 0; i < 4; i++)
        big["part" + std::to_string(100 + i) + ".bin"] = std::string(1 << 20, char('a' + i));
    package.archive = archiveof(files(big));
    uitest::Process run(build(package), "", {}, 0);
    extract(run);
    ASSERT_TRUE(run.waitheld(60000));
    HWND progress = waitprogress(run);
    ASSERT_NE(progress, nullptr);
    EXPECT_FALSE(showsquestion(progress));
    EXPECT_TRUE(uitest::controlenabled(progress, IDC_CANCEL));
    uitest::click(progress, IDC_CANCEL);
    run.release();
    EXPECT_EQ(run.waitexit(60000), 1);
    EXPECT_FALSE(fs::exists(destination()));
    EXPECT_FALSE(uitest::messageboxshown(run.events()));
}

TEST_F(Extraction, ProgressAndQuestionsMoveTheBarToItsEnd) {
    writefile(destination() / "z.bin", "old");
    Package package;
    package.archive = archiveof(files({{"a.bin", std::string(3 << 20, 'a')}, {"z.bin", "new"}}));
    uitest::Process run(build(package));
    extract(run);
    HWND question = waitquestion(run);
    ASSERT_NE(question, nullptr);
    // a.bin is written before z.bin is asked about: the bar shows its share of the total.
    int position = (int)SendDlgItemMessageA(question, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0);
    EXPECT_GE(position, 49990);
    EXPECT_LE(position, 50000);
    uitest::click(question, IDC_QUESTION_YES);
    expectcompleted(run, package);
}

// With the progress window hidden, the dialog appears only for the question and hides again.
TEST_F(Extraction, AHiddenProgressDialogShowsOnlyForTheQuestion) {
    writefile(destination() / "a.txt", "old");
    Package package;
    package.options.flagsb = kFlagNoProgress;
    package.archive = archiveof(files({{"a.txt", "new"}, {"b.txt", std::string(4 << 20, 'b')}}));
    uitest::Process run(build(package));
    extract(run);
    HWND question = waitquestion(run);
    ASSERT_NE(question, nullptr);
    uitest::click(question, IDC_QUESTION_YES);
    EXPECT_TRUE(uitest::waitgone(question, 5000));
    expectcompleted(run, package);
    EXPECT_EQ(extracted(destination())["a.txt"], "new");
}

// Yes, No, Escape and the close box, each for one file; after each the progress layout is
// back (the caption of the run and the Cancel button), and none of them aborts the run.
TEST_F(Extraction, EachAnswerOfTheQuestionDecidesItsFile) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        writefile(destination() / name, "old");
    Package package;
    package.archive = archiveof(files({{"a.txt", "new"},
                                       {"b.txt", "new"},
                                       {"c.txt", "new"},
                                       {"d.txt", "new"},
                                       {"e.bin", std::string(1 << 20, 'e')}}));
    uitest::Process run(build(package));
    extract(run);
    HWND question = waitquestion(run);
    ASSERT_NE(question, nullptr);
    auto answerfor = [&](const char* file, auto answer) {
        EXPECT_EQ(uitest::windowtext(question), file + text(package, kTextAlreadyExists));
        answer();
        for (int waited = 0; waited < 10000; waited += 50) {
            if (!showsquestion(question) ||
                uitest::windowtext(question) != file + text(package, kTextAlreadyExists))
                break;
            Sleep(50);
        }
    };
    answerfor("a.txt", [&] { uitest::click(question, IDC_QUESTION_YES); });
    ASSERT_NE(waitquestion(run), nullptr);
    answerfor("b.txt", [&] { uitest::click(question, IDC_QUESTION_NO); });
    ASSERT_NE(waitquestion(run), nullptr);
    answerfor("c.txt", [&] { presskey(question, VK_ESCAPE); });
    ASSERT_NE(waitquestion(run), nullptr);
    answerfor("d.txt", [&] { PostMessageA(question, WM_CLOSE, 0, 0); });
    expectcompleted(run, package);

    // The progress dialog's captions: each question's, and the run's again after it.
    std::vector<std::string> captions;
    bool aborted = false, cancelshown = false;
    for (const uitest::WindowEvent& event : run.events()) {
        if (event.root != (unsigned)(UINT_PTR)question) continue;
        if (event.kind == "text" && event.id == 0) captions.push_back(event.text);
        aborted |= event.kind == "text" && event.text == text(package, kTextAborting);
        cancelshown = event.kind == "show" && event.id == IDC_CANCEL
                          ? true
                          : cancelshown && !(event.kind == "hide" && event.id == IDC_CANCEL);
    }
    std::vector<std::string> expected = {"Setup Test"};
    for (const char* file : {"a.txt", "b.txt", "c.txt", "d.txt"})
        expected.insert(expected.end(), {file + text(package, kTextAlreadyExists), "Setup Test"});
    EXPECT_EQ(captions, expected);
    EXPECT_FALSE(aborted);
    EXPECT_TRUE(cancelshown);
    Tree files = extracted(destination());
    EXPECT_EQ(files["a.txt"], "new");
    EXPECT_EQ(files["b.txt"], "old");
    EXPECT_EQ(files["c.txt"], "old");
    EXPECT_EQ(files["d.txt"], "old");
}

// "Don't ask again" with Yes overwrites every later file without a question; with No it
// keeps them.
TEST_F(Extraction, DontAskAgainAnswersEveryLaterFile) {
    for (bool overwrite : {true, false}) {
        SCOPED_TRACE(overwrite ? "Yes" : "No");
        fs::remove_all(destination());
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) writefile(destination() / name, "old");
        Package package;
        package.archive = archiveof(files({{"a.txt", "new"}, {"b.txt", "new"}, {"c.txt", "new"}}));
        uitest::Process run(build(package, overwrite ? "yes.exe" : "no.exe"));
        extract(run);
        HWND question = waitquestion(run);
        ASSERT_NE(question, nullptr);
        SendDlgItemMessageA(question, IDC_QUESTION_DONTASK, BM_SETCHECK, BST_CHECKED, 0);
        uitest::click(question, overwrite ? IDC_QUESTION_YES : IDC_QUESTION_NO);
        expectcompleted(run, package);
        const char* expected = overwrite ? "new" : "old";
        EXPECT_EQ(extracted(destination()),
                  (Tree{{"a.txt", expected}, {"b.txt", expected}, {"c.txt", expected}}));
    }
}

// A 7-Zip ZipCrypto archive: a wrong password asks again, Skip skips only that member, the
// right one opens the rest; the skipped member makes the run a failure.
TEST_F(Extraction, PasswordsOfA7ZipArchive) {
    Package package;
    package.archive = readfile(fs::path(std::string("Z:") + ORV_TEST_DATA) / "engine" /
                               "encrypted" / "enc_secret.zip");
    uitest::Process run(build(package));
    HWND dialog = extract(run);
    HWND password = waitpassword(run);
    ASSERT_NE(password, nullptr);
    uitest::typetext(password, IDC_PASSWORD, "wrong");
    uitest::click(password, IDOK);
    ASSERT_TRUE(uitest::waitgone(password));
    password = waitpassword(run);
    ASSERT_NE(password, nullptr);
    uitest::click(password, IDC_PASSWORD_SKIP);
    ASSERT_TRUE(uitest::waitgone(password));
    password = waitpassword(run);
    ASSERT_NE(password, nullptr);
    uitest::typetext(password, IDC_PASSWORD, "secret");
    uitest::click(password, IDOK);
    expectbox(run, text(package, kTextNotExtracted), "Setup Test", MB_ICONERROR);
    Tree files = extracted(destination());
    EXPECT_EQ(files.count("docs/deep/blob.bin"), 0u);
    EXPECT_EQ(files["top.txt"], "top\n");
    EXPECT_EQ(files["docs/guide.txt"].size(), 2400u);
    EXPECT_TRUE(waitfailedstate(dialog));
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

// The builder's encryption: Cancel stops every password question, and a run whose every
// member failed its password reports the wrong password.
TEST_F(Extraction, CancelStopsThePasswordQuestions) {
    Package package;
    package.archive = encrypted({{"a.txt", "A"}, {"b.txt", "B"}}, "right");
    uitest::Process run(build(package));
    HWND dialog = extract(run);
    HWND password = waitpassword(run);
    ASSERT_NE(password, nullptr);
    uitest::click(password, IDC_CANCEL);
    expectbox(run, failure(package, kTextWrongPassword), "Setup Test", MB_ICONERROR);
    EXPECT_TRUE(extracted(destination()).empty());
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

TEST_F(Extraction, TheRightPasswordOfTheBuildersEncryptionOpensEveryMember) {
    Package package;
    package.archive = encrypted({{"a.txt", "A"}, {"b.txt", "B"}}, "r\xE9sum\xE9");
    uitest::Process run(build(package));
    extract(run);
    HWND password = waitpassword(run);
    ASSERT_NE(password, nullptr);
    uitest::typetext(password, IDC_PASSWORD, "r\xE9sum\xE9");
    uitest::click(password, IDOK);
    expectcompleted(run, package);
    EXPECT_EQ(extracted(destination()), (Tree{{"a.txt", "A"}, {"b.txt", "B"}}));
}

// A member that fails its CRC: the run's message, then the failed state, in which only
// Cancel, Help and About act and list 301 shows the names the engine did not remove.
TEST_F(Extraction, ADamagedMemberLeavesTheDialogInItsFailedState) {
    Package package;
    package.options.command = "run.exe";
    package.options.flagsa = kFlagCommandOptional | kFlagShowOverwrite;
    package.archive = archiveof(files({{"bad.txt", "bad data"}, {"good.txt", "good"}}));
    package.archive[package.archive.find("bad data")] = 'B';
    uitest::Process run(build(package));
    HWND dialog = extract(run);
    expectbox(run, failure(package, kTextReadError), "Setup Test", MB_ICONERROR);
    ASSERT_TRUE(waitfailedstate(dialog));
    for (int id : {IDC_EXTRACT, IDC_FOLDER, IDC_MODEGROUP, IDC_MODE_CONFIRM, IDC_MODE_SKIP,
                   IDC_MODE_OVERWRITE, IDC_BROWSE, IDC_FOLDERLABEL, IDC_RUNCOMMAND})
        EXPECT_FALSE(uitest::controlenabled(dialog, id)) << id;
    for (int id : {IDC_CANCEL, IDC_HELPBUTTON, IDC_ABOUT, IDC_FILELIST_CHOICE})
        EXPECT_TRUE(uitest::controlenabled(dialog, id)) << id;
    EXPECT_TRUE(uitest::controlvisible(dialog, IDC_FILELIST_CHOICE));
    EXPECT_FALSE(uitest::controlvisible(dialog, IDC_FILELIST_DISPLAY));
    // A batch with a failed member trims nothing from the list.
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_CHOICE),
              (std::vector<std::string>{"bad.txt", "good.txt"}));
    uitest::click(dialog, IDC_EXTRACT); // disabled: the command does nothing
    uitest::click(dialog, IDC_HELPBUTTON);
    expectbox(run, text(package, kTextHelp), text(package, kTextHelpCaption), MB_ICONINFORMATION);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
    EXPECT_EQ(extracted(destination())["good.txt"], "good");
}

TEST_F(Extraction, ResultMessagesOfTheEngine) {
    struct Case {
        const char* name;
        void (*damage)(std::string&, size_t);
        UiTextId first; // kTextIdCount: the second text alone
    };
    // The second member's local header loses its signature; the member needs version 4.5.
    auto nolocal = [](std::string& bytes, size_t archive) {
        bytes[bytes.find("PK\x03\x04", archive + 1) + 2] = 9;
    };
    auto newer = [](std::string& bytes, size_t archive) {
        bytes[bytes.find("PK\x01\x02", archive) + 6] = 45;
    };
    const Case cases[] = {
        {"local.exe", nolocal, kTextReadError},
        {"newer.exe", newer, kTextIdCount},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Package package;
        package.archive = archiveof(files({{"one.txt", "1"}, {"two.txt", "2"}}));
        package.damage = c.damage;
        uitest::Process run(build(package, c.name));
        HWND dialog = extract(run);
        expectbox(run,
                  c.first == kTextIdCount ? text(package, kTextNotExtracted)
                                          : failure(package, c.first),
                  "Setup Test", MB_ICONERROR);
        uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
    }
}

// A destination that cannot be made: a drive that does not exist, a folder under a file.
TEST_F(Extraction, ADestinationThatCannotBeMadeIsReportedBeforeTheEngineRuns) {
    writefile(folder / "file", "a file");
    for (std::string target :
         {std::string("Q:\\nowhere\\setup"), (folder / "file" / "sub").string()}) {
        SCOPED_TRACE(target);
        Package package;
        package.options.folder = target;
        uitest::Process run(build(package, "dest.exe"));
        HWND dialog = extract(run);
        expectbox(run, text(package, kTextFolderError), "Setup Test", MB_ICONERROR);
        EXPECT_TRUE(waitfailedstate(dialog));
        uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
    }
    EXPECT_EQ(readfile(folder / "file"), "a file");
}

// The log lists what the run created, newest first, with the date and time of writing.
TEST_F(Extraction, TheInstallLogListsWhatTheRunCreated) {
    Package package;
    package.options.folder = (destination() / "sub").string();
    package.options.flagsb = kFlagWriteLog;
    std::vector<ZipMember> members = files({{"docs/guide.txt", "guide"}, {"top.txt", "top"}});
    package.archive = archiveof(members);
    uitest::Process run(build(package));
    extract(run);
    expectcompleted(run, package);
    std::string log = readfile(destination() / "sub" / "install.log");
    std::string root = (destination() / "sub").string();
    std::smatch date;
    ASSERT_TRUE(std::regex_search(
        log, date, std::regex("\r\n([^\r\n]*) ([0-9]{1,2}):[0-9]{2}:[0-9]{2}[^\r\n]*\r\n")))
        << log;
    char today[64];
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, today, sizeof today);
    EXPECT_EQ(date[1].str(), today);
    // The time is in 24-hour form whatever the locale's own format.
    SYSTEMTIME now;
    GetLocalTime(&now);
    int hour = std::stoi(date[2].str());
    EXPECT_TRUE(hour == now.wHour || hour == (now.wHour + 23) % 24) << hour;
    std::string expected = "Brundimar Archive Install Log\r\n:\r\nSetup Test\r\n" +
                           date[0].str().substr(2) + "5\r\n:\r\n" + "F+" + root + "\\top.txt\r\n" +
                           "F+" + root + "\\docs\\guide.txt\r\n" + "D+" + root + "\\docs\r\n" +
                           "D+" + root + "\r\n" + "D+" + destination().string() + "\r\n" +
                           ":\r\nEnd.\r\n";
    EXPECT_EQ(log, expected);
}

// Automatic packages press Extract themselves: a good one completes without showing its
// dialog, a failing one ends with exit code 1 once its message is closed.
TEST_F(Extraction, AutomaticRunsEndTheSetupEitherWay) {
    Package good;
    good.options.flagsa = kFlagAutoExtract;
    uitest::Process run(build(good, "good.exe"));
    expectcompleted(run, good);
    EXPECT_EQ(extracted(destination()), (Tree{{"readme.txt", "hello"}}));

    Package bad;
    bad.options.flagsa = kFlagAutoExtract;
    bad.archive = archiveof(files({{"bad.txt", "bad data"}}));
    bad.archive[bad.archive.find("bad data")] = 'B';
    uitest::Process failing(build(bad, "bad.exe"));
    expectbox(failing, failure(bad, kTextReadError), "Setup Test", MB_ICONERROR);
    EXPECT_EQ(failing.waitexit(), 1);
}

// Names that climb out of the destination or name devices: the engine's rules hold in the
// dialog's run, and nothing is written beside the destination.
TEST_F(Extraction, NamesThatTryToLeaveTheDestinationStayInside) {
    Package package;
    package.options.flagsa = kFlagOverwriteAlways;
    package.archive = archiveof(files({{"../evil.txt", "1"},
                                       {"docs/../../evil2.txt", "2"},
                                       {"..\\evil3.txt", "3"},
                                       {"CON", "4"},
                                       {std::string(250, 'n') + ".txt", "5"},
                                       {"fine.txt", "6"}}));
    std::string exe = build(package);
    std::set<std::string> before;
    for (auto& entry : fs::directory_iterator(folder))
        before.insert(entry.path().filename().string());
    uitest::Process run(exe);
    HWND dialog = extract(run);
    HWND box = run.waitmessagebox();
    if (box) uitest::answermessagebox(box, IDOK);
    if (dialog && IsWindow(dialog) && run.running()) uitest::click(dialog, IDC_CANCEL);
    run.waitexit();
    std::set<std::string> after;
    for (auto& entry : fs::directory_iterator(folder))
        after.insert(entry.path().filename().string());
    after.erase("dest");
    EXPECT_EQ(after, before);
    EXPECT_FALSE(fs::exists(folder.parent_path() / "evil.txt"));
    EXPECT_EQ(extracted(destination())["fine.txt"], "6");
}

} // namespace
