// Folder macros with the system's own lookups (run under Wine): each result is compared with
// what this test obtains from the Win32 API itself, and registry requests read values that the
// test writes into the prefix's registry and removes again.
#include "startup/foldermacros.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

const char kTestParent[] = "Software\\OrvandelSfxTests";
const char kTestKey[] = "Software\\OrvandelSfxTests\\FolderMacros";
const char kMachineRequest[] = "HKLM\\Software\\OrvandelSfxTests\\FolderMacros\\";
const char kUserRequest[] = "HKEY_CURRENT_USER\\Software\\OrvandelSfxTests\\FolderMacros\\";

std::string expand(const std::string& folder) {
    EXPECT_LT(folder.size(), (size_t)kFolderBuffer);
    char buffer[kFolderBuffer];
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    expandfoldermacros(buffer);
    return buffer;
}

std::string withseparator(std::string folder) {
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    return folder;
}

std::string tempfolder() {
    char path[MAX_PATH + 1];
    return GetTempPathA(sizeof path, path) ? path : "";
}

std::string currentfolder() {
    char path[MAX_PATH];
    return GetCurrentDirectoryA(sizeof path, path) ? path : "";
}

// The shell folder with its '\' (empty where the shell has none).
std::string shellfolder(int id) {
    char path[MAX_PATH];
    return SHGetSpecialFolderPathA(nullptr, path, id, FALSE) ? withseparator(path) : "";
}

std::string readstring(HKEY root, const char* key, const char* name) {
    char value[MAX_PATH] = "";
    DWORD size = sizeof value - 1;
    HKEY opened;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return "";
    RegQueryValueExA(opened, name, nullptr, nullptr, (BYTE*)value, &size);
    RegCloseKey(opened);
    return value;
}

bool endsnocase(const std::string& text, const std::string& ending) {
    return text.size() >= ending.size() &&
           lstrcmpiA(text.c_str() + text.size() - ending.size(), ending.c_str()) == 0;
}

class FolderMacrosOnWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        removekeys();
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &machinekey, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &userkey, nullptr),
                  ERROR_SUCCESS);
        program = tempfolder() + "orvandel-foldermacros.exe";
    }

    void TearDown() override {
        if (machinekey) RegCloseKey(machinekey);
        if (userkey) RegCloseKey(userkey);
        removekeys();
        DeleteFileA(program.c_str());
    }

    static void removekeys() {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            RegDeleteKeyA(root, kTestKey);
            RegDeleteKeyA(root, kTestParent);
        }
    }

    static void setvalue(HKEY key, const char* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE*)data, size), ERROR_SUCCESS);
    }

    static void setstring(HKEY key, const char* name, const std::string& text) {
        setvalue(key, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
    }

    void makeprogram() {
        HANDLE file = CreateFileA(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }

    HKEY machinekey = nullptr;
    HKEY userkey = nullptr;
    std::string program;
};

TEST_F(FolderMacrosOnWindows, TempWithAFolderBehind) {
    ASSERT_FALSE(tempfolder().empty());
    EXPECT_EQ(expand("%temp%\\Setup"), tempfolder() + "Setup");
    EXPECT_EQ(expand("><"), tempfolder());
}

TEST_F(FolderMacrosOnWindows, ProgramFilesFromTheRegistry) {
    std::string programfiles = readstring(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    ASSERT_FALSE(programfiles.empty());
    EXPECT_EQ(expand("%PROG%\\My App"), withseparator(programfiles) + "My App");
    EXPECT_EQ(expand("%PROG%"), programfiles);
}

TEST_F(FolderMacrosOnWindows, RegistryValueNamingAProgramGivesItsFolder) {
    setstring(machinekey, "InstallPath", program);
    std::string request = std::string(kMachineRequest) + "InstallPath|Data";
    EXPECT_EQ(expand(request), program + "\\Data");
    makeprogram();
    EXPECT_EQ(expand(request), tempfolder() + "Data");
}

TEST_F(FolderMacrosOnWindows, EveryRootNameReachesItsRoot) {
    setstring(machinekey, "Where", "C:\\Machine");
    setstring(userkey, "Where", "C:\\User");
    EXPECT_EQ(expand(std::string(kMachineRequest) + "Where"), "C:\\Machine");
    EXPECT_EQ(expand(std::string(kUserRequest) + "Where"), "C:\\User");
    EXPECT_EQ(expand("HKCU\\Software\\OrvandelSfxTests\\FolderMacros\\Where"), "C:\\User");
    EXPECT_EQ(expand("HKU\\Software\\OrvandelSfxTests\\FolderMacros\\Where"), currentfolder());
}

TEST_F(FolderMacrosOnWindows, ValuesAreTextWhateverTheirType) {
    setvalue(userkey, "Expand", REG_EXPAND_SZ, "%TEMP%\\x", sizeof "%TEMP%\\x");
    EXPECT_EQ(expand(std::string(kUserRequest) + "Expand"), "%TEMP%\\x");
    DWORD letters = 0x00434241; // "ABC" and a NUL in memory order
    setvalue(userkey, "Number", REG_DWORD, &letters, sizeof letters);
    EXPECT_EQ(expand(std::string(kUserRequest) + "Number"), "ABC");
    setvalue(userkey, "NoNul", REG_BINARY, "C:\\Bin", 6);
    EXPECT_EQ(expand(std::string(kUserRequest) + "NoNul"), "C:\\Bin");
}

TEST_F(FolderMacrosOnWindows, RegistryValueAtTheFoldersLimit) {
    std::string longest = "C:\\" + std::string(kFolderBuffer - 4, 'l');
    setstring(userkey, "Longest", longest);
    setstring(userkey, "TooLong", longest + "x");
    std::string unterminated = longest + "n";
    setvalue(userkey, "TooLongNoNul", REG_BINARY, unterminated.c_str(), unterminated.size());
    EXPECT_EQ(expand(std::string(kUserRequest) + "Longest"), longest);
    EXPECT_EQ(expand(std::string(kUserRequest) + "TooLong"), currentfolder());
    EXPECT_EQ(expand(std::string(kUserRequest) + "TooLongNoNul"), currentfolder());
}

TEST_F(FolderMacrosOnWindows, MissingValueOrShortRequestIsTheCurrentFolder) {
    EXPECT_EQ(expand(std::string(kUserRequest) + "Missing|Data"), currentfolder());
    EXPECT_EQ(expand("HKLM\\InstallPath"), currentfolder());
    EXPECT_EQ(expand("."), currentfolder());
    EXPECT_EQ(expand(""), currentfolder());
}

TEST_F(FolderMacrosOnWindows, OnlyTheFirstMacroIsExpanded) {
    EXPECT_EQ(expand("%WIN%%TEMP%"), "%WIN%" + tempfolder());
    EXPECT_EQ(expand("./x"), "./x");
}

TEST_F(FolderMacrosOnWindows, WindowsAndSystemFolders) {
    char path[MAX_PATH];
    ASSERT_NE(GetWindowsDirectoryA(path, sizeof path), 0u);
    EXPECT_EQ(expand("%WIN%"), withseparator(path));
    ASSERT_NE(GetSystemDirectoryA(path, sizeof path), 0u);
    EXPECT_EQ(expand("%WINSYS%"), withseparator(path));
}

TEST_F(FolderMacrosOnWindows, ShellFolders) {
    for (const auto& macro : {std::make_pair("%FONTS%", CSIDL_FONTS),
                              std::make_pair("%DESKTOP%", CSIDL_DESKTOPDIRECTORY),
                              std::make_pair("%DOCS%", CSIDL_PERSONAL)}) {
        std::string folder = shellfolder(macro.second);
        ASSERT_FALSE(folder.empty()) << macro.first;
        EXPECT_EQ(expand(macro.first), folder);
    }
}

TEST_F(FolderMacrosOnWindows, SourcePathIsThisProgramsFolder) {
    char path[MAX_PATH];
    ASSERT_NE(GetModuleFileNameA(nullptr, path, sizeof path), 0u);
    *(std::strrchr(path, '\\') + 1) = 0;
    EXPECT_EQ(expand("%SRC-PATH%"), path);
}

TEST_F(FolderMacrosOnWindows, TempUniqueIsAFreeNameInTheTempFolder) {
    std::string unique = expand("%TEMP-UNIQUE%");
    std::string prefix = tempfolder() + "SFX";
    ASSERT_GT(unique.size(), prefix.size());
    EXPECT_EQ(lstrcmpiA(unique.substr(0, prefix.size()).c_str(), prefix.c_str()), 0) << unique;
    EXPECT_TRUE(endsnocase(unique, ".tmp\\")) << unique;
    std::string file = unique.substr(0, unique.size() - 1);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES) << file;
}

} // namespace
