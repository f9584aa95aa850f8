// The version report: orvsfx, the stub it builds with when no --stub is given, its libraries.
#include "tools/cli/version.h"

#include "resources/version.h"
#include "tools/base/builderror.h"
#include "tools/base/fileio.h"
#include "tools/cli/stublocation.h"
#include "tools/pe/branding.h"

#include <libdeflate.h>
#include <lzma.h>
#include <zlib.h>

namespace {

// The libraries linked into orvsfx, with the versions of the headers it was compiled with.
struct Library {
    const char* name;
    const char* version;
};
const Library kLibraries[] = {{"libdeflate", LIBDEFLATE_VERSION_STRING},
                              {"zlib", ZLIB_VERSION},
                              {"liblzma", LZMA_VERSION_STRING}};

// The ProductVersion of the stub's version resource, which the stub's build takes from
// resources/version.h as orvsfx does.
std::string stubversion(const std::string& image) {
    try {
        for (const auto& [key, value] : readbranding(image).strings)
            if (key == "ProductVersion") return value;
        return "without a version";
    } catch (const BuildError& e) {
        return std::string("of an unknown version (") + e.what() + ")";
    }
}

std::string stubline() {
    StubPlace place = installedstub();
    if (!place.problem.empty()) return "stub: none (" + place.problem + ")";
    std::string image = readfile(place.path, "the stub");
    return "stub: " + stubversion(image) + ", " + std::to_string(image.size()) + " bytes, " +
           place.path;
}

} // namespace

std::string versionreport() {
    std::string libraries;
    for (const Library& library : kLibraries)
        libraries +=
            std::string(libraries.empty() ? "" : ", ") + library.name + " " + library.version;
    return std::string("orvsfx ") + ORV_VERSION_TEXT + "\n" + stubline() + "\nbuilt with " +
           libraries + "\n";
}
