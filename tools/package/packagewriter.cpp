// Assembling a package from its pieces.
//
// The marker window and the stub-size limit come from startup/textblock.h, the stub's own
// constants, so the builder and the stub cannot disagree about where the text block may lie.
#include "tools/package/packagewriter.h"

#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"
#include "tools/zip/zipreader.h"

namespace {

const std::uint64_t kPaddedStubSize = kMarkerSearchStart - kPaddingAreaSize;
static_assert(kPaddedStubSize + kPaddingAreaSize == 30000, "a padded stub puts T at 30,000");

} // namespace

std::string wholemarker(const unsigned char* stored, unsigned size) {
    std::string marker(size, '\0');
    completemarker(bytesat(marker, 0), stored, size);
    return marker;
}

std::string packagehead(const std::string& stub, const std::string& textblock,
                        const std::string& optionsblock, PackageLayout* layout) {
    if (stub.size() > kStubSizeLimit)
        throw BuildError("the stub has " + std::to_string(stub.size()) + " bytes; at most " +
                         std::to_string(int(kStubSizeLimit)) +
                         " leave its text block where the stub can find it");
    std::string marker = wholemarker(kTextMarkerStored, kTextMarkerSize);
    if (stub.size() >= kMarkerSearchStart &&
        stub.find(marker, kMarkerSearchStart) != std::string::npos)
        throw BuildError("the stub contains the text block marker " + marker +
                         " where it searches for its text block");
    PackageLayout where;
    where.stubsize = stub.size();
    where.padding = stub.size() < kPaddedStubSize ? kPaddedStubSize - stub.size() : 0;
    where.areaoffset = where.stubsize + where.padding;
    where.textoffset = where.areaoffset + kPaddingAreaSize;
    where.optionsoffset = where.textoffset + textblock.size();
    where.archiveoffset = where.optionsoffset + optionsblock.size();
    if (layout) *layout = where;

    std::string head = stub;
    head.append(where.padding + kPaddingAreaSize, '\0');
    return head + textblock + optionsblock;
}

std::string assemblepackage(const std::string& stub, const std::string& textblock,
                            const std::string& optionsblock, const std::string& archive,
                            PackageLayout* layout) {
    PackageLayout where;
    std::string package = packagehead(stub, textblock, optionsblock, &where);
    ZipArchive directory = readziparchive(archive);
    checkforstub(archive, directory);
    package += rebasearchive(archive, directory, where.archiveoffset);
    if (layout) *layout = where;
    return package;
}
