// The main dialog's links in the real stub under Wine: each opens its target through the shell
// on a click and on the space bar, with "mailto:" in front of a target with '@'; the legal
// link's '~' target makes the dialog write the legal page to a temporary file and open it,
// and the file is gone when the setup ends, also after a failed run. The shell's handlers of
// https, mailto and .html pages are pointed at the command probe for the test, which records
// what it was given.
#include "tests/support/setuprun.h"

#include <memory>

namespace {

using namespace setuprun;

const char kMakerAddress[] = "https://www.orvandel.net/";
const char kOpenCommand[] = "shell\\open\\command";

class Links : public SetupRun {
  protected:
    fs::path probe, temp;

    void SetUp() override {
        SetupRun::SetUp();
        probe = folder / "handler" / "probe.exe";
        temp = folder / "temp";
        fs::create_directories(probe.parent_path());
        fs::create_directories(temp);
        writefile(probe, commandprobe().data);
    }

    // The probe as the handler of a class of HKEY_CLASSES_ROOT.
    std::unique_ptr<RegistryValue> handle(const std::string& name) const {
        std::string key = name + "\\" + kOpenCommand;
        return std::make_unique<RegistryValue>(HKEY_CLASSES_ROOT, key, "",
                                               "\"" + probe.string() + "\" \"%1\"", name);
    }

    // A package whose temporary folder is the test's own.
    std::unique_ptr<uitest::Process> start(const std::string& path) const {
        return std::make_unique<uitest::Process>(
            path, "", std::vector<std::string>{"TMP=" + temp.string(), "TEMP=" + temp.string()});
    }

    // What the probe was given by the next activation, which act() performs.
    template <typename Act>
    std::string opened(Act act) {
        fs::path record = folder / "probe.txt";
        fs::remove(record);
        act();
        if (!eventually([&] { return fs::exists(record) && fs::file_size(record) > 0; }))
            return "(nothing opened)";
        std::string text = readfile(record);
        return text.substr(0, text.find_first_of("\r\n"));
    }

    std::vector<fs::path> temporaryfiles() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(temp)) found.push_back(entry.path());
        return found;
    }
};

void clicklink(HWND link) {
    PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

void spacebar(HWND link) {
    PostMessageA(link, WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(link, WM_KEYUP, VK_SPACE, 0xC0000001);
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

TEST_F(Links, EachLinkOpensItsTargetOnAClickAndOnTheSpaceBar) {
    auto https = handle("https");
    auto mailto = handle("mailto");
    CurrentFolder current(folder);
    auto run = start(build(Package()));
    HWND dialog = waitmain(*run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    HWND link = GetDlgItem(dialog, IDC_MAKERLINK);
    EXPECT_EQ(opened([&] { clicklink(link); }), quoted(kMakerAddress));
    EXPECT_EQ(opened([&] { spacebar(link); }), quoted(kMakerAddress));
    // Another key between the space bar's press and release cancels it (one that types no
    // character, which the dialog would take for an access key).
    fs::remove(folder / "probe.txt");
    PostMessageA(link, WM_KEYDOWN, VK_SPACE, 1);
    PostMessageA(link, WM_KEYDOWN, VK_F2, 1);
    PostMessageA(link, WM_KEYUP, VK_SPACE, 0xC0000001);
    EXPECT_FALSE(eventually([&] { return fs::exists(folder / "probe.txt"); }, 3000));

    // A target with '@' is a mail address; a text without '#' is its own target.
    uitest::typetext(dialog, IDC_MAKERLINK, "Write to us#someone@example.org");
    EXPECT_EQ(opened([&] { clicklink(link); }), quoted("mailto:someone@example.org"));
    uitest::typetext(dialog, IDC_MAKERLINK, "https://www.orvandel.net/help");
    EXPECT_EQ(opened([&] { spacebar(link); }), quoted("https://www.orvandel.net/help"));

    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run->waitexit(), 1);
}

TEST_F(Links, TheLegalPageLivesWhileTheSetupRuns) {
    auto extension =
        std::make_unique<RegistryValue>(HKEY_CLASSES_ROOT, ".html", "", "htmlfile", ".html");
    auto html = handle("htmlfile");
    CurrentFolder current(folder);

    // The link, then the system menu's item, each write a page of their own.
    auto run = start(build(Package()));
    HWND dialog = waitmain(*run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    std::string page = opened([&] { spacebar(GetDlgItem(dialog, IDC_LEGALLINK)); });
    ASSERT_EQ(temporaryfiles().size(), 1u);
    fs::path file = temporaryfiles()[0];
    EXPECT_EQ(page, quoted(file.string()));
    EXPECT_EQ(file.extension(), ".html");
    EXPECT_NE(readfile(file).find("<html"), std::string::npos);
    opened([&] { PostMessageA(dialog, WM_SYSCOMMAND, IDM_LEGAL, 0); });
    EXPECT_EQ(temporaryfiles().size(), 2u);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run->waitexit(), 1);
    EXPECT_TRUE(temporaryfiles().empty());

    // After a failed run: a member whose data is damaged.
    Package damaged;
    damaged.archive = archiveof(files({{"one.txt", "1"}}));
    damaged.damage = [](std::string& bytes, size_t archive) {
        bytes[bytes.find("PK\x03\x04", archive) + 2] = 9;
    };
    run = start(build(damaged, "damaged.exe"));
    dialog = waitmain(*run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    uitest::click(dialog, IDC_EXTRACT);
    HWND box = run->waitmessagebox();
    ASSERT_NE(box, nullptr);
    uitest::answermessagebox(box, IDOK);
    ASSERT_TRUE(waitfailedstate(dialog));
    opened([&] { clicklink(GetDlgItem(dialog, IDC_LEGALLINK)); });
    EXPECT_EQ(temporaryfiles().size(), 1u);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run->waitexit(), 1);
    EXPECT_TRUE(temporaryfiles().empty());
}
