// Tests of the options block encoding, read back with the stub's own decoder: every flag bit,
// every text field, the sizes, and the length limits.
#include "startup/optionsblock.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/package/optionsencoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// A decoded block; the four text pointers are heap blocks as decodeoptions needs.
struct Decoded {
    SfxOptions& o;
    OptionsStatus status;
    explicit Decoded(const std::string& block, const char* archive = "PK") : o(*makesfxoptions()) {
        std::string data = block + archive;
        status = decodeoptions(reinterpret_cast<const unsigned char*>(data.data()), data.size(), &o,
                               "Default Title");
    }
    ~Decoded() { releasesfxoptions(&o); }
    Decoded(const Decoded&) = delete;
    Decoded& operator=(const Decoded&) = delete;
};

TEST(OptionsEncoder, HeaderAndLengthMatchTheLayout) {
    PackageOptions fields;
    fields.title = std::string(53, 'T');
    fields.folder = "%temp%";
    std::string block = encodeoptions(fields);
    EXPECT_EQ(block.size(), 83u);
    EXPECT_EQ(block.substr(0, 4), "MPV2");
    EXPECT_EQ(get16(block, 4), 3u);
    EXPECT_EQ(get16(block, 6), 83u);
    EXPECT_EQ(get16(block, 10), 0u); // reserved
    unsigned char header[12];
    std::copy(block.begin(), block.begin() + 12, header);
    EXPECT_EQ(optionsblocklength(header, sizeof header), 83u);
    EXPECT_EQ(encodeoptions(PackageOptions()).size(), static_cast<std::size_t>(kOptionsFixedSize));
}

TEST(OptionsEncoder, TextFieldsRoundTripThroughTheStubsDecoder) {
    PackageOptions fields;
    fields.title = "Orvandel SFX Demo";
    fields.folder = "%temp%\\OrvandelDemo";
    fields.command = "setup.exe|/quiet";
    fields.prompt = "Install the demo?";
    fields.promptstyle = 0x24;
    fields.about = "About\r\nthe demo";
    fields.description = "A description";
    Decoded d(encodeoptions(fields));
    ASSERT_EQ(d.status, kOptionsOk);
    EXPECT_STREQ(d.o.title, "Orvandel SFX Demo");
    EXPECT_STREQ(d.o.destfolder, "%temp%\\OrvandelDemo");
    EXPECT_TRUE(d.o.hascommand);
    EXPECT_STREQ(d.o.command, "setup.exe|/quiet");
    EXPECT_TRUE(d.o.hasstartprompt);
    EXPECT_STREQ(d.o.startprompt, "Install the demo?");
    EXPECT_EQ(d.o.promptstyle, 0x24);
    EXPECT_TRUE(d.o.hasabouttext);
    EXPECT_STREQ(d.o.abouttext, "About\r\nthe demo");
    EXPECT_TRUE(d.o.hasinfotext);
    EXPECT_STREQ(d.o.infotext, "A description");
}

TEST(OptionsEncoder, EmptyFieldsDecodeAsAbsentAndTheStyleWordStays) {
    PackageOptions fields;
    fields.promptstyle = 0x1234;
    Decoded d(encodeoptions(fields));
    ASSERT_EQ(d.status, kOptionsOk);
    EXPECT_STREQ(d.o.title, "Default Title");
    EXPECT_FALSE(d.o.hascommand);
    EXPECT_FALSE(d.o.hasstartprompt);
    EXPECT_EQ(d.o.promptstyle, 0x1234);
    EXPECT_FALSE(d.o.hasabouttext);
    EXPECT_FALSE(d.o.hasinfotext);
}

struct FlagCase {
    bool byteb;
    unsigned char mask;
    bool SfxOptions::*field;
    bool whenset; // the field's value with the bit set (some bits switch a feature off)
};

TEST(OptionsEncoder, EveryFlagBitReachesItsField) {
    const FlagCase cases[] = {
        {false, kFlagCommandOptional, &SfxOptions::commandoptional, true},
        {false, kFlagSelectFiles, &SfxOptions::selectfiles, true},
        {false, kFlagShowOverwrite, &SfxOptions::showoverwrite, true},
        {false, kFlagCleanAfter, &SfxOptions::cleanafter, true},
        {false, kFlagAutoExtract, &SfxOptions::autoextract, true},
        {false, kFlagNoDoneMessage, &SfxOptions::showdone, false},
        {true, kFlagInfoPanel, &SfxOptions::infopanel, true},
        {true, kFlagNoOpenWith, &SfxOptions::noopenwith, true},
        {true, kFlagShowComment, &SfxOptions::showcomment, true},
        {true, kFlagNoAboutExtra, &SfxOptions::aboutextra, false},
        {true, kFlagNoProgress, &SfxOptions::showprogress, false},
        {true, kFlagShowBanner, &SfxOptions::showbanner, true},
        {true, kFlagWriteLog, &SfxOptions::writelog, true},
    };
    for (const FlagCase& c : cases) {
        PackageOptions fields;
        fields.command = "run.exe"; // commandoptional needs a command
        (c.byteb ? fields.flagsb : fields.flagsa) = c.mask;
        Decoded on(encodeoptions(fields));
        ASSERT_EQ(on.status, kOptionsOk);
        EXPECT_EQ(on.o.*c.field, c.whenset) << "bit " << int(c.mask) << (c.byteb ? " B" : " A");
        (c.byteb ? fields.flagsb : fields.flagsa) = 0;
        Decoded off(encodeoptions(fields));
        EXPECT_EQ(off.o.*c.field, !c.whenset) << "bit " << int(c.mask);
    }
}

TEST(OptionsEncoder, OverwriteBitsGiveTheMode) {
    const struct {
        unsigned char bits;
        unsigned char mode;
    } cases[] = {{0, kOverwriteAsk},
                 {kFlagOverwriteAlways, kOverwriteAlways},
                 {kFlagOverwriteNever, kOverwriteNever},
                 {kFlagOverwriteAlways | kFlagOverwriteNever, kOverwriteAlways}};
    for (const auto& c : cases) {
        PackageOptions fields;
        fields.flagsa = c.bits;
        Decoded d(encodeoptions(fields));
        EXPECT_EQ(d.o.overwritemode, c.mode) << int(c.bits);
    }
}

TEST(OptionsEncoder, ShortFieldsTakeAtMost255Characters) {
    PackageOptions fields;
    fields.title = std::string(255, 't');
    fields.folder = std::string(255, 'f');
    Decoded d(encodeoptions(fields));
    ASSERT_EQ(d.status, kOptionsOk);
    EXPECT_EQ(std::string(d.o.title), fields.title);
    EXPECT_EQ(std::string(d.o.destfolder), fields.folder);
    for (std::string PackageOptions::*field : {&PackageOptions::title, &PackageOptions::folder}) {
        PackageOptions tooLong;
        tooLong.*field = std::string(256, 'x');
        EXPECT_THROW(encodeoptions(tooLong), BuildError);
    }
}

TEST(OptionsEncoder, RefusesLongFieldsAndBlocksPastSixteenBits) {
    for (std::string PackageOptions::*field :
         {&PackageOptions::command, &PackageOptions::prompt, &PackageOptions::about,
          &PackageOptions::description}) {
        PackageOptions fields;
        fields.*field = std::string(65536, 'x');
        EXPECT_THROW(encodeoptions(fields), BuildError);
    }
    PackageOptions fields;
    fields.about = std::string(40000, 'a');
    fields.description = std::string(30000, 'd');
    try {
        encodeoptions(fields);
        ADD_FAILURE() << "a block of 70,000 bytes was accepted";
    } catch (const BuildError& e) {
        EXPECT_NE(std::string(e.what()).find("65535"), std::string::npos) << e.what();
    }
    fields.description = std::string(65535 - kOptionsFixedSize - 40000, 'd');
    EXPECT_EQ(encodeoptions(fields).size(), 65535u);
    PackageOptions style;
    style.promptstyle = 0x10000;
    EXPECT_THROW(encodeoptions(style), BuildError);
}

} // namespace
