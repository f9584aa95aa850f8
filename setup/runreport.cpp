// The progress bar's arithmetic and the table of result messages.
//
// The engine's result codes map to one or two of the package's texts:
//
//   code              message
//   0                 none (success)
//   1                 "couldn't get extracted"
//   2, 3, 9, 51       "Error reading archive." / "couldn't get extracted"
//   4, 6              "Out of memory..." / blank line / "couldn't get extracted"
//   50                "Error in directory .." / "couldn't get extracted"
//   82                "Incorrect Password" / "couldn't get extracted"
//   11, 81            "couldn't get extracted"
//   221               none (cancelled)
//
// Any other code fails the run without a message of its own.
#include "setup/runreport.h"

#include "engine/enginestate.h"
#include "setup/dialogtexts.h"
#include "startup/textblock.h"

int progressposition(unsigned long long done, unsigned long long total) {
    if (total == 0) return done > 0 ? kProgressRange : 0;
    if (done >= total) return kProgressRange;
    // Single precision, as the bar needs no more: the quotient is below 1 here.
    float fraction = static_cast<float>(done) / static_cast<float>(total);
    int position = static_cast<int>(fraction * kProgressRange);
    return position < kProgressRange ? position : kProgressRange;
}

namespace {

// A row's code and text number are bytes, so that it takes two words; a value that did not
// fit would be a narrowing error of the table.
struct ResultMessage {
    unsigned char code;
    signed char first; // UiTextId of the first text, or -1 when the message is the second alone
    const char* format;
};

const char kLine[] = "%s\r\n%s";
const char kBlankLine[] = "%s\r\n\r\n%s";

const ResultMessage kMessages[] = {
    {kResultArchiveError, kTextReadError, kLine},
    {kResultSevereError, kTextReadError, kLine},
    {kResultNotFound, kTextReadError, kLine},
    {kResultEndOfArchive, kTextReadError, kLine},
    {kResultNoMemory, kTextOutOfMemory, kBlankLine},
    {kResultInflateMemory, kTextOutOfMemory, kBlankLine},
    {kResultDiskFull, kTextFolderError, kLine},
    {kResultBadPassword, kTextWrongPassword, kLine},
    {kResultNoneSelected, -1, nullptr},
    {kResultNewerVersion, -1, nullptr},
    {kResultWarning, -1, nullptr},
};

} // namespace

int runoutcome(int code, bool cancelled, bool automatic, bool memberfailed) {
    if (cancelled) return kCancelledRun;
    return code == kResultWarning && automatic && !memberfailed ? kResultOk : code;
}

bool runmessage(int code, char* out, unsigned size) {
    for (const ResultMessage& m : kMessages) {
        if (m.code != code) continue;
        if (m.first < 0)
            formattext(out, size, "%s", UiText[kTextNotExtracted]);
        else
            formattext(out, size, m.format, UiText[m.first], UiText[kTextNotExtracted]);
        return true;
    }
    return false;
}
