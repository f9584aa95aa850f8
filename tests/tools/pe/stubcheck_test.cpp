// Tests of the stub check: a PE32 GUI image for i386 is taken, and every other file is refused
// with what is wrong with it.
#include "tests/support/testfiles.h"
#include "tools/base/builderror.h"
#include "tools/pe/stubcheck.h"

#include <gtest/gtest.h>

namespace {

TEST(StubCheck, AcceptsAPe32GuiImageAndNamesWhatIsWrongOtherwise) {
    EXPECT_NO_THROW(checkstubimage(toolstest::fakestub(12000), "s.exe"));
    toolstest::StubHeaders console;
    console.subsystem = 3;
    try {
        checkstubimage(toolstest::fakestub(12000, console), "c.exe");
        ADD_FAILURE() << "a console program was taken as a stub";
    } catch (const BuildError& e) {
        EXPECT_STREQ(e.what(), "the stub c.exe is not a PE32 GUI program for i386: its subsystem "
                               "is 3 (console), not 2 (Windows GUI)");
    }
    EXPECT_THROW(checkstubimage("MZ", "tiny.exe"), BuildError);
    std::string cut = toolstest::fakestub(12000).substr(0, 0x90); // COFF header cut short
    EXPECT_THROW(checkstubimage(cut, "cut.exe"), BuildError);
    std::string nooptional = toolstest::fakestub(12000).substr(0, 0xA0);
    EXPECT_THROW(checkstubimage(nooptional, "opt.exe"), BuildError);
}

} // namespace
