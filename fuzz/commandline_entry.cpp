// Fuzz entry for the command line: a tail applied to a package's setup options, and the
// usage message.
//
// Input: byte 0 chooses the package's command (none, "setup.exe", "setup.exe|-q"), byte 1
// the size of the password buffer (1 to 256 bytes), then the tail up to the first NUL; what
// follows that NUL is the module path and every text of the usage message.
//
// Checks on every output, beyond the sanitizers (the tail, the password and the usage
// message lie in heap blocks of exactly their size):
// - the result is one of the three; the folder and the password end with a NUL within 255
//   characters;
// - the tail changed only where a blank in front of a switch character became a NUL (and
//   stays one unless "/#" rejoined it) or a 0x01 byte became a blank;
// - the command keeps its part up to its first '|' and has one ('|' appended when it had
//   none), or is unchanged;
// - the usage message ends inside its buffer and starts with the first text as it stands.
#include "fuzz/entries.h"
#include "startup/commandline.h"
#include "startup/optionsblock.h"
#include "startup/textblock.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

bool isswitchchar(char c) {
    return c == '/' || c == '-' || c == '\\';
}

void checktail(const std::string& before, const std::vector<char>& after) {
    for (size_t i = 0; i < before.size(); i++) {
        char was = before[i], is = after[i];
        if (was == '\x01') {
            check(is == ' ');
        } else if (is != was) {
            check(was == ' ' && i + 1 < before.size() && isswitchchar(before[i + 1]) && is == 0);
        }
    }
    check(after[before.size()] == 0);
}

void checkcommand(const std::string& before, const char* after) {
    if (before == after) return;
    std::string kept = before.substr(0, before.find('|'));
    check(strncmp(after, kept.c_str(), kept.size()) == 0 && after[kept.size()] == '|');
}

void checkusage(const std::string& modulepath) {
    std::vector<const char*> texts(kTextCount, modulepath.c_str());
    std::vector<char> out(kUsageBuffer);
    check(formatusage(out.data(), kUsageBuffer, modulepath.c_str(), texts.data()) == out.data());
    size_t length = strnlen(out.data(), out.size());
    check(length < out.size());
    size_t shown = modulepath.size() < length ? modulepath.size() : length;
    check(memcmp(out.data(), modulepath.data(), shown) == 0);
}

} // namespace

void fuzzentry::commandline(const unsigned char* data, size_t size) {
    if (size < 2) return;
    static const char* const kCommands[] = {"", "setup.exe", "setup.exe|-q"};
    const std::string command = kCommands[data[0] % 3];
    const size_t passwordsize = data[1] + 1u;
    const char* text = reinterpret_cast<const char*>(data + 2);
    const size_t textsize = size - 2;
    const size_t taillength = strnlen(text, textsize);
    const std::string before(text, taillength);

    SfxOptions* options = makesfxoptions();
    check(options != nullptr);
    free(options->command);
    options->command = strdup(command.c_str());
    check(options->command != nullptr);
    memset(options->destfolder, 'F', sizeof options->destfolder - 1);
    std::vector<char> password(passwordsize, 'P');
    password.back() = 0;
    std::vector<char> tail(before.begin(), before.end());
    tail.push_back(0);

    CommandLineResult result =
        applycommandline(tail.data(), options, password.data(), password.size());
    check(result == kCommandLineGoOn || result == kCommandLineUsage ||
          result == kCommandLineNoMemory);
    check(strnlen(options->destfolder, sizeof options->destfolder) <= kSwitchValueLength);
    check(strnlen(password.data(), password.size()) < password.size());
    checktail(before, tail);
    checkcommand(command, options->command);
    releasesfxoptions(options);

    size_t rest = taillength < textsize ? taillength + 1 : textsize;
    checkusage(std::string(text + rest, strnlen(text + rest, textsize - rest)));
}
