// Tests of the run request: runarchive is the one place that sets the engine's options, and
// the setup's overwrite modes map to the engine's policies in one place.
#include "engine/runrequest.h"
#include "setup/runoptions.h"
#include "startup/optionsblock.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <vector>

namespace {

std::vector<unsigned> receivedflags;
int recordflags(EngineState*, const char*, unsigned, unsigned flags) {
    receivedflags.push_back(flags);
    return 0;
}
int answeryes(EngineState*, char* answer, unsigned size) {
    snprintf(answer, size, "y");
    return 1;
}

const char kMissing[] = "/nonexistent/orv/missing.zip";

RunRequest missingarchive() {
    RunRequest request = {};
    request.archivepath = kMissing;
    request.action = kRunExtract;
    request.selection = kRunAll;
    request.quietlevel = 1;
    return request;
}

} // namespace

TEST(RunRequest, SetsEveryOptionField) {
    EngineUi ui = {};
    RunRequest request = missingarchive();
    request.archivename = "missing.zip";
    request.destination = "/nonexistent/orv/dest";
    request.action = kRunTest;
    request.selection = kRunSelected;
    request.quietlevel = 3;
    request.ui = &ui;
    initengine();
    EXPECT_EQ(runarchive(&request), kResultNotFound);
    EXPECT_STREQ(engine.archivepath, "missing.zip"); // the not-found report names it as given
    EXPECT_STREQ(engine.archivename, "missing.zip");
    EXPECT_STREQ(engine.destination, "/nonexistent/orv/dest");
    EXPECT_EQ(engine.extract, 0);
    EXPECT_EQ(engine.extractall, 0);
    EXPECT_EQ(engine.quietlevel, 3);
    EXPECT_EQ(engine.ui, &ui);
}

TEST(RunRequest, WithoutAGivenNameTheArchivePathIsReported) {
    RunRequest request = missingarchive();
    initengine();
    runarchive(&request);
    EXPECT_STREQ(engine.archivename, kMissing);
    EXPECT_EQ(engine.extract, 1);
    EXPECT_EQ(engine.extractall, 1);
    EXPECT_EQ(engine.destination, nullptr);
}

TEST(RunRequest, EachPolicySetsOneFlagAndTheDerivedMode) {
    struct Case {
        OverwritePolicy policy;
        int always, never;
    } cases[] = {{kPolicyAsk, 0, 0}, {kPolicyOverwrite, 1, 0}, {kPolicyKeep, 0, 1}};
    for (const Case& c : cases) {
        RunRequest request = missingarchive();
        request.overwrite = c.policy;
        initengine();
        runarchive(&request);
        EXPECT_EQ(engine.overwritealways, c.always) << c.policy;
        EXPECT_EQ(engine.overwritenever, c.never) << c.policy;
        EXPECT_EQ(engine.overwritemode, c.policy);
    }
}

TEST(RunRequest, CallbacksAreReplacedOnlyWhenGiven) {
    RunRequest request = missingarchive();
    initengine();
    runarchive(&request);
    EXPECT_EQ(engine.message, messageout);
    EXPECT_EQ(engine.input, noinput);

    receivedflags.clear();
    request.message = recordflags;
    request.input = answeryes;
    initengine();
    runarchive(&request);
    EXPECT_EQ(engine.message, recordflags);
    EXPECT_EQ(engine.input, answeryes);
    ASSERT_FALSE(receivedflags.empty()); // the not-found report reached the replacement
    EXPECT_EQ(receivedflags.back(), static_cast<unsigned>(kMsgWarn));
}

TEST(OverwritePolicy, TheSetupsModesMapToTheEnginesPolicies) {
    EXPECT_EQ(overwritepolicy(kOverwriteAsk), kPolicyAsk);
    EXPECT_EQ(overwritepolicy(kOverwriteAlways), kPolicyOverwrite);
    EXPECT_EQ(overwritepolicy(kOverwriteNever), kPolicyKeep);
    // Any other value asks, as the engine does when neither flag is set.
    EXPECT_EQ(overwritepolicy(kOverwriteAlways | kOverwriteNever), kPolicyAsk);
    EXPECT_EQ(overwritepolicy(1), kPolicyAsk);
}
