// Tests of scripts/check-layering.sh: the project's tree keeps its folder graph, and in a
// planted copy an include that points up, one from the ZIP library into the command line,
// one into a folder outside the table, and a source folder with no rule are each caught and
// named with the file and line.
#include "tests/support/orvsfxcli.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using toolstest::cli::Outcome;

// Runs the check on top; shell() gives it a time limit and captures its output in out.
Outcome checklayering(const toolstest::TempFolder& scratch, const std::string& top) {
    return toolstest::cli::shell(scratch, std::string(ORV_SOURCE_DIR) +
                                              "/scripts/check-layering.sh " +
                                              toolstest::cli::quote(top));
}

// A small tree whose includes all point down: the ZIP library on the byte-string helpers and
// the common layer, the command line on the ZIP library, a test on anything.
class PlantedTree : public ::testing::Test {
  protected:
    void SetUp() override {
        toolstest::writebytes(temp / "common/byteorder.h", "#pragma once\n");
        toolstest::writebytes(temp / "tools/base/littleendian.h",
                              "#include \"common/byteorder.h\"\n");
        toolstest::writebytes(temp / "tools/zip/zipwriter.cpp",
                              "#include \"tools/zip/zipwriter.h\"\n"
                              "#include \"tools/base/littleendian.h\"\n");
        toolstest::writebytes(temp / "tools/cli/main.cpp", "#include \"tools/zip/zipwriter.h\"\n");
        toolstest::writebytes(temp / "tests/tools/zip/zipwriter_test.cpp",
                              "#include \"tools/cli/commands.h\"\n");
    }
    toolstest::TempFolder temp, scratch;
};

TEST(CheckLayering, TheProjectsTreeKeepsItsFolderGraph) {
    toolstest::TempFolder scratch;
    Outcome outcome = checklayering(scratch, ORV_SOURCE_DIR);
    EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
}

TEST_F(PlantedTree, IncludesThatPointDownPass) {
    Outcome outcome = checklayering(scratch, temp.path().string());
    EXPECT_EQ(outcome.status, 0) << outcome.out << outcome.err;
}

TEST_F(PlantedTree, AnUpwardIncludeIsNamedWithItsFileAndLine) {
    toolstest::writebytes(temp / "tools/zip/zipwriter.cpp", "#include \"tools/zip/zipwriter.h\"\n"
                                                            "#include \"tools/cli/commands.h\"\n");
    Outcome outcome = checklayering(scratch, temp.path().string());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "tools/zip/zipwriter.cpp:2: tools/zip/ may not include tools/cli/ "
                           "(#include \"tools/cli/commands.h\")\n");
}

TEST_F(PlantedTree, AnIncludeOfAFolderOutsideTheTableIsCaught) {
    toolstest::writebytes(temp / "common/byteorder.h", "#include \"vendor/bytes.h\"\n");
    Outcome outcome = checklayering(scratch, temp.path().string());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(
        outcome.out,
        "common/byteorder.h:1: common/ may not include vendor/ (#include \"vendor/bytes.h\")\n");
}

TEST_F(PlantedTree, ASourceFolderWithoutARuleIsCaught) {
    toolstest::writebytes(temp / "tools/extra/helper.cpp", "int helper;\n");
    Outcome outcome = checklayering(scratch, temp.path().string());
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.out, "tools/extra/helper.cpp: its folder tools/extra/ has no rule in "
                           "check-layering.sh\n");
}

} // namespace
