// The real stub under Wine: start-up failures with their exact message boxes, the main
// dialog of a valid package, and the exit codes.
#include "tests/uitest/uitest.h"

#include "resources/resource.h"
#include "startup/textblock.h"
#include "stub/unpack.h"
#include "tools/package/optionsencoder.h"
#include "tools/package/packagewriter.h"
#include "tools/pe/branding.h"
#include "tools/pe/resourcetree.h"
#include "tools/text/texttable.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kDamaged[] = "This SFX is damaged, please try to download this file again.";
const char kBadSize[] = "Incorrect file size, please try to download this file again.";
const char kStartupCaption[] = "Error...";
// What the stub may weigh with everything in it, the LZMA decoder included.
const size_t kStubBudget = 64 * 1024;

std::string readfile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Paths compiled in are Linux paths; Wine shows the Linux root as drive Z:.
fs::path hostpath(const char* path) {
    return fs::path(std::string("Z:") + path);
}

std::string stubimage() {
    return readfile(hostpath(ORV_BINARY_DIR) / "stub" / "stub.exe");
}

// Enough of a PE32 image for the layout tests: sections, image base, base relocations,
// resources.
struct Pe {
    struct Section {
        std::string name;
        uint32_t vsize = 0, va = 0, rawsize = 0, rawoffset = 0;
    };
    std::string data;
    uint32_t imagebase = 0, relocrva = 0, relocsize = 0;
    std::vector<Section> sections;

    explicit Pe(std::string image) : data(std::move(image)) {
        if (data.size() < 1024 || data.compare(0, 2, "MZ") != 0) return;
        uint32_t pe = get(0x3C);
        if (pe + 24 + 96 + 6 * 8 > data.size()) return;
        size_t optional = pe + 24, table = optional + get(pe + 20, 2);
        imagebase = get(optional + 28);
        relocrva = get(optional + 96 + 5 * 8);
        relocsize = get(optional + 96 + 5 * 8 + 4);
        for (unsigned i = 0, n = get(pe + 6, 2); i < n && table + 40 * (i + 1) <= data.size();
             ++i) {
            size_t at = table + 40 * i;
            sections.push_back({data.substr(at, 8).c_str(), get(at + 8), get(at + 12), get(at + 16),
                                get(at + 20)});
        }
    }
    uint32_t get(size_t at, int bytes = 4) const {
        uint32_t value = 0;
        std::memcpy(&value, &data[at], bytes);
        return value;
    }
    bool valid() const { return !sections.empty(); }
    const Section& section(const char* name) const {
        for (const Section& s : sections)
            if (s.name == name) return s;
        static const Section none;
        ADD_FAILURE() << "no section " << name;
        return none;
    }
    // The section's bytes as mapped: raw data, zeros up to the virtual size.
    std::string bytes(const Section& s) const {
        std::string raw = data.substr(s.rawoffset, std::min(s.rawsize, s.vsize));
        raw.resize(s.vsize, '\0');
        return raw;
    }
    // The RVAs of the 32-bit (HIGHLOW) base relocations.
    std::vector<uint32_t> relocations() const {
        std::string table;
        for (const Section& s : sections)
            if (relocrva >= s.va && relocrva - s.va + relocsize <= s.vsize)
                table = bytes(s).substr(relocrva - s.va, relocsize);
        std::vector<uint32_t> found;
        for (size_t at = 0; at + 8 <= table.size();) {
            uint32_t page, size;
            std::memcpy(&page, &table[at], 4);
            std::memcpy(&size, &table[at + 4], 4);
            if (size < 8 || at + size > table.size()) break;
            for (size_t e = 8; e < size; e += 2) {
                uint16_t entry;
                std::memcpy(&entry, &table[at + e], 2);
                if (entry >> 12 == 3) found.push_back(page + (entry & 0xFFF));
            }
            at += size;
        }
        return found;
    }
    // Every resource of the tree, keyed "type/name" (numbers in decimal), read as the
    // builder reads them: data in the section, or the place of data held elsewhere.
    std::map<std::string, Resource> resources() const {
        const Section& rsrc = section(".rsrc");
        std::map<std::string, Resource> found;
        for (Resource& r : readresources(bytes(rsrc), rsrc.va))
            found[r.type.shown() + "/" + r.name.shown()] = std::move(r);
        return found;
    }
};

std::string smallarchive() {
    std::ostringstream out;
    ZipWriter zip(out, 0);
    ZipMember member;
    member.name = "readme.txt";
    member.data = "hello";
    member.mtime = 1700000000;
    zip.add(member);
    zip.finish();
    return out.str();
}

struct PackageParts {
    std::vector<std::string> texts = shippedtable("english").texts;
    PackageOptions options;
    std::string textblock() const { return encodetextblock(textblockbody(texts)); }
    std::string optionsblock() const { return encodeoptions(options); }
};

class StubRun : public ::testing::Test {
  protected:
    fs::path folder;

    void SetUp() override {
        folder = fs::temp_directory_path() /
                 (std::string("orv_stub_") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    std::string write(const std::string& bytes, const std::string& name = "setup.exe") {
        fs::path path = folder / name;
        std::ofstream(path, std::ios::binary).write(bytes.data(), (std::streamsize)bytes.size());
        return path.string();
    }
    std::string package(const PackageParts& parts, const std::string& name = "setup.exe") {
        return write(
            assemblepackage(stubimage(), parts.textblock(), parts.optionsblock(), smallarchive()),
            name);
    }

    // Runs a package that must fail at start-up: one error box with this text and caption,
    // then exit code 1 once it is answered.
    void expectstartuperror(const std::string& path, const std::string& text,
                            const std::string& caption, const std::vector<std::string>& env = {}) {
        uitest::Process run(path, "", env);
        ASSERT_TRUE(run.started());
        HWND box = run.waitmessagebox();
        ASSERT_NE(box, nullptr) << "no message box for " << text;
        uitest::MessageBoxContent shown = uitest::readmessagebox(box);
        EXPECT_EQ(shown.text, text);
        EXPECT_EQ(shown.caption, caption);
        EXPECT_EQ(shown.icon, (unsigned)MB_ICONERROR);
        uitest::answermessagebox(box, IDOK);
        EXPECT_EQ(run.waitexit(), 1);
    }
};

} // namespace

TEST(StubImage, IsASmallPe32GuiProgramWithoutItsOwnMarkers) {
    std::string image = stubimage();
    ASSERT_GT(image.size(), 1024u);
    EXPECT_LE(image.size(), (size_t)kStubSizeLimit) << "the text block could not be found";
    EXPECT_LE(image.size(), kStubBudget) << "the stub has outgrown 64 KiB";
    std::cout << "stub size: " << image.size() << " bytes\n";

    uint32_t pe = *reinterpret_cast<const uint32_t*>(&image[0x3C]);
    ASSERT_EQ(image.compare(pe, 4, std::string("PE\0\0", 4)), 0);
    EXPECT_EQ(*reinterpret_cast<const uint16_t*>(&image[pe + 4]), 0x014C);  // i386
    EXPECT_EQ(*reinterpret_cast<const uint16_t*>(&image[pe + 24]), 0x010B); // PE32
    EXPECT_EQ(*reinterpret_cast<const uint16_t*>(&image[pe + 24 + 68]), 2); // GUI

    for (const char* magic : {"{SLF}", "MPV2", "PK\x01\x02", "PK\x03\x04", "PK\x05\x06"})
        EXPECT_EQ(image.find(magic), std::string::npos) << magic;
}

// The sections of stub/stub.ld and no others: a section the layout does not name would
// cost its own padding in the file. The code section keeps no bytes in the file, and the
// base relocations lie in .boot.
TEST(StubImage, HasTheFiveSectionsOfItsLayout) {
    Pe image(stubimage());
    ASSERT_TRUE(image.valid());
    std::vector<std::string> names;
    for (const Pe::Section& s : image.sections) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{".text", ".boot", ".idata", ".bss", ".rsrc"}));
    EXPECT_EQ(image.section(".text").rawsize, 0u);
}

// The packed stub and the linked image it was made from, and the packed stream inflated.
struct PackedStub {
    Pe packed{stubimage()};
    Pe linked{readfile(hostpath(ORV_BINARY_DIR) / "stub" / "stub-linked.exe")};
    PackedCode header{};
    std::vector<uint8_t> unpacked;

    // Finds the header where the stream it announces ends at the base relocation table.
    bool inflate() {
        if (!packed.valid() || !linked.valid()) return false;
        const Pe::Section& bootsection = packed.section(".boot");
        std::string boot = packed.bytes(bootsection);
        uint32_t code = linked.imagebase + linked.section(".text").va;
        for (size_t at = 0; at + sizeof header <= boot.size(); at += 4) {
            std::memcpy(&header, &boot[at], sizeof header);
            size_t end = (at + sizeof header + header.streamlength + 3) / 4 * 4;
            if (header.linkedcode != code || end != packed.relocrva - bootsection.va) continue;
            unpacked.resize(size_t(header.codelength) + header.resourcelength);
            return inflatepacked(reinterpret_cast<const uint8_t*>(&boot[at + sizeof header]),
                                 header.streamlength, unpacked.data(),
                                 unpacked.size()) == unpacked.size();
        }
        return false;
    }
};

// The packed code inflates and restores to the linked code, moved as the loader would move
// it, and the loader itself is left no relocation to apply inside the zero-filled code.
TEST(StubImage, ItsPackedCodeRestoresToTheLinkedCode) {
    PackedStub stub;
    ASSERT_TRUE(stub.inflate()) << "no packed code in .boot, or it does not inflate";
    const Pe& packed = stub.packed;
    const Pe::Section& text = stub.linked.section(".text");
    std::string code = stub.linked.bytes(text);
    ASSERT_GT(code.size(), 4096u);
    const Pe::Section& bootsection = packed.section(".boot");

    const uint32_t kDelta = 0x00340000;
    std::string restored(code.size(), '\0');
    ASSERT_TRUE(restorecode(stub.unpacked.data(), stub.header.codelength,
                            reinterpret_cast<uint8_t*>(&restored[0]), restored.size(), kDelta));
    std::vector<uint32_t> moved = stub.linked.relocations();
    for (uint32_t rva : moved)
        if (rva >= text.va && rva < text.va + code.size()) {
            uint32_t value;
            std::memcpy(&value, &code[rva - text.va], 4);
            value += kDelta;
            std::memcpy(&code[rva - text.va], &value, 4);
        }
    EXPECT_TRUE(restored == code) << "the restored code differs from the linked code";

    // The restoring code's own addresses, such as that of the code section, are still the
    // loader's to move.
    size_t inboot = 0;
    for (uint32_t rva : packed.relocations()) {
        EXPECT_FALSE(rva >= text.va && rva < text.va + code.size()) << std::hex << rva;
        inboot += rva >= bootsection.va && rva < bootsection.va + bootsection.vsize;
    }
    EXPECT_GT(inboot, 0u);
}

// The resources only the running stub reads come out of the stream at the end of .bss,
// where their entries point; the package icon, the version and the manifest, which the
// shell and the loader read from the file, stay in it. Every resource keeps its bytes.
TEST(StubImage, ItsRuntimeResourcesComeOutOfTheStreamAndTheOthersStayInTheFile) {
    PackedStub stub;
    ASSERT_TRUE(stub.inflate()) << "no packed code in .boot, or it does not inflate";
    auto before = stub.linked.resources(), after = stub.packed.resources();
    ASSERT_EQ(after.size(), before.size());
    const Pe::Section& bss = stub.packed.section(".bss");
    uint32_t runtimestart = bss.va + bss.vsize - stub.header.resourcelength;
    std::vector<std::string> runtime;
    for (const auto& [name, resource] : after) {
        ASSERT_TRUE(before.count(name)) << name;
        const std::string& linked = before[name].data;
        if (!resource.heldat) {
            EXPECT_EQ(resource.data, linked) << name;
            continue;
        }
        runtime.push_back(name);
        ASSERT_GE(resource.heldat, runtimestart) << name;
        ASSERT_LE(resource.heldat - runtimestart + resource.heldsize, stub.header.resourcelength);
        const uint8_t* data =
            &stub.unpacked[stub.header.codelength + resource.heldat - runtimestart];
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), resource.heldsize), linked)
            << name;
    }
    // Cursor images and groups (1, 12), dialogs (5), the legal page (10), the password icon's
    // images (3; the package icon's seven come first).
    EXPECT_EQ(runtime,
              (std::vector<std::string>{"1/1", "10/1", "12/URLHAND", "3/8", "3/9", "5/DLGNEW",
                                        "5/EXTRACTING", "5/MAINDIALOG", "5/PASSWD"}));
    EXPECT_TRUE(after.count("14/MNICON") && after.count("16/1") && after.count("24/1"));
}

// What the size work must not give up: relocations for ASLR and the loader's hardening flags.
TEST(StubImage, KeepsItsRelocationsAndHardening) {
    std::string image = stubimage();
    ASSERT_GT(image.size(), 1024u);
    uint32_t pe = *reinterpret_cast<const uint32_t*>(&image[0x3C]);
    size_t optional = pe + 24;
    const uint16_t kRelocsStripped = 0x0001, kDynamicBase = 0x0040, kNxCompat = 0x0100;
    EXPECT_EQ(*reinterpret_cast<const uint16_t*>(&image[pe + 22]) & kRelocsStripped, 0);
    uint16_t dll = *reinterpret_cast<const uint16_t*>(&image[optional + 70]);
    EXPECT_EQ(dll & kDynamicBase, kDynamicBase);
    EXPECT_EQ(dll & kNxCompat, kNxCompat);
    // Data directory 5, the base relocations: PE32 directories start 96 bytes into the
    // optional header, 8 bytes each.
    const size_t kBaseRelocations = optional + 96 + 5 * 8;
    EXPECT_GT(*reinterpret_cast<const uint32_t*>(&image[kBaseRelocations + 4]), 0u);
}

TEST_F(StubRun, ValidPackageShowsTheMainDialogAndCancelEndsWithOne) {
    PackageParts parts;
    parts.options.title = "Orvandel Test Package";
    parts.options.folder = "C:\\Orvandel Test";
    uitest::Process run(package(parts));
    HWND dialog = run.waitwindow("#32770", "Orvandel Test Package");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(uitest::controltext(dialog, IDC_EXTRACT), "&Extract");
    EXPECT_EQ(uitest::controltext(dialog, IDC_CANCEL), "&Cancel");
    EXPECT_EQ(uitest::controltext(dialog, IDC_FOLDERLABEL), "E&xtract To:");
    EXPECT_EQ(uitest::controltext(dialog, IDC_FILESLABEL), "&Files to Extract:");
    // The builder's English table moves this group's access key to "M": "&E" is Extract's.
    EXPECT_EQ(uitest::controltext(dialog, IDC_MODEGROUP), "Existing Files - Overwrite &Mode");
    EXPECT_EQ(uitest::controltext(dialog, IDC_FOLDER), "C:\\Orvandel Test");
    EXPECT_TRUE(uitest::controlvisible(dialog, IDC_CANCEL));
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

// A 16-pixel icon file of one 32-bit image in one colour, opaque.
std::string oneiconfile(uint32_t bgra) {
    const uint32_t kSide = 16, kColour = kSide * kSide * 4, kMask = kSide * 4;
    std::string image(40 + kColour + kMask, '\0');
    const uint32_t header[] = {40, kSide, 2 * kSide, 1 | 32 << 16, 0, kColour + kMask};
    std::memcpy(&image[0], header, sizeof header);
    for (uint32_t at = 40; at < 40 + kColour; at += 4) std::memcpy(&image[at], &bgra, 4);
    const uint16_t directory[] = {0, 1, 1};
    const uint8_t size[] = {kSide, kSide, 0, 0};
    const uint16_t planes[] = {1, 32};
    const uint32_t place[] = {uint32_t(image.size()), 6 + 16};
    std::string file(reinterpret_cast<const char*>(directory), sizeof directory);
    file.append(reinterpret_cast<const char*>(size), sizeof size);
    file.append(reinterpret_cast<const char*>(planes), sizeof planes);
    file.append(reinterpret_cast<const char*>(place), sizeof place);
    return file + image;
}

// Branding rewrites the resource section and keeps the entries of the resources the packed
// code carries: the branded package still shows its dialog with its controls and the
// brand's icon in place of the package icon.
TEST_F(StubRun, ABrandedStubKeepsItsDialogsAndShowsTheBrandsIcon) {
    Branding brand;
    brand.icon = write(oneiconfile(0xFF2040C0u), "brand.ico");
    brand.productname = "Branded Product";
    std::string stub = brandstub(stubimage(), "stub.exe", brand);
    BrandingInfo info = readbranding(stub);
    ASSERT_EQ(info.icon.size(), 1u);
    EXPECT_EQ(info.icon[0].width, 16u);
    PackageParts parts;
    parts.options.title = "Branded Package";
    uitest::Process run(
        write(assemblepackage(stub, parts.textblock(), parts.optionsblock(), smallarchive())));
    HWND dialog = run.waitwindow("#32770", "Branded Package");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(uitest::controltext(dialog, IDC_EXTRACT), "&Extract");
    EXPECT_EQ(uitest::listitems(dialog, IDC_FILELIST_DISPLAY),
              std::vector<std::string>{"readme.txt"});
    EXPECT_NE(SendDlgItemMessageA(dialog, IDC_PACKAGEICON, STM_GETICON, 0, 0), 0);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

namespace {

// What Windows reads from a stub's application manifest: an activation context is made from
// it, as the loader makes one at start-up, and asked for each declaration.
struct ManifestReading {
    bool made = false;
    bool commoncontrols6 = false; // the dependency on common controls 6 was resolved
    std::wstring dpiaware, dpiawareness, longpathaware;
    ACTCTX_REQUESTED_RUN_LEVEL level = ACTCTX_RUN_LEVEL_UNSPECIFIED;
};

std::wstring setting(HANDLE context, const wchar_t* space, const wchar_t* name) {
    wchar_t value[64] = L"";
    SIZE_T written = 0;
    if (!QueryActCtxSettingsW(0, context, space, name, value, std::size(value), &written))
        return L"(none)";
    return value;
}

// QueryActCtxW's record of one kind about item (null: the context itself), followed by the
// strings it points to; empty when there is none.
std::vector<char> queryactctx(HANDLE context, DWORD* item, ULONG kind) {
    std::vector<char> buffer(4096);
    if (!QueryActCtxW(0, context, item, kind, buffer.data(), buffer.size(), nullptr)) return {};
    return buffer;
}

bool dependsoncommoncontrols6(HANDLE context) {
    using Detail = ACTIVATION_CONTEXT_DETAILED_INFORMATION;
    using Assembly = ACTIVATION_CONTEXT_ASSEMBLY_DETAILED_INFORMATION;
    std::vector<char> detail = queryactctx(context, nullptr, ActivationContextDetailedInformation);
    DWORD count = detail.empty() ? 0 : reinterpret_cast<Detail*>(detail.data())->ulAssemblyCount;
    for (DWORD i = 1; i <= count; ++i) {
        std::vector<char> assembly =
            queryactctx(context, &i, AssemblyDetailedInformationInActivationContext);
        if (assembly.empty()) continue;
        std::wstring identity =
            reinterpret_cast<Assembly*>(assembly.data())->lpAssemblyEncodedAssemblyIdentity;
        if (identity.rfind(L"Microsoft.Windows.Common-Controls,", 0) == 0 &&
            identity.find(L"version=\"6.") != std::wstring::npos)
            return true;
    }
    return false;
}

ManifestReading readmanifest(const std::string& manifestfile) {
    const wchar_t k2005[] = L"http://schemas.microsoft.com/SMI/2005/WindowsSettings";
    const wchar_t k2016[] = L"http://schemas.microsoft.com/SMI/2016/WindowsSettings";
    ManifestReading reading;
    ACTCTXA request = {};
    request.cbSize = sizeof request;
    request.lpSource = manifestfile.c_str();
    HANDLE context = CreateActCtxA(&request);
    if (context == INVALID_HANDLE_VALUE) return reading;
    reading.made = true;
    reading.commoncontrols6 = dependsoncommoncontrols6(context);
    reading.dpiaware = setting(context, k2005, L"dpiAware");
    reading.dpiawareness = setting(context, k2016, L"dpiAwareness");
    reading.longpathaware = setting(context, k2016, L"longPathAware");
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION run = {};
    if (QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &run, sizeof run,
                     nullptr))
        reading.level = run.RunLevel;
    ReleaseActCtx(context);
    return reading;
}

} // namespace

// The stub's manifest, read from its resources by the builder's reader, asks for common
// controls 6 (visual styles), per-monitor DPI awareness (version 2 where Windows has it, else
// version 1 from Windows 8.1 on, the system DPI before it), long paths and its execution
// level; a stub branded with another level keeps all of it.
TEST_F(StubRun, ItsManifestDeclaresStylesDpiLongPathsAndALevelThatBrandingChanges) {
    const struct {
        const char* brandedlevel; // empty: the stub as built
        ACTCTX_REQUESTED_RUN_LEVEL level;
    } cases[] = {
        {"", ACTCTX_RUN_LEVEL_AS_INVOKER},
        {"requireAdministrator", ACTCTX_RUN_LEVEL_REQUIRE_ADMIN},
        {"highestAvailable", ACTCTX_RUN_LEVEL_HIGHEST_AVAILABLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(*c.brandedlevel ? c.brandedlevel : "as built");
        Branding brand;
        brand.executionlevel = c.brandedlevel;
        brand.productname = *c.brandedlevel ? "Branded Product" : "";
        std::string stub = brand.any() ? brandstub(stubimage(), "stub.exe", brand) : stubimage();
        auto resources = Pe(stub).resources();
        ASSERT_TRUE(resources.count("24/1")) << "no manifest (RT_MANIFEST 1)";
        ManifestReading read = readmanifest(write(resources["24/1"].data, "stub.manifest"));
        ASSERT_TRUE(read.made) << "Windows refuses the manifest: " << GetLastError();
        EXPECT_TRUE(read.commoncontrols6);
        EXPECT_EQ(read.dpiaware, L"true/pm");
        EXPECT_EQ(read.dpiawareness, L"PerMonitorV2,PerMonitor");
        EXPECT_EQ(read.longpathaware, L"true");
        EXPECT_EQ(read.level, c.level);
    }
}

TEST_F(StubRun, TranslatedTextsAndEmptyTitle) {
    PackageParts parts;
    parts.texts[kTextCancelButton] = "&Abbrechen";
    parts.texts[kTextDefaultTitle] = "Selbstentpackendes Archiv";
    uitest::Process run(package(parts));
    HWND dialog = run.waitwindow("#32770", "Selbstentpackendes Archiv");
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(uitest::controltext(dialog, IDC_CANCEL), "&Abbrechen");
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(run.waitexit(), 1);
}

TEST_F(StubRun, TextBlockFailures) {
    PackageParts parts;
    std::string stub = stubimage();
    std::string good = parts.textblock();
    std::string head = packagehead(stub, good, parts.optionsblock());
    size_t t = head.size() - parts.optionsblock().size() - good.size();

    // The stub alone, and the stub with zeros behind it where the marker is looked for.
    ASSERT_LT(stub.size(), (size_t)kStubSizeLimit);
    expectstartuperror(write(stub, "bare.exe"), kBadSize, kStartupCaption);
    std::string zeros = stub + std::string(kMarkerSearchBuffer, '\0');
    expectstartuperror(write(zeros, "nomarker.exe"), kBadSize, kStartupCaption);
    // A marker one byte past the searched window is not found.
    std::string late = stub + std::string(kMarkerLastOffset + 1 - stub.size(), '\0') + good +
                       parts.optionsblock() + smallarchive();
    expectstartuperror(write(late, "late.exe"), kBadSize, kStartupCaption);

    std::string badsum = head;
    badsum[t + 9] ^= 0x01;
    expectstartuperror(write(badsum + smallarchive(), "badsum.exe"), kDamaged, kStartupCaption);

    std::string shortsize = head;
    shortsize[t + 5] = 12;
    shortsize[t + 6] = shortsize[t + 7] = shortsize[t + 8] = 0;
    expectstartuperror(write(shortsize, "short.exe"), kBadSize, kStartupCaption);

    std::string hugesize = head;
    hugesize[t + 7] = 0x10; // S past the end of the file
    expectstartuperror(write(hugesize, "huge.exe"), kBadSize, kStartupCaption);

    // 66th text without its NUL inside the block (checksum made to match).
    std::string body = textblockbody(parts.texts);
    body.back() = 'x';
    std::string unterminated = packagehead(stub, encodetextblock(body), parts.optionsblock());
    expectstartuperror(write(unterminated + smallarchive(), "unterminated.exe"), kBadSize,
                       kStartupCaption);
}

TEST_F(StubRun, TestBuildChecksumException) {
    PackageParts parts;
    parts.options.title = "Checksum Zero";
    std::string stub = stubimage();
    std::string block = parts.textblock();
    for (int i = 9; i < 13; i++) block[i] = 0; // stored checksum 0, body nonzero
    std::string bytes = packagehead(stub, block, parts.optionsblock()) + smallarchive();

    uitest::Process test(write(bytes, "~TEST.EXE"));
    HWND dialog = test.waitwindow("#32770", "Checksum Zero");
    ASSERT_NE(dialog, nullptr);
    uitest::click(dialog, IDC_CANCEL);
    EXPECT_EQ(test.waitexit(), 1);

    expectstartuperror(write(bytes, "setup.exe"), kDamaged, kStartupCaption);
}

// A block of another version is named as such; every other damage of the options block, and
// a block with no ZIP archive behind it, is shown as an unknown archive type under the
// package's title, or under the title of a package without one when the block fails before
// its title.
TEST_F(StubRun, OptionsBlockFailures) {
    PackageParts parts;
    parts.options.title = "Options Test";
    const std::string stub = stubimage();
    const std::string textblock = parts.textblock();
    const std::string options = parts.optionsblock();
    auto changed = [&](size_t at, char value) {
        std::string block = options;
        block[at] = value;
        return packagehead(stub, textblock, block) + smallarchive();
    };
    // The block claims more bytes than the file has.
    std::string cut = packagehead(stub, textblock, options);
    cut.resize(cut.size() - 4);
    // The folder is empty, so its length is followed by the command's.
    const size_t commandlength = kOptionsHeaderSize + 1 + parts.options.title.size() + 1;
    const std::string unknown = "Unknown compression type (currently only ZIP 2.0 is supported)";
    const std::string untitled = "Self-Extracting Archive";
    const std::string title = "Options Test";
    const struct {
        const char* name;
        std::string package, text, caption;
    } cases[] = {
        {"magic.exe", changed(kOptionsMagicOffset, 'X'), unknown, untitled},
        {"v2.exe", changed(kOptionsVersionOffset, 2),
         "Incorrect MPV version for this stub [internal error].  Try to download this file again.",
         "Error.."},
        {"7z.exe", packagehead(stub, textblock, options) + "7z-archive", unknown, title},
        {"over.exe", changed(commandlength, 0x7F), unknown, title}, // the command runs past L
        {"cut.exe", cut, unknown, untitled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        expectstartuperror(write(c.package, c.name), c.text, c.caption);
    }
}

// Wine refuses a DLL to one program when its per-program overrides disable it.
class DisabledDllForProgram {
  public:
    DisabledDllForProgram(const std::string& program, const char* dll)
        : key_("Software\\Wine\\AppDefaults\\" + program + "\\DllOverrides") {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, dll, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
            RegCloseKey(key);
        }
    }
    ~DisabledDllForProgram() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }

  private:
    std::string key_;
};

TEST_F(StubRun, MissingRichEditLibrary) {
    PackageParts parts;
    DisabledDllForProgram norichedit("norichedit.exe", "riched32");
    expectstartuperror(package(parts, "norichedit.exe"),
                       "Fatal Internal Error\r\nAn unknown error has occured", "Error..");
}
