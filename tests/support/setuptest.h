// Shared set-up of the setup dialogs' portable tests: the package's texts and options as a
// running package holds them.
#pragma once

#include "startup/optionsblock.h"
#include "startup/textblock.h"
#include "tools/text/texttable.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

// Loads a text table into UiText and gives the process a fresh SfxOptions; both are
// released again at the end of each test.
class PackageTexts : public ::testing::Test {
  protected:
    std::vector<std::string> texts = shippedtable("english").texts;

    void SetUp() override {
        std::string body = textblockbody(texts);
        ASSERT_EQ(loaduitexts(reinterpret_cast<const unsigned char*>(body.data()), body.size()), 1);
        sfxoptions = makesfxoptions();
        ASSERT_NE(sfxoptions, nullptr);
    }
    void TearDown() override {
        releasesfxoptions(sfxoptions);
        sfxoptions = nullptr;
        freeuitexts();
    }

    // Gives one text another value, in the table and in the loaded texts.
    void replacetext(UiTextId id, const std::string& value) {
        texts[id] = value;
        free(UiText[id]);
        UiText[id] = strdup(value.c_str());
    }

    // The package's text of a role, as the table holds it.
    const std::string& text(UiTextId id) const { return texts[id]; }

    // Replaces one of the options' heap texts.
    static void settext(char** field, const std::string& value) {
        char* copy = static_cast<char*>(realloc(*field, value.size() + 1));
        ASSERT_NE(copy, nullptr);
        memcpy(copy, value.c_str(), value.size() + 1);
        *field = copy;
    }
};
