// Tests of package assembly: padding of small stubs, the largest stub, refusals, and packages
// read back by the stub's own start-up loaders (text block search, checksum, options block).
#include "startup/optionsblock.h"
#include "startup/textblock.h"
#include "tests/support/testfiles.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/package/optionsencoder.h"
#include "tools/package/packagewriter.h"
#include "tools/text/texttable.h"
#include "tools/zip/zipreader.h"
#include "tools/zip/zipwriter.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using toolstest::fakestub;
using toolstest::TempFolder;

const char kModule[] = "C:\\Packages\\package.exe"; // checksum not excused

std::string textblock() {
    return encodetextblock(textblockbody(shippedtable("english").texts));
}

std::string options(const std::string& title) {
    PackageOptions fields;
    fields.title = title;
    fields.folder = "%temp%\\Demo";
    fields.flagsa = 0x06;
    fields.flagsb = 0x0C;
    return encodeoptions(fields);
}

std::string archive() {
    ZipMember m;
    m.name = "readme.txt";
    m.data = "Read me.";
    m.mtime = 1600000000;
    return writezip({m});
}

// The stub's options record with heap texts, installed as sfxoptions for the test's life.
struct StubOptions {
    SfxOptions o{};
    StubOptions() {
        for (char** text : {&o.startprompt, &o.abouttext, &o.infotext, &o.command})
            *text = static_cast<char*>(std::calloc(1, 1));
        sfxoptions = &o;
    }
    ~StubOptions() {
        for (char* text : {o.startprompt, o.abouttext, o.infotext, o.command}) std::free(text);
        sfxoptions = nullptr;
        freeuitexts();
    }
};

TEST(PackageWriter, PadsASmallStubSoTheTextBlockStartsAt30000) {
    PackageLayout layout;
    std::string head = packagehead(fakestub(12000), textblock(), options("T"), &layout);
    EXPECT_EQ(layout.stubsize, 12000u);
    EXPECT_EQ(layout.padding, 17968u);
    EXPECT_EQ(layout.areaoffset, 29968u);
    EXPECT_EQ(layout.textoffset, 30000u);
    EXPECT_EQ(head.substr(30000, 5), "{SLF}");
    EXPECT_EQ(head.substr(12000, 18000), std::string(18000, '\0'));
    EXPECT_EQ(layout.archiveoffset, head.size());
}

TEST(PackageWriter, LargeStubsAreNotPaddedUpToTheLimit) {
    for (std::size_t size : {29968u, 30000u, 60000u, 95497u}) {
        PackageLayout layout;
        std::string head = packagehead(fakestub(size), textblock(), options("T"), &layout);
        EXPECT_EQ(layout.padding, 0u) << size;
        EXPECT_EQ(layout.textoffset, size + 32);
        std::string window = head.substr(30000) + std::string(65536, '\0');
        EXPECT_EQ(findtextmarker(reinterpret_cast<const unsigned char*>(window.data()), 65530),
                  long(size + 32 - 30000));
    }
}

TEST(PackageWriter, RefusesAStubTheTextBlockCouldNotFollow) {
    try {
        packagehead(fakestub(95498), textblock(), options("T"));
        ADD_FAILURE() << "a stub of 95,498 bytes was accepted";
    } catch (const BuildError& e) {
        EXPECT_NE(std::string(e.what()).find("95497"), std::string::npos) << e.what();
    }
    std::string marked = fakestub(40000);
    marked.replace(35000, 5, "{SLF}");
    EXPECT_THROW(packagehead(marked, textblock(), options("T")), BuildError);
    marked = fakestub(40000);
    marked.replace(20000, 5, "{SLF}"); // in front of the searched range: harmless
    EXPECT_NO_THROW(packagehead(marked, textblock(), options("T")));
}

TEST(PackageWriter, TheStubsLoadersAcceptTheWholePackage) {
    TempFolder temp;
    PackageLayout layout;
    std::string package =
        assemblepackage(fakestub(12000), textblock(), options("Demo"), archive(), &layout);
    toolstest::writebytes(temp / "package.exe", package);

    StubOptions stub;
    ASSERT_EQ(loadtextblockfrom((temp / "package.exe").c_str(), kModule), 1);
    EXPECT_EQ(optionsoffset, layout.optionsoffset);
    EXPECT_STREQ(UiText[18], "Self-Extracting Archive");
    ASSERT_EQ(readoptionsblockfrom((temp / "package.exe").c_str(), optionsoffset), 1);
    EXPECT_STREQ(stub.o.title, "Demo");
    EXPECT_STREQ(stub.o.destfolder, "%temp%\\Demo");
    EXPECT_TRUE(stub.o.selectfiles);
    EXPECT_TRUE(stub.o.showoverwrite);
    EXPECT_EQ(stub.o.overwritemode, kOverwriteAsk);
    EXPECT_TRUE(stub.o.showdone);
    EXPECT_TRUE(stub.o.showcomment);
    EXPECT_FALSE(stub.o.aboutextra);
    EXPECT_TRUE(stub.o.showprogress);
    EXPECT_FALSE(stub.o.showbanner);
    EXPECT_FALSE(stub.o.writelog);

    ZipArchive zip = readziparchive(package);
    EXPECT_EQ(zip.prefix, 0);
    EXPECT_EQ(zip.start, layout.archiveoffset);
    EXPECT_EQ(package.substr(layout.archiveoffset, 2), "PK");
}

TEST(PackageWriter, AssemblyRefusesArchivesTheStubCannotExtract) {
    std::string zip = archive();
    zip[readziparchive(zip).entries[0].centralat + 10] = 12; // bzip2
    EXPECT_THROW(assemblepackage(fakestub(1000), textblock(), options("T"), zip), BuildError);
    EXPECT_THROW(assemblepackage(fakestub(1000), textblock(), options("T"), "no archive here"),
                 BuildError);
}

} // namespace
