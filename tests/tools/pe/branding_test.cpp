// Tests of branding: the stub's icon, version strings and execution level written by the
// builder and read back by its own reader and by independent tools (wrestool from icoutils,
// 7-Zip's PE reader); refusals of bad icons, values and damaged stubs; branded packages that
// still sign, verify, test and rebuild to the same bytes.
//
// The stub used is a stand-in linked with the stub's own resources (tests/resourcestub.c),
// which has the stub's section layout: the resource section followed by .reloc.
#include "tests/support/orvsfxcli.h"

#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/pe/branding.h"
#include "tools/pe/peimage.h"
#include "tools/pe/resourcetree.h"
#include "tools/pe/versioninfo.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <zlib.h>

namespace {

using namespace toolstest::cli;
using toolstest::TempFolder;

// A 16x16 32-bit bitmap image: header (height doubled for the mask), pixels, AND mask.
std::string bitmapimage(unsigned size) {
    std::string image;
    for (std::uint32_t field : {40u, size, 2 * size}) put32(image, field);
    put16(image, 1);
    put16(image, 32);
    image.append(24, '\0'); // no compression, sizes, resolution, palette
    for (unsigned i = 0; i < size * size; ++i) image += {10, 20, 30, '\xFF'};
    return image + std::string((size + 31) / 32 * 4 * size, '\0');
}

void putbig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

// A PNG of size x size RGBA pixels, compressed with zlib.
std::string pngimage(unsigned size) {
    auto chunk = [](const std::string& type, const std::string& data) {
        std::string out;
        putbig32(out, static_cast<std::uint32_t>(data.size()));
        std::string body = type + data;
        putbig32(out, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
        return out.insert(4, body);
    };
    std::string header;
    putbig32(header, size);
    putbig32(header, size);
    header += {8, 6, 0, 0, 0}; // 8 bits per channel, RGBA
    std::string rows;
    for (unsigned y = 0; y < size; ++y) {
        rows.push_back('\0'); // no filter
        for (unsigned x = 0; x < size; ++x) rows += {'\xC8', 100, 50, '\xFF'};
    }
    uLongf packed = compressBound(rows.size());
    std::string idat(packed, '\0');
    compress(reinterpret_cast<Bytef*>(&idat[0]), &packed,
             reinterpret_cast<const Bytef*>(rows.data()), rows.size());
    idat.resize(packed);
    return "\x89PNG\r\n\x1a\n" + chunk("IHDR", header) + chunk("IDAT", idat) + chunk("IEND", "");
}

// An icon file of the images, each with its width.
std::string iconfile(const std::vector<std::pair<unsigned, std::string>>& images) {
    std::string icon, data;
    put16(icon, 0);
    put16(icon, 1);
    put16(icon, static_cast<unsigned>(images.size()));
    for (const auto& [width, image] : images) {
        icon += {static_cast<char>(width & 0xFF), static_cast<char>(width & 0xFF), 0, 0};
        put16(icon, 1);
        put16(icon, 32);
        put32(icon, static_cast<std::uint32_t>(image.size()));
        put32(icon, static_cast<std::uint32_t>(kIconHeaderSize + kIconEntrySize * images.size() +
                                               data.size()));
        data += image;
    }
    return icon + data;
}

// An icon file of one 256x256 image of the given bytes (a PNG signature and filler).
std::string oneimageicon(std::size_t size) {
    return iconfile({{256, "\x89PNG\r\n\x1a\n" + std::string(size - 8, 'p')}});
}

class Branded : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef ORV_RESOURCE_STUB
        GTEST_SKIP() << "the Win32 cross tools that link the stand-in stub are not installed";
#else
        stub = toolstest::readbytes(ORV_RESOURCE_STUB);
        ASSERT_GT(stub.size(), 4096u);
        toolstest::writebytes(temp / "stub.exe", stub);
        toolstest::writebytes(temp / "src/readme.txt", "Read me first.\n");
        toolstest::writebytes(temp / "src/data.bin", std::string(3000, 'd'));
        toolstest::writebytes(temp / "brand.ico",
                              iconfile({{16, bitmapimage(16)}, {256, pngimage(256)}}));
#endif
    }
    Outcome build(const std::string& out, const std::string& args) {
        return orvsfx(temp, "build --stub " + quote(temp / "stub.exe") + " -o " +
                                quote(temp / out) + " " + args + " " + quote(temp / "src"));
    }
    std::vector<IconImage> icon(const std::string& name) {
        return parseiconfile(toolstest::readbytes(temp / name), name);
    }
    std::string bytes(const std::string& name) {
        return toolstest::readbytes(temp / name);
    }

    TempFolder temp;
    std::string stub;
};

const char kAllFlags[] = "--product-name 'Demo Prodüct' --company 'ACME Ltd' --file-version "
                         "2.3.4.5 --file-description 'Demo setup' --copyright '© 2026 ACME' "
                         "--execution-level requireAdministrator";

// --- the unbranded stub ---

TEST_F(Branded, TheStubCarriesItsIconSizesAndAManifestWithItsDeclarations) {
    BrandingInfo info = readbranding(stub);
    EXPECT_EQ(info.executionlevel, "asInvoker");
    // The package icon at the sizes of the usual display scales, 32-bit PNG images.
    const unsigned sides[] = {16, 20, 24, 32, 40, 48, 64};
    ASSERT_EQ(info.icon.size(), std::size(sides));
    for (unsigned i = 0; i < std::size(sides); ++i) {
        EXPECT_EQ(info.icon[i].width, sides[i]) << i;
        EXPECT_EQ(info.icon[i].bitcount, 32u);
        EXPECT_TRUE(info.icon[i].png);
    }
    Outcome listed = shell(temp, "wrestool -l " + quote(temp / "stub.exe"));
    if (listed.status != 0) GTEST_SKIP() << "wrestool (icoutils) is not installed";
    EXPECT_NE(listed.out.find("--type=24 --name=1 "), std::string::npos) << listed.out;
    Outcome manifest =
        shell(temp, "wrestool -x --raw --type=24 --name=1 " + quote(temp / "stub.exe"));
    EXPECT_NE(manifest.out.find("level=\"asInvoker\""), std::string::npos) << manifest.out;
    for (const char* os : {"e2011457-1546-43c5-a5fe-008deee3d3f0",  // Vista
                           "35138b9a-5d96-4fbd-8e2d-a2440225f93a",  // 7
                           "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",  // 8
                           "1f676c76-80e1-4239-95bb-83d0f6d0da78",  // 8.1
                           "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"}) // 10 and 11
        EXPECT_NE(manifest.out.find(os), std::string::npos) << os;
    // What Windows makes of the rest is checked under Wine (tests/stub/stub_test.cpp).
    for (const char* declaration :
         {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", ">true/pm</dpiAware>",
          ">PerMonitorV2,PerMonitor</ws:dpiAwareness>",
          "<ws:longPathAware>true</ws:longPathAware>"})
        EXPECT_NE(manifest.out.find(declaration), std::string::npos) << declaration;
}

// Branding changes the manifest's level and nothing else of it: common controls 6, the DPI
// and long-path awareness and the supported systems stay.
TEST_F(Branded, BrandingChangesOnlyTheManifestsLevel) {
    auto manifestof = [](const std::string& image) {
        PeImage pe = readpeimage(image);
        const PeSection& section = pe.sections[resourcesection(pe)];
        std::vector<Resource> resources =
            readresources(sectionbytes(image, section), section.virtualaddress);
        const Resource* manifest =
            findresource(resources, ResourceKey::number(kResourceManifest), ResourceKey::number(1));
        return manifest ? manifest->data : "(no manifest)";
    };
    const std::string original = manifestof(stub);
    const std::string stublevel = "level=\"asInvoker\"";
    ASSERT_NE(original.find(stublevel), std::string::npos) << original;
    for (const char* level : {"asInvoker", "requireAdministrator", "highestAvailable"}) {
        ::Branding b;
        b.executionlevel = level;
        std::string expected = original;
        expected.replace(expected.find(stublevel), stublevel.size(),
                         "level=\"" + std::string(level) + "\"");
        EXPECT_EQ(manifestof(brandstub(stub, "stub.exe", b)), expected) << level;
    }
}

TEST_F(Branded, TheChecksumIsTheOneTheLinkerWrote) {
    PeImage pe = readpeimage(stub);
    std::uint32_t written = get32(stub, pe.optional + kOptionalChecksum);
    ASSERT_NE(written, 0u);
    EXPECT_EQ(pechecksum(stub, pe.optional + kOptionalChecksum), written);
}

TEST_F(Branded, AnUnbrandedBuildKeepsTheStubsBytes) {
    ASSERT_EQ(build("p.exe", "").status, 0);
    EXPECT_EQ(bytes("p.exe").substr(0, stub.size()), stub);
}

TEST_F(Branded, ResourcesReadAndWrittenAgainKeepEveryResource) {
    PeImage pe = readpeimage(stub);
    int r = resourcesection(pe);
    ASSERT_GE(r, 0);
    const PeSection& section = pe.sections[r];
    std::vector<Resource> before =
        readresources(sectionbytes(stub, section), section.virtualaddress);
    // Four dialogs, the package icon's seven images and the password icon's two with their
    // groups, a cursor and its group, the legal page, the manifest and the version.
    ASSERT_EQ(before.size(), 20u);
    std::string rewritten =
        replaceresources(stub, pe, writeresources(before, section.virtualaddress));
    PeImage again = readpeimage(rewritten);
    const PeSection& moved = again.sections[r];
    std::vector<Resource> after =
        readresources(sectionbytes(rewritten, moved), moved.virtualaddress);
    ASSERT_EQ(after.size(), before.size());
    for (const Resource& b : before) {
        const Resource* a = findresource(after, b.type, b.name);
        ASSERT_NE(a, nullptr) << b.type.shown() << "/" << b.name.shown();
        EXPECT_EQ(a->data, b.data);
        EXPECT_EQ(a->language, b.language);
        EXPECT_EQ(a->heldat, b.heldat);
        EXPECT_EQ(a->heldsize, b.heldsize);
    }
    EXPECT_EQ(get32(rewritten, again.optional + kOptionalChecksum),
              pechecksum(rewritten, again.optional + kOptionalChecksum));
}

// Data that lies wholly outside the section, as the packed stub's runtime resources do, is
// not read; its entry keeps its place and size when the section is written again.
TEST_F(Branded, DataHeldOutsideTheSectionKeepsItsPlace) {
    PeImage pe = readpeimage(stub);
    int r = resourcesection(pe);
    ASSERT_GE(r, 0);
    const PeSection& section = pe.sections[r];
    std::string bytes = sectionbytes(stub, section);
    std::vector<Resource> resources = readresources(bytes, section.virtualaddress);
    ASSERT_FALSE(resources.empty());
    // Move the first data entry's data to just below the section.
    std::uint32_t firsttype = get32(bytes, kResourceDirectorySize + 4) & ~kResourceHighBit;
    std::uint32_t firstname =
        get32(bytes, firsttype + kResourceDirectorySize + 4) & ~kResourceHighBit;
    std::uint32_t entry = get32(bytes, firstname + kResourceDirectorySize + 4);
    std::uint32_t size = get32(bytes, entry + 4);
    std::uint32_t below = section.virtualaddress - size;
    set32(bytes, entry, below);

    std::vector<Resource> read = readresources(bytes, section.virtualaddress);
    ASSERT_EQ(read.size(), resources.size());
    const Resource* held = findresource(read, resources[0].type, resources[0].name);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(held->heldat, below);
    EXPECT_EQ(held->heldsize, size);
    EXPECT_TRUE(held->data.empty());
    std::vector<Resource> again =
        readresources(writeresources(read, section.virtualaddress), section.virtualaddress);
    ASSERT_EQ(again.size(), read.size());
    for (const Resource& a : again) {
        const Resource* b = findresource(read, a.type, a.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(a.heldat, b->heldat);
        EXPECT_EQ(a.heldsize, b->heldsize);
        EXPECT_EQ(a.data, b->data);
    }
}

// --- branded packages ---

TEST_F(Branded, ABrandedPackageHoldsTheIconVersionAndLevel) {
    Outcome made = build("p.exe", "--icon " + quote(temp / "brand.ico") + " " + kAllFlags);
    ASSERT_EQ(made.status, 0) << made.err;
    std::string package = bytes("p.exe");
    BrandingInfo info = readbranding(package);
    std::vector<IconImage> given = icon("brand.ico");
    ASSERT_EQ(info.icon.size(), 2u);
    for (std::size_t i = 0; i < given.size(); ++i) {
        EXPECT_EQ(info.icon[i].data, given[i].data) << "image " << i;
        EXPECT_EQ(info.icon[i].width, given[i].width);
    }
    EXPECT_TRUE(info.icon[1].png);
    EXPECT_EQ(info.fileversion, (std::array<unsigned, 4>{2, 3, 4, 5}));
    EXPECT_EQ(info.executionlevel, "requireAdministrator");
    auto value = [&](const std::string& key) {
        for (const auto& [k, v] : info.strings)
            if (k == key) return v;
        return std::string("(missing)");
    };
    EXPECT_EQ(value("ProductName"), "Demo Prodüct");
    EXPECT_EQ(value("CompanyName"), "ACME Ltd");
    EXPECT_EQ(value("FileVersion"), "2.3.4.5");
    EXPECT_EQ(value("ProductVersion"), "2.3.4.5");
    EXPECT_EQ(value("FileDescription"), "Demo setup");
    EXPECT_EQ(value("LegalCopyright"), "© 2026 ACME");

    Outcome shown = orvsfx(temp, "info " + quote(temp / "p.exe"));
    EXPECT_EQ(shown.status, 0) << shown.out;
    for (const std::string& line :
         {"  icon             16x16 32-bit (1128 bytes), 256x256 32-bit PNG (" +
              std::to_string(given[1].data.size()) + " bytes)",
          std::string("  version          2.3.4.5"),
          std::string("  ProductName      \"Demo Prodüct\""),
          std::string("  executionlevel   requireAdministrator")})
        EXPECT_NE(shown.out.find(line + "\n"), std::string::npos) << line << "\n" << shown.out;
    Outcome tested = shell(temp, quote(kOrvsfx) + " test " + quote(temp / "p.exe") + " </dev/null");
    EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
    Outcome listed = orvsfx(temp, "list " + quote(temp / "p.exe"));
    EXPECT_NE(listed.out.find("readme.txt"), std::string::npos) << listed.out;
}

TEST_F(Branded, IndependentToolsReadTheBranding) {
    ASSERT_EQ(build("p.exe", "--icon " + quote(temp / "brand.ico") + " " + kAllFlags).status, 0);
    if (!have("wrestool")) GTEST_SKIP() << "wrestool (icoutils) is not installed";
    Outcome listed = shell(temp, "wrestool -l " + quote(temp / "p.exe"));
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::vector<IconImage> given = icon("brand.ico");
    EXPECT_NE(listed.out.find("--type=14 --name='MNICON' --language=1033 [type=group_icon"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("size=" + std::to_string(given[1].data.size()) + "]"),
              std::string::npos)
        << listed.out;
    // The PWD icon keeps its image.
    EXPECT_NE(listed.out.find("--name='PWD'"), std::string::npos) << listed.out;
    ASSERT_EQ(shell(temp, "wrestool -x --type=14 --name=MNICON -o " + quote(temp / "back.ico") +
                              " " + quote(temp / "p.exe"))
                  .status,
              0);
    std::vector<IconImage> back = icon("back.ico");
    ASSERT_EQ(back.size(), given.size());
    for (std::size_t i = 0; i < given.size(); ++i) EXPECT_EQ(back[i].data, given[i].data) << i;
    Outcome manifest = shell(temp, "wrestool -x --raw --type=24 --name=1 " + quote(temp / "p.exe"));
    EXPECT_NE(manifest.out.find("level=\"requireAdministrator\"/>"), std::string::npos)
        << manifest.out;

    if (!have("7zz")) return;
    Outcome version = shell(temp, "7zz l -tpe -slt " + quote(temp / "p.exe"));
    for (const char* line : {"FileVersion: 2.3.4.5", "ProductVersion: 2.3.4.5",
                             "CompanyName: ACME Ltd", "FileDescription: Demo setup",
                             "ProductName: Demo Prodüct", "LegalCopyright: © 2026 ACME"})
        EXPECT_NE(version.out.find(line), std::string::npos) << line << "\n" << version.out;
}

TEST_F(Branded, ADescriptionFileBrandsAndFlagsOverrideIt) {
    toolstest::writebytes(temp / "demo.ini",
                          "[package]\nstub = stub.exe\n[branding]\nicon = brand.ico\n"
                          "product-name = From the file\ncompany = File Co\n"
                          "file-version = 1.0.0.7\nexecution-level = highestAvailable\n");
    Outcome made =
        orvsfx(temp, "build --package " + quote(temp / "demo.ini") + " --company 'Flag Co' -o " +
                         quote(temp / "p.exe") + " " + quote(temp / "src"));
    ASSERT_EQ(made.status, 0) << made.err;
    BrandingInfo info = readbranding(bytes("p.exe"));
    EXPECT_EQ(info.executionlevel, "highestAvailable");
    EXPECT_EQ(info.fileversion, (std::array<unsigned, 4>{1, 0, 0, 7}));
    EXPECT_EQ(info.icon.size(), 2u);
    std::map<std::string, std::string> strings(info.strings.begin(), info.strings.end());
    EXPECT_EQ(strings["ProductName"], "From the file");
    EXPECT_EQ(strings["CompanyName"], "Flag Co");
    // Fields not given keep the stub's.
    EXPECT_EQ(strings["FileDescription"], "Orvandel Self-Extractor");

    toolstest::writebytes(temp / "wrong.ini", "[options]\nicon = brand.ico\n");
    expectmessage(orvsfx(temp, "build --package " + quote(temp / "wrong.ini") + " --stub " +
                                   quote(temp / "stub.exe") + " -o " + quote(temp / "w.exe") + " " +
                                   quote(temp / "src")),
                  1, temp / "wrong.ini" + ":2: \"icon\" belongs in [branding], not [options]");
}

TEST_F(Branded, RebuildsGiveTheSameBytes) {
    std::string args =
        "--source-date-epoch 1600000000 --icon " + quote(temp / "brand.ico") + " " + kAllFlags;
    ASSERT_EQ(build("a.exe", args).status, 0);
    ASSERT_EQ(build("b.exe", args).status, 0);
    EXPECT_EQ(bytes("a.exe"), bytes("b.exe"));
}

TEST_F(Branded, ABrandedPackageSignsAndVerifies) {
    if (!have("osslsigncode") || !have("openssl"))
        GTEST_SKIP() << "osslsigncode or openssl is not installed";
    ASSERT_EQ(build("p.exe", "--icon " + quote(temp / "brand.ico") + " " + kAllFlags).status, 0);
    ASSERT_EQ(makecertificate(temp).status, 0);
    Outcome signing = signpackage(temp, "p.exe", "s.exe");
    ASSERT_EQ(signing.status, 0) << signing.out << signing.err;
    Outcome verify = shell(temp, "osslsigncode verify -CAfile " + quote(temp / "cert.pem") +
                                     " -in " + quote(temp / "s.exe"));
    EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
    Outcome tested = shell(temp, quote(kOrvsfx) + " test " + quote(temp / "s.exe") + " </dev/null");
    EXPECT_EQ(tested.status, 0) << tested.out << tested.err;
    EXPECT_EQ(readbranding(bytes("s.exe")).executionlevel, "requireAdministrator");
}

// --- refusals ---

TEST_F(Branded, BadValuesAreRefusedOnTheCommandLine) {
    const struct {
        std::string args, message;
    } cases[] = {
        {"--file-version 1.2.3",
         "--file-version needs four numbers from 0 to 65535 as a.b.c.d, not \"1.2.3\""},
        {"--file-version 1.2.3.65536",
         "--file-version needs four numbers from 0 to 65535 as a.b.c.d, not \"1.2.3.65536\""},
        {"--file-version 1.2.3.4.5",
         "--file-version needs four numbers from 0 to 65535 as a.b.c.d, not \"1.2.3.4.5\""},
        {"--file-version 1..3.4",
         "--file-version needs four numbers from 0 to 65535 as a.b.c.d, not \"1..3.4\""},
        {"--execution-level admin", "--execution-level takes asInvoker, requireAdministrator or "
                                    "highestAvailable, not \"admin\""},
        {"--company $'A\\tB'", "--company: character 2 is a control character"},
        {"--product-name $'\\xff'", "--product-name: character 1 is not valid UTF-8"},
        {"--copyright ''", "--copyright needs a text"},
        {"--file-description " + std::string(257, 'x'),
         "--file-description has 257 UTF-16 characters; at most 256 fit the version resource"},
    };
    for (const auto& c : cases) {
        Outcome run = shell(
            temp, "bash -c " +
                      quote(quote(kOrvsfx) + " build --stub " + quote(temp / "stub.exe") + " -o " +
                            quote(temp / "x.exe") + " " + c.args + " " + quote(temp / "src")));
        EXPECT_EQ(run.status, 2) << c.args;
        EXPECT_EQ(run.err, "orvsfx: " + c.message + " (see \"orvsfx help\")\n") << c.args;
        EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe")) << c.args;
    }
    // Exactly 256 UTF-16 units fit, a character outside the BMP counting two.
    std::string longest(254, 'x');
    longest += "\xF0\x9F\x98\x80"; // U+1F600
    ASSERT_EQ(build("p.exe", "--file-description " + longest).status, 0);
    std::map<std::string, std::string> strings;
    for (const auto& s : readbranding(bytes("p.exe")).strings) strings[s.first] = s.second;
    EXPECT_EQ(strings["FileDescription"], longest);
    expectrefused(build("q.exe", "--file-description " + longest + "y"), 2,
                  "has 257 UTF-16 characters");
    ASSERT_EQ(build("v.exe", "--file-version 65535.0.65535.0").status, 0);
    EXPECT_EQ(readbranding(bytes("v.exe")).fileversion,
              (std::array<unsigned, 4>{65535, 0, 65535, 0}));
}

TEST_F(Branded, BadIconsAreRefused) {
    std::string good = bytes("brand.ico");
    std::string cut = good.substr(0, good.size() - 1);
    std::string notimage = oneimageicon(100);
    notimage.replace(22, 8, "GIF89a..");
    std::string noimages = good.substr(0, 4) + std::string("\0\0", 2);
    std::string many = good.substr(0, 4) + std::string("\x41\0", 2) + std::string(65 * 16, '\0');
    const struct {
        const char* name;
        std::string bytes, reason;
    } cases[] = {
        {"text.ico", "not an icon at all\n", "it does not begin with an icon header (0, 1, count)"},
        {"cut.ico", cut,
         "it is cut off: image 2 (" + std::to_string(icon("brand.ico")[1].data.size()) +
             " bytes at 1166) runs past its end at " + std::to_string(cut.size())},
        {"gif.ico", notimage, "image 1 (100 bytes at 22) is neither a PNG nor a bitmap"},
        {"empty.ico", noimages, "it holds 0 images, not 1 to 64"},
        {"many.ico", many, "it holds 65 images, not 1 to 64"},
        {"directory.ico", good.substr(0, 30), "its directory of 2 images is cut off"},
    };
    for (const auto& c : cases) {
        toolstest::writebytes(temp / c.name, c.bytes);
        expectmessage(build("x.exe", std::string("--icon ") + quote(temp / c.name)), 1,
                      "the icon " + temp / c.name + " is not a usable icon file: " + c.reason);
        EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe")) << c.name;
    }
}

TEST_F(Branded, AnIconTooLargeForTheStubWindowIsRefusedAtTheEdge) {
    // The branded stub grows in steps of the file alignment (512): images growing by 64 bytes
    // reach the largest stub under the limit (95,232 bytes), then the first one past it.
    PeImage pe = readpeimage(stub);
    std::size_t fit = 0;
    for (std::size_t size = kStubSizeLimit - stub.size() - 1024;; size += 64) {
        toolstest::writebytes(temp / "big.ico", oneimageicon(size));
        ::Branding b;
        b.icon = temp / "big.ico";
        try {
            std::string branded = brandstub(stub, "stub.exe", b);
            EXPECT_LE(branded.size(), kStubSizeLimit);
            EXPECT_EQ(branded.size() % pe.filealignment, 0u);
            fit = size;
        } catch (const BuildError& e) {
            ASSERT_NE(fit, 0u) << e.what();
            EXPECT_EQ(std::string(e.what()),
                      "the icon " + temp / "big.ico" + " (" + std::to_string(size + 22) +
                          " bytes) makes the stub " +
                          std::to_string(kStubSizeLimit / 512 * 512 + 512) +
                          " bytes; at most 95497 leave its text block where the stub can find it");
            break;
        }
    }
    toolstest::writebytes(temp / "fit.ico", oneimageicon(fit));
    ASSERT_EQ(build("p.exe", "--icon " + quote(temp / "fit.ico")).status, 0);
    Outcome shown = orvsfx(temp, "info " + quote(temp / "p.exe"));
    EXPECT_EQ(shown.status, 0) << shown.out;
    EXPECT_NE(shown.out.find("stub image       0 (" + std::to_string(kStubSizeLimit / 512 * 512) +
                             " bytes"),
              std::string::npos)
        << shown.out;
    expectrefused(build("q.exe", "--icon " + quote(temp / "big.ico")), 1,
                  "at most 95497 leave its text block");
}

// Damaged stubs: one field of the resource section or the headers changed.
TEST_F(Branded, AStubWithDamagedResourcesIsRefusedWithTheReason) {
    PeImage pe = readpeimage(stub);
    int r = resourcesection(pe);
    ASSERT_GE(r, 0);
    std::size_t rsrc = pe.sections[r].rawoffset;
    std::size_t header = pe.table + r * kSectionHeaderSize;
    auto damaged = [&](std::size_t at, std::uint32_t value) {
        std::string copy = stub;
        set32(copy, at, value);
        return copy;
    };
    // The root's first entry leads to the type directory of the first type.
    std::uint32_t firsttype = get32(stub, rsrc + kResourceDirectorySize + 4) & ~kResourceHighBit;
    std::uint32_t firstname =
        get32(stub, rsrc + firsttype + kResourceDirectorySize + 4) & ~kResourceHighBit;
    std::uint32_t firstdata = get32(stub, rsrc + firstname + kResourceDirectorySize + 4);
    const struct {
        std::string image, reason;
    } cases[] = {
        {damaged(rsrc + 12, 0xFFFF0000u),
         "the type directory's entries at offset 16 runs past the end of the resource section"},
        {damaged(rsrc + kResourceDirectorySize + 4, kResourceHighBit | 0x7FFFFFF0u),
         "the name directory at offset 2147483632 runs past the end of the resource section"},
        {damaged(rsrc + kResourceDirectorySize + 4, firsttype),
         "a type entry does not lead to the next level of the tree"},
        {damaged(rsrc + firstdata, pe.sections[r].virtualaddress - 4),
         "the data of resource 1/1 runs across an end of the resource section"},
        {damaged(rsrc + firstdata + 4, 0x7FFFFFFF),
         "the data of resource 1/1 runs across an end of the resource section"},
        {damaged(pe.optional + kOptionalDirectories + kDirectoryResources * kDirectoryEntrySize,
                 pe.sections[r].virtualaddress + 16),
         "its resource directory does not begin a section"},
        {damaged(header + 20, static_cast<std::uint32_t>(stub.size())),
         "its section .rsrc runs past the end of the file"},
        {damaged(pe.table + kSectionHeaderSize + 20, pe.sections.back().rawoffset),
         "its headers and the sections before its resource section do not all lie in front of "
         "it in the file"},
        {damaged(pe.optional + kOptionalDirectoryCount, 3),
         "its optional header holds 3 data directories, not 6 to 16"},
        {damaged(pe.optional + kOptionalFileAlignment, 300),
         "its file alignment 300 or section alignment 4096 is not valid"},
        {damaged(pe.optional + kOptionalDirectories + kDirectoryCertificates * kDirectoryEntrySize,
                 0x100),
         "it is signed; brand the stub before signing it"},
    };
    for (const auto& c : cases) {
        toolstest::writebytes(temp / "bad.exe", c.image);
        Outcome run =
            orvsfx(temp, "build --stub " + quote(temp / "bad.exe") + " -o " +
                             quote(temp / "x.exe") + " --company X " + quote(temp / "src"));
        expectmessage(run, 1, "the stub " + temp / "bad.exe" + " cannot be branded: " + c.reason);
        EXPECT_FALSE(toolstest::fs::exists(temp / "x.exe"));
    }
    // An icon group of another type than 1 (icons).
    std::vector<Resource> resources =
        readresources(sectionbytes(stub, pe.sections[r]), pe.sections[r].virtualaddress);
    const Resource* group = findresource(resources, ResourceKey::number(kResourceGroupIcon),
                                         ResourceKey::text("MNICON"));
    ASSERT_NE(group, nullptr);
    ::Branding withicon;
    withicon.icon = temp / "brand.ico";
    try {
        brandstub(damaged(stub.find(group->data), 0x00020000), "s.exe", withicon);
        ADD_FAILURE() << "a group of cursors was taken for icons";
    } catch (const BuildError& e) {
        EXPECT_STREQ(e.what(), "the stub s.exe cannot be branded: its icon group MNICON: it does "
                               "not begin with an icon header (0, 1, count)");
    }
    // Behind the resource section a section other than .reloc cannot move.
    std::string renamed = damaged(
        pe.optional + kOptionalDirectories + kDirectoryRelocations * kDirectoryEntrySize, 0);
    ::Branding b;
    b.company = "X";
    try {
        brandstub(renamed, "s.exe", b);
        ADD_FAILURE() << "a section that cannot move was moved";
    } catch (const BuildError& e) {
        EXPECT_EQ(std::string(e.what()), "the stub s.exe cannot be branded: its resource section "
                                         "is followed by .reloc, which cannot move");
    }
}

// Any byte of the headers or of the resource tree changed, and the stub cut at any length:
// reading and branding end with a result or a BuildError, never outside the buffers (the
// sanitizers of the host build watch every read).
TEST_F(Branded, DamagedOrCutStubsNeverReadOutsideTheirBytes) {
    PeImage pe = readpeimage(stub);
    const PeSection& rsrc = pe.sections[resourcesection(pe)];
    ::Branding b;
    b.company = "X";
    b.executionlevel = "highestAvailable";
    auto survive = [&](const std::string& image, std::size_t at) {
        try {
            readbranding(image);
            brandstub(image, "s.exe", b);
        } catch (const BuildError&) {
        } catch (const std::exception& e) {
            ADD_FAILURE() << "at " << at << ": " << e.what();
        }
    };
    std::vector<std::size_t> offsets;
    for (std::size_t at = 0; at < 0x200; ++at) offsets.push_back(at);
    for (std::size_t at = 0; at < 0x300; ++at) offsets.push_back(rsrc.rawoffset + at);
    for (std::size_t at : offsets)
        for (char value : {'\0', '\x7F', '\xFF'}) {
            std::string copy = stub;
            copy[at] = value;
            survive(copy, at);
        }
    for (std::size_t size = 0; size < stub.size(); size += 61) survive(stub.substr(0, size), size);
}

// --- the pieces ---

TEST(BrandingPieces, VersionInfoRoundTrips) {
    VersionInfo info;
    info.fixed = std::string(kFixedInfoSize, '\0');
    set32(info.fixed, 0, kFixedInfoSignature);
    info.strings = {{"ProductName", "Prodüct \xF0\x9F\x98\x80"}, {"Empty", ""}};
    info.translations = {0x04E40409};
    info.setversions({1, 2, 3, 4});
    VersionInfo back = readversioninfo(writeversioninfo(info));
    EXPECT_EQ(back.fixed, info.fixed);
    EXPECT_EQ(back.table, "040904E4");
    EXPECT_EQ(back.strings, info.strings);
    EXPECT_EQ(back.translations, info.translations);
    EXPECT_EQ(back.fileversion(), (std::array<unsigned, 4>{1, 2, 3, 4}));
    EXPECT_EQ(get32(back.fixed, kFixedProductVersion), 0x00010002u);

    std::string data = writeversioninfo(info);
    std::string cut = data;
    set16(cut, 0, static_cast<unsigned>(data.size() + 1)); // wLength one byte past the data
    EXPECT_THROW(readversioninfo(cut), BuildError);
    std::string unsigned_ = data;
    set32(unsigned_, 40, 0); // the signature, behind the 38-byte key and its padding
    EXPECT_THROW(readversioninfo(unsigned_), BuildError);
}

TEST(BrandingPieces, FileVersionsAreFourNumbersUpTo65535) {
    EXPECT_EQ(parsefileversion("0.0.0.0", "v"), (std::array<unsigned, 4>{0, 0, 0, 0}));
    EXPECT_EQ(parsefileversion("65535.65535.65535.65535", "v"),
              (std::array<unsigned, 4>{65535, 65535, 65535, 65535}));
    for (const char* bad : {"", "1", "1.2.3", "1.2.3.", ".1.2.3", "1.2.3.4.", "1.2.3.65536",
                            "1.2.3.-4", "1.2.3.4 ", "a.b.c.d", "1.2.3.000001"})
        EXPECT_THROW(parsefileversion(bad, "v"), BuildError) << bad;
}

TEST(BrandingPieces, ResourceNamesSortBeforeIdsAndRoundTrip) {
    std::vector<Resource> resources = {
        {ResourceKey::number(3), ResourceKey::number(2), 1033, 0, "two"},
        {ResourceKey::number(3), ResourceKey::number(1), 1033, 0, "one"},
        {ResourceKey::text("ZED"), ResourceKey::text("B"), 0, 0, "b"},
        {ResourceKey::text("ZED"), ResourceKey::text("A"), 7, 1252, "a"},
        {ResourceKey::number(3), ResourceKey::number(1), 1031, 0, "eins"},
    };
    const std::uint32_t rva = 0x5000;
    std::string section = writeresources(resources, rva);
    std::vector<Resource> back = readresources(section, rva);
    ASSERT_EQ(back.size(), resources.size());
    // Named types first, then ids; within a type names first, ids ascending, then languages.
    EXPECT_EQ(back[0].data, "a");
    EXPECT_EQ(back[0].codepage, 1252u);
    EXPECT_EQ(back[1].data, "b");
    EXPECT_EQ(back[2].data, "eins");
    EXPECT_EQ(back[3].data, "one");
    EXPECT_EQ(back[4].data, "two");
    EXPECT_EQ(get16(section, 12), 1u); // the root: one named type
    EXPECT_EQ(get16(section, 14), 1u); // and one numbered
    EXPECT_THROW(readresources(section.substr(0, kResourceDirectorySize + 8), rva), BuildError);
    // Type 3, name 1 has languages 1031 and 1033 in adjacent entries: make both 1031.
    std::size_t german = section.find(std::string("\x07\x04\0\0", 4));
    ASSERT_EQ(get32(section, german + kResourceEntrySize), 1033u);
    set32(section, german + kResourceEntrySize, 1031);
    try {
        readresources(section, rva);
        ADD_FAILURE() << "a resource given twice was read";
    } catch (const BuildError& e) {
        EXPECT_STREQ(e.what(), "it holds resource 3/1 twice in one language");
    }
}

TEST(BrandingPieces, AnIconFileHoldsUpTo64Images) {
    auto iconof = [](unsigned count) {
        std::string icon;
        put16(icon, 0);
        put16(icon, 1);
        put16(icon, count);
        std::string image = "\x89PNG\r\n\x1a\n";
        for (unsigned i = 0; i < count; ++i) {
            icon += {16, 16, 0, 0};
            put16(icon, 1);
            put16(icon, 32);
            put32(icon, static_cast<std::uint32_t>(image.size()));
            put32(icon, kIconHeaderSize + count * kIconEntrySize + i * image.size());
        }
        for (unsigned i = 0; i < count; ++i) icon += image;
        return icon;
    };
    EXPECT_EQ(parseiconfile(iconof(kIconImageLimit), "64.ico").size(), 64u);
    EXPECT_THROW(parseiconfile(iconof(kIconImageLimit + 1), "65.ico"), BuildError);
}

TEST(BrandingPieces, ASectionHoldsUpTo4096Resources) {
    std::vector<Resource> resources;
    for (unsigned id = 1; id <= kResourceLimit; ++id)
        resources.push_back({ResourceKey::number(10), ResourceKey::number(id), 0, 0, "x"});
    EXPECT_EQ(readresources(writeresources(resources, 0x1000), 0x1000).size(), 4096u);
    resources.push_back({ResourceKey::number(10), ResourceKey::number(9999), 0, 0, "x"});
    try {
        readresources(writeresources(resources, 0x1000), 0x1000);
        ADD_FAILURE() << "4097 resources were read";
    } catch (const BuildError& e) {
        EXPECT_STREQ(e.what(), "it holds more than 4096 resources");
    }
}

TEST(BrandingPieces, DirectoriesSharedByManyEntriesEndTheWalk) {
    // 200 types that all lead to one name directory of 200 names, which all lead to one empty
    // language directory: 40,200 entries for no resource at all.
    const unsigned kFan = 200;
    auto directory = [](std::string& out, unsigned entries, std::uint32_t target) {
        out.append(12, '\0');
        put16(out, 0);
        put16(out, entries);
        for (unsigned id = 1; id <= entries; ++id) {
            put32(out, id);
            put32(out, kResourceHighBit | target);
        }
    };
    std::string section;
    std::uint32_t names = kResourceDirectorySize + kFan * kResourceEntrySize;
    directory(section, kFan, names);
    directory(section, kFan, names + names);
    directory(section, 0, 0);
    try {
        readresources(section, 0x1000);
        ADD_FAILURE() << "the walk did not end";
    } catch (const BuildError& e) {
        EXPECT_STREQ(e.what(), "its resource tree has more entries than 4096 resources need");
    }
}

} // namespace
