// Pictures of the setup's dialogs as the real stub shows them under Wine, in English and in
// German, and a check that every text in them fits its control.
//
// The same package, "Orvandel Demo", runs three times in each language: once to show the
// main dialog with its file list, the About box, the folder browser and the new-folder
// dialog; once with the description panel in place of the list; once to extract, where it
// asks for the password, shows its progress and asks about an existing file. Each dialog of
// the stub's own templates has its texts measured against their controls (uitest/textfit).
//
// The progress picture is taken with the stub held at the first bar position of at least a
// quarter (the UI library's window watch holds it there, its windows painted), so that not
// even a fast machine finishes the member before the picture; such a machine shows the bar
// at its last state before the question that follows the large member.
//
// The pictures are NAME-LANGUAGE.bmp in the folder that ORV_SCREENSHOTS names (a Windows
// path), NAME-LANGUAGE-144dpi.bmp where the display has another DPI than 96 (144 here); without
// it they go to the test's own folder and are only checked to be there. Wine gives a program
// the prefix's DPI when it starts, so this program, whose hidden copies of the dialogs measure
// the texts, sees the same DPI as the stubs it starts.
// scripts/screenshots.sh runs this program in a Wine virtual desktop, where Wine draws the
// windows' frames and captions, and turns the pictures into docs/screenshots.
#include "tests/support/setuprun.h"

#include "setup/runreport.h"

#include "tests/uitest/textfit.h"
#include "tests/uitest/windowpicture.h"

#include <cstdlib>

namespace {

using namespace setuprun;

constexpr char kLanguages[][8] = {"english", "german"};
constexpr char kTitle[] = "Orvandel Demo";
constexpr char kFolder[] = "%PROG%\\Orvandel Demo";
constexpr char kProgram[] = "demo.exe";
constexpr char kPassword[] = "demo";
constexpr char kNewFolder[] = "Samples";
constexpr char kPicturesVariable[] = "ORV_SCREENSHOTS";
constexpr int kClassicDpi = 96; // the DPI whose pictures have no suffix

// The template font of the stub's dialogs, and of the shell's folder browser.

// The member the progress picture catches, and the bar position it is caught at (a quarter
// of the bar's range).
constexpr char kLargeName[] = "data/sample.dat";
constexpr size_t kLargeMember = 8u << 20;
constexpr int kProgressShown = kProgressRange / 4;
constexpr int kBrowserAttempts = 2;
constexpr int kSelectionWait = 5000; // milliseconds for the browser to select a folder

// The description panel's text in each language (Windows-1252).
const char* description(const std::string& language) {
    if (language == "german")
        return "Orvandel Demo installiert ein kleines Beispielprogramm mit seinem "
               "Handbuch.\r\n\r\nKlicken Sie auf \x84"
               "Entpacken\x93, um es in den Ordner oben zu entpacken; danach startet das "
               "Programm, wenn das K\xE4stchen darunter angekreuzt ist.";
    return "Orvandel Demo installs a small sample program with its manual.\r\n\r\nClick "
           "\"Extract\" to unpack it into the folder above; the program then starts when the "
           "box below is ticked.";
}

struct TextSearch {
    const std::string& text;
    bool found;
};

BOOL CALLBACK matchtext(HWND child, LPARAM lparam) {
    TextSearch& search = *reinterpret_cast<TextSearch*>(lparam);
    search.found = search.found || uitest::windowtext(child) == search.text;
    return TRUE;
}

// Whether a child of window shows text (a control's text, read by message).
bool showstext(HWND window, const std::string& text) {
    TextSearch search = {text, false};
    EnumChildWindows(window, matchtext, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class Screenshots : public SetupRun {
  protected:
    void SetUp() override {
        SetupRun::SetUp();
        removeinstalled();
    }
    void TearDown() override {
        removeinstalled();
        SetupRun::TearDown();
    }

    // Where the package extracts to: kFolder as the stub expands it.
    static fs::path installed() {
        const char* programs = std::getenv("ProgramFiles");
        return fs::path(programs ? programs : "C:\\Program Files") / "Orvandel Demo";
    }
    static void removeinstalled() {
        std::error_code ignored;
        fs::remove_all(installed(), ignored);
    }

    fs::path pictures() const {
        const char* chosen = std::getenv(kPicturesVariable);
        fs::path where = chosen && *chosen ? fs::path(chosen) : folder / "pictures";
        fs::create_directories(where);
        return where;
    }

    // The demo package in a language: a program and its files, its command offered, the
    // overwrite modes shown.
    static Package demo(const std::string& language) {
        Package package;
        package.texts = shippedtable(language).texts;
        package.options.title = kTitle;
        package.options.folder = kFolder;
        package.options.command = kProgram;
        package.options.about = "Orvandel Demo 1.0";
        package.options.flagsa = kFlagCommandOptional | kFlagShowOverwrite;
        package.archive = archiveof(files({{kProgram, "MZ"},
                                           {"readme.txt", "Read me first."},
                                           {"licence.txt", "Free to use."},
                                           {"manual/index.html", "<h1>Demo</h1>"},
                                           {"manual/start.html", "<p>Start</p>"},
                                           {"samples/first.orv", "1"},
                                           {"samples/second.orv", "2"}}));
        return package;
    }

    // Opens the folder browser and waits until it has selected the field's folder, which its
    // status line then names. The first browser of a Wine session can show its tree before
    // it can select there; it is closed and the browser opened once more.
    static HWND openbrowser(const uitest::Process& run, HWND dialog) {
        const std::string selected = installed().string() + "\\";
        for (int attempt = 0; attempt < kBrowserAttempts; ++attempt) {
            uitest::click(dialog, IDC_BROWSE);
            HWND browser = waitbrowser(run, dialog);
            if (!browser) break;
            if (eventually([&] { return showstext(browser, selected); }, kSelectionWait))
                return browser;
            uitest::click(browser, IDCANCEL);
            uitest::waitgone(browser);
        }
        ADD_FAILURE() << "no browser selected " << selected;
        return nullptr;
    }

    // A dialog made from the stub's template dialogname has every text fit its control. The
    // templates are read from the linked stub, which holds in its resource section the same
    // bytes that the packed stub restores from its packed stream.
    static void expectfits(HWND dialog, const char* dialogname) {
        static const std::string templates =
            std::string("Z:") + ORV_BINARY_DIR + "/stub/stub-linked.exe";
        EXPECT_EQ(uitest::clippedtexts(dialog, templates, dialogname), std::vector<std::string>());
    }

    // "-144dpi" at 144 DPI, nothing at 96.
    static std::string dpisuffix() {
        HDC screen = GetDC(nullptr);
        int dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return dpi == kClassicDpi ? "" : "-" + std::to_string(dpi) + "dpi";
    }

    // Saves what the screen shows of window as name-language.bmp (with the DPI's suffix).
    void save(HWND window, const std::string& name, const std::string& language) const {
        fs::path file = pictures() / (name + "-" + language + dpisuffix() + ".bmp");
        EXPECT_TRUE(uitest::savewindowpicture(window, file.string())) << file;
    }

    // Brings window to the front and saves its picture; a dialog of one of the stub's
    // templates (dialogname not null) is checked for texts that do not fit.
    void take(HWND window, const std::string& name, const std::string& language,
              const char* dialogname) const {
        SCOPED_TRACE(name);
        ASSERT_NE(window, nullptr);
        uitest::showfront(window);
        if (dialogname) expectfits(window, dialogname);
        save(window, name, language);
    }

    // The progress dialog with the stub held at a quarter of the bar or more.
    void takeprogress(const uitest::Process& run, HWND progress, const std::string& language) {
        ASSERT_TRUE(run.waitheld(60000));
        save(progress, "progress", language);
        run.release();
    }
};

TEST_F(Screenshots, TheFileListTheAboutBoxAndTheFolderChoice) {
    // An archiver is installed, so the dialog offers Open-with too.
    RegistryValue archiver(HKEY_CURRENT_USER, "Software\\Orvandel\\General", "Directory",
                           folder.string(), "Software\\Orvandel");
    fs::create_directories(installed());
    for (const char* language : kLanguages) {
        SCOPED_TRACE(language);
        Package package = demo(language);
        uitest::Process run(build(package, std::string(language) + ".exe"));
        HWND dialog = waitmain(run, kTitle);
        ASSERT_NE(dialog, nullptr);
        take(dialog, "main-files", language, "MAINDIALOG");

        uitest::click(dialog, IDC_ABOUT);
        HWND about = run.waitmessagebox();
        take(about, "about", language, nullptr);
        uitest::answermessagebox(about, IDOK);
        ASSERT_TRUE(uitest::waitgone(about));

        HWND browser = openbrowser(run, dialog);
        ASSERT_NE(browser, nullptr);
        take(browser, "browser", language, nullptr);
        uitest::click(browser, IDC_BROWSER_NEWFOLDER);
        HWND newfolder = run.waitwindow("#32770", text(package, kTextNewFolderCaption).c_str());
        ASSERT_NE(newfolder, nullptr);
        uitest::typetext(newfolder, IDC_NEWFOLDER_NAME, kNewFolder);
        take(newfolder, "newfolder", language, "DLGNEW");
        uitest::click(newfolder, IDC_CANCEL);
        ASSERT_TRUE(uitest::waitgone(newfolder));

        uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
    }
}

TEST_F(Screenshots, TheDescriptionPanel) {
    for (const char* language : kLanguages) {
        SCOPED_TRACE(language);
        Package package = demo(language);
        package.options.flagsb = kFlagInfoPanel;
        package.options.description = description(language);
        uitest::Process run(build(package, std::string(language) + ".exe"));
        HWND dialog = waitmain(run, kTitle);
        ASSERT_NE(dialog, nullptr);
        take(dialog, "main-info", language, "MAINDIALOG");
        uitest::click(dialog, IDC_CANCEL);
        EXPECT_EQ(run.waitexit(), 1);
    }
}

// The password is asked before the large member, with the progress dialog already shown
// behind; its texts are measured then, while the extraction waits. The run is ended after the
// question.
TEST_F(Screenshots, AnExtractionWithItsPasswordProgressAndQuestion) {
    for (const char* language : kLanguages) {
        SCOPED_TRACE(language);
        removeinstalled();
        writefile(installed() / "readme.txt", "An older readme.");
        Package package = demo(language);
        package.archive = encrypted(
            {{kLargeName, std::string(kLargeMember, 'o')}, {"readme.txt", "Read me first."}},
            kPassword);
        uitest::Process run(build(package, std::string(language) + ".exe"), "", {}, kProgressShown);
        HWND dialog = waitmain(run, kTitle);
        ASSERT_NE(dialog, nullptr);
        SendDlgItemMessageA(dialog, IDC_RUNCOMMAND, BM_CLICK, 0, 0); // no demo.exe to run
        uitest::click(dialog, IDC_EXTRACT);

        HWND password = waitpassword(run);
        ASSERT_NE(password, nullptr);
        HWND progress = waitprogress(run);
        ASSERT_NE(progress, nullptr);
        expectfits(progress, "EXTRACTING");
        uitest::typetext(password, IDC_PASSWORD, kPassword);
        take(password, "password", language, "PASSWD");
        uitest::click(password, IDOK);
        takeprogress(run, progress, language);

        take(waitquestion(run), "overwrite", language, "EXTRACTING");
    }
}

} // namespace
