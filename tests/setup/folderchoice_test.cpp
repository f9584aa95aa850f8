// The main dialog's "..." button in the real stub under Wine: the system's folder browser with
// the package's texts and its New... button, and the new-folder dialog behind it. Cancel
// anywhere leaves the folder field as it was; nothing is created before Extract.
#include "tests/support/setuprun.h"

namespace {

using namespace setuprun;

class FolderChoice : public SetupRun {};

} // namespace

TEST_F(FolderChoice, TheBrowserAndTheNewFolderDialogFillTheFolderField) {
    fs::path existing = folder / "pick";
    fs::create_directories(existing);
    Package package;
    package.options.folder = existing.string();
    uitest::Process run(build(package));
    HWND dialog = waitmain(run, "Setup Test");
    ASSERT_NE(dialog, nullptr);
    auto browse = [&] {
        uitest::click(dialog, IDC_BROWSE);
        return waitbrowser(run, dialog);
    };
    auto field = [&] { return uitest::controltext(dialog, IDC_FOLDER); };

    HWND browser = browse();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(uitest::windowtext(browser), "Setup Test");
    EXPECT_EQ(uitest::controltext(browser, IDOK), text(package, kTextOkButton));
    EXPECT_EQ(uitest::controltext(browser, IDCANCEL), text(package, kTextCancelButton));
    EXPECT_EQ(uitest::controltext(browser, IDC_BROWSER_NEWFOLDER),
              text(package, kTextNewFolderButton));
    uitest::click(browser, IDCANCEL);
    ASSERT_TRUE(eventually([&] { return !IsWindow(browser); }));
    EXPECT_EQ(field(), existing.string());

    // OK takes the selection, which starts at the field's folder, without a trailing '\'.
    uitest::typetext(dialog, IDC_FOLDER, existing.string() + "\\");
    browser = browse();
    ASSERT_NE(browser, nullptr);
    uitest::click(browser, IDOK);
    EXPECT_TRUE(eventually([&] { return field() == existing.string(); })) << field();

    // New...: a name below the selection, a path that holds it, and Cancel.
    struct Case {
        std::string typed, expected;
        int button;
    };
    const Case cases[] = {
        {"Fresh", existing.string() + "\\Fresh\\", IDOK},
        {existing.string() + "\\Deep\\Er", existing.string() + "\\Deep\\Er\\", IDOK},
        {"Never", existing.string(), IDC_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        uitest::typetext(dialog, IDC_FOLDER, existing.string());
        browser = browse();
        ASSERT_NE(browser, nullptr);
        uitest::click(browser, IDC_BROWSER_NEWFOLDER);
        HWND newfolder = run.waitwindow("#32770", text(package, kTextNewFolderCaption).c_str());
        ASSERT_NE(newfolder, nullptr);
        EXPECT_EQ(uitest::controltext(newfolder, IDC_NEWFOLDER_CURRENT), existing.string() + "\\");
        EXPECT_EQ(uitest::controltext(newfolder, IDC_NEWFOLDER_CURRENTLABEL),
                  text(package, kTextCurrentFolderLabel));
        uitest::typetext(newfolder, IDC_NEWFOLDER_NAME, c.typed);
        uitest::click(newfolder, c.button);
        EXPECT_TRUE(eventually([&] { return !IsWindow(newfolder) && field() == c.expected; }))
            << field();
    }
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
    EXPECT_FALSE(fs::exists(existing / "Fresh"));
    EXPECT_FALSE(fs::exists(existing / "Deep"));
}
