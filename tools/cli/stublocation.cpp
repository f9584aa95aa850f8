// Finding the installed stub from the running program's own path.
#include "tools/cli/stublocation.h"

#include "tools/base/builderror.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

// The running program as the kernel knows it, every link resolved.
const char kOwnProgram[] = "/proc/self/exe";

// The stub's place relative to the folder holding the program.
fs::path stubbeside(const fs::path& programfolder) {
    return (programfolder / ".." / "share" / "orvsfx" / "stub.exe").lexically_normal();
}

} // namespace

StubPlace installedstub() {
    std::error_code error;
    fs::path program = fs::read_symlink(kOwnProgram, error);
    if (error)
        return {"", std::string("the program's own path cannot be read from ") + kOwnProgram};
    StubPlace place{stubbeside(program.parent_path()).string(), ""};
    if (fs::is_regular_file(place.path, error)) return place;
    place.problem = "no stub at " + place.path;
    if (fs::is_symlink(place.path, error))
        place.problem += " (a link to " + fs::read_symlink(place.path, error).string() +
                         ", which does not exist)";
    return place;
}

std::string defaultstub() {
    StubPlace place = installedstub();
    if (!place.problem.empty()) throw BuildError("no --stub given, and " + place.problem);
    return place.path;
}
