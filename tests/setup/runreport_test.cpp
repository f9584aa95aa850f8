// What an extraction run shows: the progress bar's position and every row of the result
// message table.
#include "setup/runreport.h"

#include "engine/enginestate.h"
#include "tests/support/setuptest.h"

namespace {

TEST(ProgressPosition, RunsFromZeroToTheEndOfTheRange) {
    EXPECT_EQ(progressposition(0, 1000), 0);
    EXPECT_EQ(progressposition(500, 1000), kProgressRange / 2);
    EXPECT_EQ(progressposition(999, 1000), 49950);
    EXPECT_EQ(progressposition(1000, 1000), kProgressRange);
}

TEST(ProgressPosition, StaysInRangeForSumsOf4GiBAndMore) {
    const unsigned long long kGiB = 1ull << 30;
    EXPECT_EQ(progressposition(2 * kGiB, 8 * kGiB), kProgressRange / 4);
    EXPECT_EQ(progressposition(5 * kGiB, 5 * kGiB), kProgressRange);
    EXPECT_EQ(progressposition(3 * kGiB, 12 * kGiB), kProgressRange / 4);
    // Members that decode to more than their stated sizes never push the bar past its end.
    EXPECT_EQ(progressposition(9 * kGiB, 4 * kGiB), kProgressRange);
}

TEST(ProgressPosition, AnArchiveOfEmptyMembersShowsTheBarFullOnceAnythingIsDone) {
    EXPECT_EQ(progressposition(0, 0), 0);
    EXPECT_EQ(progressposition(1, 0), kProgressRange);
}

using RunMessages = PackageTexts;

std::string message(int code) {
    char out[kRunMessage];
    return runmessage(code, out, sizeof out) ? out : "<none>";
}

TEST_F(RunMessages, EveryResultCodeShowsItsRowOfTheTable) {
    const std::string failed = text(kTextNotExtracted);
    for (int code : {kResultArchiveError, kResultSevereError, kResultNotFound, kResultEndOfArchive})
        EXPECT_EQ(message(code), text(kTextReadError) + "\r\n" + failed) << code;
    for (int code : {kResultNoMemory, kResultInflateMemory})
        EXPECT_EQ(message(code), text(kTextOutOfMemory) + "\r\n\r\n" + failed) << code;
    EXPECT_EQ(message(kResultDiskFull), text(kTextFolderError) + "\r\n" + failed);
    EXPECT_EQ(message(kResultBadPassword), text(kTextWrongPassword) + "\r\n" + failed);
    for (int code : {kResultWarning, kResultNoneSelected, kResultNewerVersion})
        EXPECT_EQ(message(code), failed) << code;
}

TEST_F(RunMessages, SuccessAndCancelShowNothing) {
    EXPECT_EQ(message(kResultOk), "<none>");
    EXPECT_EQ(message(kCancelledRun), "<none>");
}

// A warning ends an automatic run as success only when no member failed; nothing else
// changes its code but a cancel.
TEST(RunOutcome, AnAutomaticWarningCountsAsSuccessOnlyWhenNoMemberFailed) {
    struct Case {
        int code;
        bool cancelled, automatic, memberfailed;
        int outcome;
    } cases[] = {
        {kResultWarning, false, true, false, kResultOk},
        {kResultWarning, false, true, true, kResultWarning},
        {kResultWarning, false, false, false, kResultWarning},
        {kResultBadPassword, false, true, false, kResultBadPassword},
        {kResultOk, true, true, false, kCancelledRun},
        {kResultCancelled, true, false, true, kCancelledRun},
    };
    for (const Case& c : cases)
        EXPECT_EQ(runoutcome(c.code, c.cancelled, c.automatic, c.memberfailed), c.outcome)
            << c.code << c.cancelled << c.automatic << c.memberfailed;
}

TEST_F(RunMessages, CodesOutsideTheTableShowNothing) {
    for (int code : {int(kResultCancelled), int(kResultDirectory), 5, 7, 99})
        EXPECT_EQ(message(code), "<none>") << code;
}

TEST_F(RunMessages, AMessageIsCutToItsBuffer) {
    replacetext(kTextReadError, std::string(kRunMessage, 'r'));
    char out[kRunMessage];
    ASSERT_TRUE(runmessage(kResultArchiveError, out, sizeof out));
    EXPECT_EQ(strlen(out), size_t(kRunMessage - 1));
}

} // namespace
