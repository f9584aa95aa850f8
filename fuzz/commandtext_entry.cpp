// Fuzz entry for the after-extraction command's preparation: tokens replaced, the split at
// '|', the verb and the working folder.
//
// Input: four texts separated by NUL bytes: the command, the destination folder, the
// current folder and the program's own path (missing ones are empty).
//
// Checks on every output, beyond the sanitizers:
// - preparation succeeds, and the file, parameters and folder end with a NUL inside their
//   buffers;
// - the verb is "Install" exactly when the file names ".inf", else "Merge" exactly when it
//   names ".reg" (ignoring case), else none;
// - when no input holds a '|', the parameters are empty unless the command had a '|', and
//   the file holds no '|';
// - the working folder is the start of the destination written with '\' separators (a
//   destination of at most two characters, such as "C:", gets its separator);
// - a command without tokens and without '|' is the file, cut to its buffer.
#include "fuzz/entries.h"
#include "setup/commandtext.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition) __builtin_trap();
}

bool containsnocase(const std::string& text, const std::string& pattern) {
    std::string upper = text, upperpattern = pattern;
    for (char& c : upper) c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    for (char& c : upperpattern) c = (c >= 'a' && c <= 'z') ? char(c - 32) : c;
    return upper.find(upperpattern) != std::string::npos;
}

bool hastoken(const std::string& command) {
    for (const char* token : {"><", "{P}", "..\\", ".\\", "{S}"})
        if (containsnocase(command, token)) return true;
    return false;
}

} // namespace

void fuzzentry::commandtext(const unsigned char* data, size_t size) {
    std::vector<std::string> fields(4);
    size_t field = 0;
    for (size_t i = 0; i < size && field < fields.size(); i++) {
        if (data[i] == 0)
            field++;
        else
            fields[field] += char(data[i]);
    }
    const std::string& command = fields[0];
    PreparedCommand out;
    check(preparecommand(command.c_str(), fields[1].c_str(), fields[2].c_str(), fields[3].c_str(),
                         &out));
    size_t filelength = strnlen(out.file, sizeof out.file);
    size_t parameterlength = strnlen(out.parameters, sizeof out.parameters);
    size_t folderlength = strnlen(out.folder, sizeof out.folder);
    check(filelength < sizeof out.file && parameterlength < sizeof out.parameters &&
          folderlength < sizeof out.folder);

    std::string file(out.file);
    if (containsnocase(file, ".inf"))
        check(out.verb && strcmp(out.verb, "Install") == 0);
    else if (containsnocase(file, ".reg"))
        check(out.verb && strcmp(out.verb, "Merge") == 0);
    else
        check(out.verb == nullptr);

    bool barinput = false;
    for (const std::string& text : fields) barinput |= text.find('|') != std::string::npos;
    if (!barinput) check(parameterlength == 0 && file.find('|') == std::string::npos);

    std::string destination = fields[1];
    for (char& c : destination) c = c == '/' ? '\\' : c;
    check(destination.compare(0, folderlength, out.folder) == 0 || destination.size() <= 2);

    if (!hastoken(command) && command.find('|') == std::string::npos)
        check(file == command.substr(0, sizeof out.file - 1));
}
