// Tests of the run request: runarchive is the one place that sets the engine's options, and
// the setup's overwrite modes map to the engine's policies in one place.
#include "engine/messagehook.h"
#include "engine/runrequest.h"
#include "setup/runoptions.h"
#include "startup/optionsblock.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const char kMissing[] = "/nonexistent/orv/missing.zip";

void recordflags(void* context, const char*, unsigned, unsigned flags) {
    static_cast<std::vector<unsigned>*>(context)->push_back(flags);
}

} // namespace

TEST(RunRequest, SetsEveryOptionField) {
    const EngineUi ui = {};
    int context = 0;
    RunRequest request = runrequest(kMissing, "/nonexistent/orv/dest", kRunTest, &ui, &context);
    request.archivename = "missing.zip";
    request.selection = kRunSelected;
    request.password = "secret";
    request.dirlist = 1;
    request.filelist = 2;
    request.newfilelist = 3;
    initengine();
    EXPECT_EQ(runarchive(&request), kResultNotFound);
    EXPECT_STREQ(engine.archivepath, "missing.zip"); // the not-found report names it as given
    EXPECT_STREQ(engine.archivename, "missing.zip");
    EXPECT_STREQ(engine.destination, "/nonexistent/orv/dest");
    EXPECT_EQ(engine.extract, 0);
    EXPECT_EQ(engine.extractall, 0);
    EXPECT_STREQ(engine.firstpassword, "secret");
    EXPECT_EQ(engine.dirlist, 1);
    EXPECT_EQ(engine.filelist, 2);
    EXPECT_EQ(engine.newfilelist, 3);
    EXPECT_EQ(engine.ui, &ui);
    EXPECT_EQ(engine.uicontext, &context);
}

// The request most runs start from: every member, existing files asked about, no password,
// no lists; without a table the engine asks and reports nothing.
TEST(RunRequest, TheCommonRequestAndItsDefaults) {
    RunRequest request = runrequest(kMissing, nullptr, kRunExtract, nullptr, nullptr);
    initengine();
    runarchive(&request);
    EXPECT_STREQ(engine.archivename, kMissing);
    EXPECT_EQ(engine.extract, 1);
    EXPECT_EQ(engine.extractall, 1);
    EXPECT_EQ(engine.destination, nullptr);
    EXPECT_EQ(engine.overwritemode, kPolicyAsk);
    EXPECT_EQ(engine.firstpassword, nullptr);
    EXPECT_EQ(engine.dirlist + engine.filelist + engine.newfilelist, 0);
    EXPECT_EQ(engine.ui, &kNoUi);
}

TEST(RunRequest, EachPolicySetsOneFlagAndTheDerivedMode) {
    struct Case {
        OverwritePolicy policy;
        int always, never;
    } cases[] = {{kPolicyAsk, 0, 0}, {kPolicyOverwrite, 1, 0}, {kPolicyKeep, 0, 1}};
    for (const Case& c : cases) {
        RunRequest request = runrequest(kMissing, nullptr, kRunExtract, nullptr, nullptr);
        request.overwrite = c.policy;
        initengine();
        runarchive(&request);
        EXPECT_EQ(engine.overwritealways, c.always) << c.policy;
        EXPECT_EQ(engine.overwritenever, c.never) << c.policy;
        EXPECT_EQ(engine.overwritemode, c.policy);
    }
}

// The message stream reaches a receiver only once one is installed, and initengine takes it
// away again.
TEST(MessageHook, TheStreamReachesOnlyAnInstalledReceiver) {
    std::vector<unsigned> flags;
    RunRequest request = runrequest(kMissing, nullptr, kRunExtract, nullptr, nullptr);
    initengine();
    setmessagehook(recordflags, &flags, 3);
    EXPECT_EQ(engine.quietlevel, 3);
    runarchive(&request);
    ASSERT_FALSE(flags.empty()); // the not-found report
    EXPECT_EQ(flags.back(), static_cast<unsigned>(kMsgWarn));

    flags.clear();
    initengine();
    runarchive(&request);
    EXPECT_TRUE(flags.empty());
    EXPECT_EQ(engine.quietlevel, 1);
}

TEST(OverwritePolicy, TheSetupsModesMapToTheEnginesPolicies) {
    EXPECT_EQ(overwritepolicy(kOverwriteAsk), kPolicyAsk);
    EXPECT_EQ(overwritepolicy(kOverwriteAlways), kPolicyOverwrite);
    EXPECT_EQ(overwritepolicy(kOverwriteNever), kPolicyKeep);
    // Any other value asks, as the engine does when neither flag is set.
    EXPECT_EQ(overwritepolicy(kOverwriteAlways | kOverwriteNever), kPolicyAsk);
    EXPECT_EQ(overwritepolicy(1), kPolicyAsk);
}
