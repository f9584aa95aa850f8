// The archiver search of Open-with with Wine's registry: the places in their order, values
// that do not count, and the cuts at the buffers' edges. Each test writes the values it needs
// into the prefix's registry and removes every key it may have made.
#include "startup/archiver.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

struct Place {
    HKEY root;
    std::string key;
    const char* value;
};
const Place kOrvandel = {HKEY_CURRENT_USER, "Software\\Orvandel\\General", "Directory"};
const Place kQuickZip = {HKEY_LOCAL_MACHINE, kAppPaths + "quickzip.exe", nullptr};
const Place kZipCentral = {HKEY_LOCAL_MACHINE, "Software\\ZipCentral", "Application Path"};
const Place kWinRar = {HKEY_LOCAL_MACHINE, kAppPaths + "winrar.exe", nullptr};

class ArchiverSearch : public ::testing::Test {
  protected:
    void SetUp() override { removeall(); }
    void TearDown() override { removeall(); }

    static void removeall() {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Orvandel");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\ZipCentral");
        for (const char* program : {"quickzip.exe", "winzip32.exe", "winrar.exe"})
            RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kAppPaths + program).c_str());
    }

    static void put(const Place& place, const std::string& text) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(place.root, place.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, place.value, 0, REG_SZ, (const BYTE*)text.c_str(),
                                 DWORD(text.size() + 1)),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // findarchiver's result, path and name with the given buffer sizes.
    static std::string find(std::string* name, int pathsize = kArchiverPath,
                            int namesize = kArchiverName, int* found = nullptr) {
        std::string path(pathsize + 1, '#'), shown(namesize + 1, '#');
        int result = findarchiver(&path[0], pathsize, &shown[0], namesize);
        EXPECT_EQ(path[pathsize], '#') << "path written past its buffer";
        EXPECT_EQ(shown[namesize], '#') << "name written past its buffer";
        if (found) *found = result;
        *name = shown.c_str();
        return path.c_str();
    }
};

TEST_F(ArchiverSearch, NoneInstalledLeavesPathAndNameEmpty) {
    std::string name;
    int found = -1;
    EXPECT_EQ(find(&name, kArchiverPath, kArchiverName, &found), "");
    EXPECT_EQ(found, 0);
    EXPECT_EQ(name, "");
}

TEST_F(ArchiverSearch, TheFirstPlaceInTheOrderWins) {
    put(kWinRar, "C:\\Programs\\WinRAR\\WinRAR.exe");
    std::string name;
    EXPECT_EQ(find(&name), "C:\\Programs\\WinRAR\\WinRAR.exe");
    EXPECT_EQ(name, "WinRAR");
    put(kZipCentral, "C:\\ZC\\zc.exe");
    EXPECT_EQ(find(&name), "C:\\ZC\\zc.exe");
    EXPECT_EQ(name, "ZipCentral");
    put(kOrvandel, "C:\\Orvandel");
    EXPECT_EQ(find(&name), "C:\\Orvandel");
    EXPECT_EQ(name, "Orvandel");
}

TEST_F(ArchiverSearch, AnEmptyValueDoesNotCount) {
    put(kQuickZip, "");
    put(kWinRar, "C:\\WinRAR.exe");
    std::string name;
    EXPECT_EQ(find(&name), "C:\\WinRAR.exe");
    EXPECT_EQ(name, "WinRAR");
}

TEST_F(ArchiverSearch, TheNameIsCutToItsBuffer) {
    put(kWinRar, "C:\\WinRAR.exe");
    std::string name;
    find(&name, kArchiverPath, 5);
    EXPECT_EQ(name, "WinR");
    find(&name, kArchiverPath, 1);
    EXPECT_EQ(name, "");
}

// A path that does not fit is passed over, never cut: a cut path would start another program.
TEST_F(ArchiverSearch, APathLongerThanItsBufferIsPassedOver) {
    put(kWinRar, "C:\\WinRAR.exe");
    std::string fits = "C:\\" + std::string(kArchiverPath - 4, 'q'); // 255 characters
    put(kQuickZip, fits);
    std::string name;
    EXPECT_EQ(find(&name), fits);
    EXPECT_EQ(name, "QuickZip");
    put(kQuickZip, fits + "q");
    EXPECT_EQ(find(&name), "C:\\WinRAR.exe");
    EXPECT_EQ(name, "WinRAR");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kWinRar.key.c_str());
    int found = -1;
    EXPECT_EQ(find(&name, kArchiverPath, kArchiverName, &found), "");
    EXPECT_EQ(found, 0);
}

} // namespace
