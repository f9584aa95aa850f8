// Folder macros with a made-up machine: every rule of the text and every limit of the folder.
//
// The lookups answer from a FakeMachine by the rule of platform/folders.h. A value that does
// not fit fills the caller's whole buffer with '#', as a system may leave junk there, so a
// caller that uses such a value or passes a wrong size shows it (under AddressSanitizer the
// folder itself is a heap block of exactly kFolderBuffer bytes).
#include "startup/foldermacros.h"

#include "common/pathlimits.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

using platform::RegistryRoot;

struct FakeMachine {
    std::string temp = "C:\\Temp\\";
    std::string windows = "C:\\Windows";
    std::string system = "C:\\Windows\\System32";
    std::string current = "D:\\Work";
    std::string module = "E:\\Media\\setup.exe";
    std::string unique = "C:\\Temp\\SFX1F.tmp";
    std::map<int, std::string> special = {
        {platform::kFolderFonts, "C:\\Windows\\Fonts"},
        {platform::kFolderDesktop, "C:\\Users\\Ann\\Desktop"},
        {platform::kFolderDocuments, "C:\\Users\\Ann\\Documents"},
    };
    std::map<std::string, std::string> registry; // by regentry(); the registry ignores case
    std::set<std::string> files;
    // What was asked.
    std::vector<std::string> uniqueasked;   // "folder|prefix"
    std::vector<std::string> registryasked; // regentry()
};

FakeMachine* machine;

std::string upper(std::string text) {
    for (char& c : text) c = (char)std::toupper((unsigned char)c);
    return text;
}

const char* rootname(RegistryRoot root) {
    return root == platform::kRegistryCurrentUser    ? "CU"
           : root == platform::kRegistryLocalMachine ? "LM"
                                                     : "U";
}

std::string regentry(RegistryRoot root, const std::string& key, const std::string& name) {
    return std::string(rootname(root)) + ":" + upper(key) + "|" + upper(name);
}

unsigned answer(const std::string& value, char* out, unsigned size) {
    if (value.size() >= size) {
        std::memset(out, '#', size);
        return (unsigned)value.size();
    }
    return platform::copyvalue(value.c_str(), out, size);
}

unsigned faketemp(char* out, unsigned size) {
    return answer(machine->temp, out, size);
}
unsigned fakewindows(char* out, unsigned size) {
    return answer(machine->windows, out, size);
}
unsigned fakesystem(char* out, unsigned size) {
    return answer(machine->system, out, size);
}
unsigned fakecurrent(char* out, unsigned size) {
    return answer(machine->current, out, size);
}
unsigned fakemodule(char* out, unsigned size) {
    unsigned length = answer(machine->module, out, size);
    return length < size ? length : 0; // ownmodulepath's rule
}
unsigned fakespecial(platform::SpecialFolder id, char* out, unsigned size) {
    return answer(machine->special[id], out, size);
}
unsigned fakeunique(const char* folder, const char* prefix, char* out, unsigned size) {
    machine->uniqueasked.push_back(std::string(folder) + "|" + prefix);
    return answer(machine->unique, out, size);
}
unsigned fakeregistry(RegistryRoot root, const char* key, const char* name, char* out,
                      unsigned size) {
    std::string entry = regentry(root, key, name);
    machine->registryasked.push_back(entry);
    auto found = machine->registry.find(entry);
    return answer(found == machine->registry.end() ? "" : found->second, out, size);
}
bool fakeexists(const char* path) {
    return machine->files.count(upper(path)) > 0;
}

const FolderLookups kFakeLookups = {faketemp,   fakewindows,  fakesystem, fakecurrent, fakespecial,
                                    fakeunique, fakeregistry, fakemodule, fakeexists};

const std::string kProgramFilesKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// A folder of exactly length characters, ending with '\' or not.
std::string folderoflength(size_t length, bool separator) {
    std::string folder = "C:\\" + std::string(length - 4, 'f');
    return folder + (separator ? "\\" : "g");
}

class FolderMacros : public ::testing::Test {
  protected:
    void SetUp() override {
        machine = &fake;
        setregistry(platform::kRegistryLocalMachine, kProgramFilesKey, "ProgramFilesDir",
                    "C:\\Program Files");
    }
    void TearDown() override { machine = nullptr; }

    void setregistry(RegistryRoot root, const std::string& key, const std::string& name,
                     const std::string& value) {
        fake.registry[regentry(root, key, name)] = value;
    }

    std::string expand(const std::string& folder) {
        EXPECT_LT(folder.size(), (size_t)kFolderBuffer);
        std::vector<char> buffer(kFolderBuffer);
        std::memcpy(buffer.data(), folder.c_str(), folder.size() + 1);
        expandfoldermacrosusing(buffer.data(), &kFakeLookups);
        EXPECT_NE(std::memchr(buffer.data(), 0, buffer.size()), nullptr);
        return buffer.data();
    }

    FakeMachine fake;
};

TEST_F(FolderMacros, TempInAnyCaseGetsItsValueWithTheTrailingSeparator) {
    EXPECT_EQ(expand("%temp%"), fake.temp);
    EXPECT_EQ(expand("%Temp%"), fake.temp);
    fake.temp = "C:\\Tmp";
    EXPECT_EQ(expand("%TEMP%"), "C:\\Tmp\\");
}

TEST_F(FolderMacros, ASeparatorBehindTheMacroIsNotDoubled) {
    EXPECT_EQ(expand("%TEMP%\\Setup"), "C:\\Temp\\Setup");
    EXPECT_EQ(expand("%temp%Setup"), "C:\\Temp\\Setup");
}

TEST_F(FolderMacros, TextAroundTheMacroKeepsItsCase) {
    EXPECT_EQ(expand("Pre-%TEMP%\\Mid\\post"), "Pre-C:\\Temp\\Mid\\post");
}

TEST_F(FolderMacros, EveryOccurrenceIsReplacedAndAShortenedValueStaysShort) {
    EXPECT_EQ(expand("%TEMP%;%TEMP%"), "C:\\Temp\\;C:\\Temp\\");
    // Once one occurrence stood before a '\', the later ones get the value without its '\'.
    EXPECT_EQ(expand("%TEMP%\\a;%temp%b"), "C:\\Temp\\a;C:\\Tempb");
}

TEST_F(FolderMacros, AngleBracketsAreTheTempFolder) {
    EXPECT_EQ(expand("><"), fake.temp);
    EXPECT_EQ(expand("><\\Setup"), "C:\\Temp\\Setup");
    EXPECT_EQ(expand("<>"), "<>");
}

TEST_F(FolderMacros, SourcePathIsTheFolderOfTheProgramsFile) {
    EXPECT_EQ(expand("%SRC-PATH%"), "E:\\Media\\");
    EXPECT_EQ(expand("%src-path%\\Data"), "E:\\Media\\Data");
    fake.module = "setup.exe";
    EXPECT_EQ(expand("%SRC-PATH%"), "\\");
    fake.module = "";
    EXPECT_EQ(expand("%SRC-PATH%"), fake.current);
}

TEST_F(FolderMacros, TempUniqueIsANewNameInTheTempFolderAndMayDoubleTheSeparator) {
    EXPECT_EQ(expand("%TEMP-UNIQUE%"), fake.unique + "\\");
    ASSERT_EQ(fake.uniqueasked.size(), 1u);
    EXPECT_EQ(fake.uniqueasked[0], fake.temp + "|SFX");
    EXPECT_EQ(expand("%temp-unique%\\x"), fake.unique + "\\\\x");
}

TEST_F(FolderMacros, TempUniqueWithoutTempFolderOrNameIsTheCurrentFolder) {
    fake.unique = "";
    EXPECT_EQ(expand("%TEMP-UNIQUE%\\x"), fake.current);
    fake.unique = "C:\\Temp\\SFX2.tmp";
    fake.temp = "";
    EXPECT_EQ(expand("%TEMP-UNIQUE%\\x"), fake.current);
    EXPECT_EQ(fake.uniqueasked.size(), 1u);
}

TEST_F(FolderMacros, EmptyAndDotAreTheCurrentFolder) {
    EXPECT_EQ(expand(""), fake.current);
    EXPECT_EQ(expand("."), fake.current);
    EXPECT_EQ(expand("./x"), "./x");
    EXPECT_EQ(expand(".."), "..");
    EXPECT_EQ(expand(" ."), " .");
}

TEST_F(FolderMacros, ACurrentFolderThatCannotBeHadLeavesTheFolderEmpty) {
    fake.current = folderoflength(kFolderBuffer - 1, false);
    EXPECT_EQ(expand("."), fake.current);
    fake.current = folderoflength(kFolderBuffer, false);
    EXPECT_EQ(expand("."), "");
    fake.current = "";
    fake.special[platform::kFolderFonts] = "";
    EXPECT_EQ(expand("%FONTS%"), "");
}

TEST_F(FolderMacros, WindowsAndSystemFolders) {
    EXPECT_EQ(expand("%WIN%"), "C:\\Windows\\");
    EXPECT_EQ(expand("%winsys%\\drivers"), "C:\\Windows\\System32\\drivers");
    fake.system = "";
    EXPECT_EQ(expand("%WINSYS%"), fake.current);
}

TEST_F(FolderMacros, OnlyTheFirstMacroOfTheTableIsExpanded) {
    EXPECT_EQ(expand("%WIN%%TEMP%"), "%WIN%C:\\Temp\\");
    EXPECT_EQ(expand("%WINSYS%%win%"), "%WINSYS%C:\\Windows\\");
}

TEST_F(FolderMacros, MacrosAreTestedInTheTablesOrder) {
    const std::vector<std::pair<std::string, std::string>> table = {
        {"%PROG%", ""},
        {"%SRC-PATH%", "E:\\Media\\"},
        {"%TEMP%", fake.temp},
        {"><", fake.temp},
        {"%TEMP-UNIQUE%", fake.unique + "\\"},
        {"%WIN%", fake.windows + "\\"},
        {"%FONTS%", fake.special[platform::kFolderFonts] + "\\"},
        {"%DESKTOP%", fake.special[platform::kFolderDesktop] + "\\"},
        {"%DOCS%", fake.special[platform::kFolderDocuments] + "\\"},
        {"%WINSYS%", fake.system + "\\"},
    };
    for (size_t first = 0; first < table.size(); first++) {
        for (size_t later = first + 1; later < table.size(); later++) {
            std::string folder = table[later].first + table[first].first;
            // %PROG% drops the text in front of it.
            std::string expected =
                first == 0 ? "C:\\Program Files" : table[later].first + table[first].second;
            EXPECT_EQ(expand(folder), expected) << folder;
        }
    }
    // The registry is tested last: a macro in a registry request is expanded instead.
    EXPECT_EQ(expand("HKCU\\%TEMP%\\V"), "HKCU\\C:\\Temp\\V");
}

TEST_F(FolderMacros, SpecialFoldersAskTheShellsIds) {
    EXPECT_EQ(expand("%FONTS%"), "C:\\Windows\\Fonts\\");
    EXPECT_EQ(expand("%Desktop%\\Tool"), "C:\\Users\\Ann\\Desktop\\Tool");
    EXPECT_EQ(expand("%docs%x"), "C:\\Users\\Ann\\Documents\\x");
}

TEST_F(FolderMacros, ASpecialFolderThatCannotBeHadMakesTheWholeFolderCurrent) {
    fake.special[platform::kFolderDesktop] = "";
    EXPECT_EQ(expand("X:\\%DESKTOP%\\Tool"), fake.current);
}

TEST_F(FolderMacros, WithoutMacroTheFolderKeepsItsText) {
    EXPECT_EQ(expand("C:\\Program Files\\MyApp"), "C:\\Program Files\\MyApp");
    EXPECT_EQ(expand("%UNKNOWN%\\x"), "%UNKNOWN%\\x");
    EXPECT_EQ(expand("%TEMP"), "%TEMP");
    std::string longest = folderoflength(kFolderBuffer - 1, false);
    EXPECT_EQ(expand(longest), longest);
    EXPECT_TRUE(fake.registryasked.empty());
}

TEST_F(FolderMacros, ProgAloneIsTheProgramFilesFolderWithoutSeparator) {
    EXPECT_EQ(expand("%PROG%"), "C:\\Program Files");
    ASSERT_EQ(fake.registryasked.size(), 1u);
    EXPECT_EQ(fake.registryasked[0],
              regentry(platform::kRegistryLocalMachine, kProgramFilesKey, "ProgramFilesDir"));
}

TEST_F(FolderMacros, ProgKeepsTheTextBehindTheFirstSeparatorAfterIt) {
    EXPECT_EQ(expand("%PROG%\\My App"), "C:\\Program Files\\My App");
    EXPECT_EQ(expand("Before\\%prog%\\My App"), "C:\\Program Files\\My App");
    EXPECT_EQ(expand("%PROG%Vendor\\My App\\Bin"), "C:\\Program Files\\My App\\Bin");
    EXPECT_EQ(expand("%PROG%\\"), "C:\\Program Files\\");
    EXPECT_EQ(expand("%PROG%Vendor"), "C:\\Program Files");
}

TEST_F(FolderMacros, ProgExpandsNoOtherMacroOfItsTail) {
    EXPECT_EQ(expand("%PROG%\\%TEMP%"), "C:\\Program Files\\%TEMP%");
}

TEST_F(FolderMacros, ProgWithoutItsRegistryValueIsTheCurrentFolder) {
    fake.registry.clear();
    EXPECT_EQ(expand("%PROG%\\My App"), fake.current);
}

TEST_F(FolderMacros, ProgramFilesValueNamingAProgramGivesItsFolder) {
    setregistry(platform::kRegistryLocalMachine, kProgramFilesKey, "ProgramFilesDir",
                "C:\\Apps\\launcher.exe");
    fake.files.insert("C:\\APPS\\LAUNCHER.EXE");
    EXPECT_EQ(expand("%PROG%\\Tool"), "C:\\Apps\\Tool");
}

TEST_F(FolderMacros, RegistryValueWithSuffix) {
    setregistry(platform::kRegistryLocalMachine, "Software\\Vendor", "InstallPath", "C:\\Vendor");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath|Data"), "C:\\Vendor\\Data");
    EXPECT_EQ(expand("hklm\\software\\vendor\\installpath|MyData"), "C:\\Vendor\\MyData");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath"), "C:\\Vendor");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath|"), "C:\\Vendor\\");
    setregistry(platform::kRegistryLocalMachine, "Software\\Vendor", "InstallPath", "C:\\Vendor\\");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath|Data"), "C:\\Vendor\\Data");
}

TEST_F(FolderMacros, RegistryValueIsTakenAsWritten) {
    setregistry(platform::kRegistryCurrentUser, "K", "V", "%TEMP%\\x");
    EXPECT_EQ(expand("HKCU\\K\\V"), "%TEMP%\\x");
}

TEST_F(FolderMacros, RegistryValueNamingAnExistingProgramGivesItsFolder) {
    setregistry(platform::kRegistryLocalMachine, "Software\\Vendor", "InstallPath",
                "C:\\App\\run.exe");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath|Data"), "C:\\App\\run.exe\\Data");
    fake.files.insert("C:\\APP\\RUN.EXE");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath|Data"), "C:\\App\\Data");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath"), "C:\\App");
    setregistry(platform::kRegistryLocalMachine, "Software\\Vendor", "InstallPath",
                "C:\\App\\RUN.EXE");
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\InstallPath"), "C:\\App");
}

TEST_F(FolderMacros, AProgramInADrivesRootKeepsTheRoot) {
    setregistry(platform::kRegistryCurrentUser, "K", "V", "C:\\setup.exe");
    fake.files.insert("C:\\SETUP.EXE");
    EXPECT_EQ(expand("HKCU\\K\\V"), "C:\\");
    EXPECT_EQ(expand("HKCU\\K\\V|Data"), "C:\\Data");
}

TEST_F(FolderMacros, OnlyAnExistingPathEndingInExeIsCut) {
    for (const char* value :
         {"run.exe", ".exe", "exe", "C:\\App\\run.ex", "C:\\App\\run.exe.txt"}) {
        setregistry(platform::kRegistryCurrentUser, "K", "V", value);
        fake.files.insert(upper(value));
        EXPECT_EQ(expand("HKCU\\K\\V"), value);
    }
}

TEST_F(FolderMacros, RootNames) {
    setregistry(platform::kRegistryCurrentUser, "K", "V", "C:\\CurrentUser");
    setregistry(platform::kRegistryLocalMachine, "K", "V", "C:\\LocalMachine");
    setregistry(platform::kRegistryUsers, "K", "V", "C:\\Users");
    const std::vector<std::pair<const char*, const char*>> roots = {
        {"HKCU", "C:\\CurrentUser"},
        {"hkcu", "C:\\CurrentUser"},
        {"HKEY_CURRENT_USER", "C:\\CurrentUser"},
        {"HKLM", "C:\\LocalMachine"},
        {"Hkey_Local_Machine", "C:\\LocalMachine"},
        {"HKU", "C:\\Users"},
        {"HKEY_USERS", "C:\\Users"},
        {"HKCR", "C:\\Users"},
        {"HKEY_CLASSES_ROOT", "C:\\Users"},
        {"HKLMX", "C:\\Users"},
        {"HKCU2", "C:\\Users"},
        {"HK", "C:\\Users"},
    };
    for (const auto& root : roots)
        EXPECT_EQ(expand(std::string(root.first) + "\\K\\V"), root.second) << root.first;
}

TEST_F(FolderMacros, KeyAndNameAreSplitAtTheFirstAndLastSeparator) {
    expand("HKCU\\A\\B\\C");
    expand("HKCU\\A\\");
    expand("HKCU\\K\\V|x|Data");
    expand("HKCU\\\\V");
    EXPECT_EQ(fake.registryasked,
              (std::vector<std::string>{regentry(platform::kRegistryCurrentUser, "A\\B", "C"),
                                        regentry(platform::kRegistryCurrentUser, "A", ""),
                                        regentry(platform::kRegistryCurrentUser, "K", "V|x"),
                                        regentry(platform::kRegistryCurrentUser, "", "V")}));
}

TEST_F(FolderMacros, SuffixIsTheTextBehindTheLastBar) {
    setregistry(platform::kRegistryCurrentUser, "K", "V|x", "C:\\Bar");
    EXPECT_EQ(expand("HKCU\\K\\V|x|Data"), "C:\\Bar\\Data");
}

TEST_F(FolderMacros, RequestWithFewerThanTwoSeparatorsIsTheCurrentFolder) {
    EXPECT_EQ(expand("HKLM\\InstallPath"), fake.current);
    EXPECT_EQ(expand("HKLM"), fake.current);
    EXPECT_EQ(expand("HKLM\\Key|Sub\\Dir"), fake.current);
    EXPECT_TRUE(fake.registryasked.empty());
}

TEST_F(FolderMacros, MissingRegistryValueIsTheCurrentFolder) {
    EXPECT_EQ(expand("HKLM\\Software\\Vendor\\Missing|Data"), fake.current);
    setregistry(platform::kRegistryCurrentUser, "K", "Empty", "");
    EXPECT_EQ(expand("HKCU\\K\\Empty"), fake.current);
}

// The limits: a value must fit the folder with its trailing '\', a result must fit with its
// NUL; a too long result of a substitution is the value alone.

TEST_F(FolderMacros, AValueFitsWithItsSeparatorOrIsRefused) {
    fake.temp = folderoflength(kFolderBuffer - 1, true);
    EXPECT_EQ(expand("%TEMP%"), fake.temp);
    fake.windows = folderoflength(kFolderBuffer - 2, false);
    EXPECT_EQ(expand("%WIN%"), fake.windows + "\\");
    fake.windows = folderoflength(kFolderBuffer - 1, false);
    EXPECT_EQ(expand("%WIN%"), fake.current);
    fake.temp = folderoflength(kFolderBuffer, true);
    EXPECT_EQ(expand("%TEMP%"), fake.current);
}

TEST_F(FolderMacros, TooLongShellAndUniqueValuesAreRefused) {
    fake.special[platform::kFolderDocuments] = folderoflength(kFolderBuffer, true);
    EXPECT_EQ(expand("%DOCS%"), fake.current);
    fake.unique = folderoflength(kFolderBuffer - 1, false);
    EXPECT_EQ(expand("%TEMP-UNIQUE%"), fake.current);
    fake.unique = folderoflength(kFolderBuffer - 2, false);
    EXPECT_EQ(expand("%TEMP-UNIQUE%"), fake.unique + "\\");
}

TEST_F(FolderMacros, AResultThatDoesNotFitIsTheValueAlone) {
    std::string tail(kFolderBuffer - 1 - fake.temp.size(), 't');
    EXPECT_EQ(expand("%TEMP%" + tail), fake.temp + tail);
    EXPECT_EQ(expand("%TEMP%" + tail + "u"), fake.temp);
    std::string head(kFolderBuffer - 1 - fake.temp.size(), 'h');
    EXPECT_EQ(expand(head + "%TEMP%"), head + fake.temp);
    EXPECT_EQ(expand(head + "h%TEMP%"), fake.temp);
}

TEST_F(FolderMacros, SourcePathOfAModulePathAtItsLimits) {
    // A module path may be longer than the folder while its folder fits.
    std::string folder = folderoflength(kFolderBuffer - 1, true);
    fake.module = folder + std::string(kLongPathBuffer - kFolderBuffer, 'm');
    ASSERT_EQ(fake.module.size(), (size_t)kLongPathBuffer - 1);
    EXPECT_EQ(expand("%SRC-PATH%"), folder);
    fake.module += "m";
    EXPECT_EQ(expand("%SRC-PATH%"), fake.current);
    fake.module = folderoflength(kFolderBuffer, true) + "a";
    EXPECT_EQ(expand("%SRC-PATH%"), fake.current);
}

TEST_F(FolderMacros, RegistryValueAtTheFoldersLimit) {
    std::string longest = folderoflength(kFolderBuffer - 1, false);
    setregistry(platform::kRegistryCurrentUser, "K", "V", longest);
    EXPECT_EQ(expand("HKCU\\K\\V"), longest);
    setregistry(platform::kRegistryCurrentUser, "K", "V", longest + "x");
    EXPECT_EQ(expand("HKCU\\K\\V"), fake.current);
}

TEST_F(FolderMacros, ASuffixThatDoesNotFitIsRefused) {
    std::string value = folderoflength(kFolderBuffer - 6, false);
    setregistry(platform::kRegistryCurrentUser, "K", "V", value);
    EXPECT_EQ(expand("HKCU\\K\\V|1234"), value + "\\1234");
    EXPECT_EQ(expand("HKCU\\K\\V|12345"), fake.current);
    setregistry(platform::kRegistryCurrentUser, "K", "V", folderoflength(kFolderBuffer - 1, false));
    EXPECT_EQ(expand("HKCU\\K\\V|"), fake.current);
}

TEST_F(FolderMacros, ProgWithATailAtTheFoldersLimit) {
    std::string programfiles = "C:\\Program Files\\";
    std::string tail(kFolderBuffer - 1 - programfiles.size(), 'p');
    EXPECT_EQ(expand("%PROG%\\" + tail), programfiles + tail);
    EXPECT_EQ(expand("%PROG%\\" + tail + "q"), fake.current);
    std::string longest = "%PROG%\\" + std::string(kFolderBuffer - 8, 'p');
    EXPECT_EQ(expand(longest), fake.current);
}

} // namespace
