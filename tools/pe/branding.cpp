// Writing a publisher's branding into a stub's resources, and reading it back for info.
//
// The stub's resource section is read into a list (tools/pe/resourcetree.h), the icon group
// MNICON, the version resource and the manifest are changed in that list, and the section is
// written again in place of the old one (tools/pe/peimage.h). Everything else in the stub keeps
// its bytes; a stub without branding is never rewritten.
#include "tools/pe/branding.h"

#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/fileio.h"
#include "tools/base/littleendian.h"
#include "tools/pe/peimage.h"
#include "tools/pe/versioninfo.h"

#include <algorithm>
#include <set>

namespace {

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";
static_assert(sizeof kPngSignature - 1 == kPngSignatureSize, "the PNG file signature");

const char* const kExecutionLevels[] = {"asInvoker", "requireAdministrator", "highestAvailable"};
const char kLevelElement[] = "requestedExecutionLevel";

const ResourceKey kIconGroup = ResourceKey::text("MNICON");
const ResourceKey kGroupType = ResourceKey::number(kResourceGroupIcon);
const ResourceKey kIconType = ResourceKey::number(kResourceIcon);
const ResourceKey kVersionType = ResourceKey::number(kResourceVersion);
const ResourceKey kManifestType = ResourceKey::number(kResourceManifest);
const ResourceKey kFirst = ResourceKey::number(1);

IconImage imageof(const std::string& entry, std::size_t at) {
    IconImage image;
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(entry[at + i]); };
    image.width = byte(0) ? byte(0) : 256;
    image.height = byte(1) ? byte(1) : 256;
    image.colors = byte(2);
    image.planes = get16(entry, at + 4);
    image.bitcount = get16(entry, at + 6);
    return image;
}

// The header of an icon file or group: reserved 0, type 1, count from 1 to kIconImageLimit.
unsigned iconcount(const std::string& bytes, std::size_t entrysize) {
    if (bytes.size() < kIconHeaderSize || get16(bytes, 0) != 0 || get16(bytes, 2) != 1)
        throw BuildError("it does not begin with an icon header (0, 1, count)");
    unsigned count = get16(bytes, 4);
    if (count == 0 || count > kIconImageLimit)
        throw BuildError("it holds " + std::to_string(count) + " images, not 1 to " +
                         std::to_string(int(kIconImageLimit)));
    if (bytes.size() - kIconHeaderSize < count * entrysize)
        throw BuildError("its directory of " + std::to_string(count) + " images is cut off");
    return count;
}

// The group resource for images whose RT_ICON ids are ids.
std::string groupof(const std::vector<IconImage>& images, const std::vector<unsigned>& ids) {
    std::string group;
    put16(group, 0);
    put16(group, 1);
    put16(group, static_cast<unsigned>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const IconImage& m = images[i];
        group.push_back(static_cast<char>(m.width & 0xFF));
        group.push_back(static_cast<char>(m.height & 0xFF));
        group.push_back(static_cast<char>(m.colors));
        group.push_back('\0');
        put16(group, m.planes);
        put16(group, m.bitcount);
        put32(group, static_cast<std::uint32_t>(m.data.size()));
        put16(group, ids[i]);
    }
    return group;
}

// The RT_ICON ids a group refers to.
std::vector<unsigned> groupids(const Resource& resource) {
    const std::string& group = resource.data;
    unsigned count = 0;
    try {
        count = iconcount(group, kGroupEntrySize);
    } catch (const BuildError& e) {
        throw BuildError("its icon group " + resource.name.shown() + ": " + e.what());
    }
    std::vector<unsigned> ids;
    for (unsigned i = 0; i < count; ++i)
        ids.push_back(get16(group, kIconHeaderSize + i * kGroupEntrySize + 12));
    return ids;
}

void replaceicon(std::vector<Resource>& resources, const std::vector<IconImage>& images) {
    Resource* group = findresource(resources, kGroupType, kIconGroup);
    if (!group) throw BuildError("it has no icon group MNICON to replace");
    std::vector<unsigned> old = groupids(*group);
    unsigned language = group->language;
    std::set<unsigned> kept; // ids other groups use
    for (const Resource& r : resources)
        if (r.type == kGroupType && !(r.name == kIconGroup))
            for (unsigned id : groupids(r)) kept.insert(id);
    std::vector<Resource> others;
    for (Resource& r : resources)
        if (!(r.type == kIconType && !r.name.named && !kept.count(r.name.id) &&
              std::count(old.begin(), old.end(), r.name.id)))
            others.push_back(std::move(r));
    resources = std::move(others);
    std::set<unsigned> used;
    for (const Resource& r : resources)
        if (r.type == kIconType && !r.name.named) used.insert(r.name.id);
    std::vector<unsigned> ids;
    for (unsigned id = 1; ids.size() < images.size(); ++id)
        if (!used.count(id)) ids.push_back(id);
    for (std::size_t i = 0; i < images.size(); ++i)
        resources.push_back({kIconType, ResourceKey::number(ids[i]), language, 0, images[i].data});
    findresource(resources, kGroupType, kIconGroup)->data = groupof(images, ids);
}

void setversion(std::vector<Resource>& resources, const Branding& b) {
    Resource* resource = findresource(resources, kVersionType, kFirst);
    if (!resource) throw BuildError("it has no version resource (RT_VERSION 1)");
    VersionInfo info = readversioninfo(resource->data);
    const std::pair<const char*, const std::string*> fields[] = {
        {"CompanyName", &b.company},
        {"FileDescription", &b.filedescription},
        {"LegalCopyright", &b.copyright},
        {"ProductName", &b.productname},
    };
    for (const auto& [key, value] : fields)
        if (!value->empty()) info.set(key, *value);
    if (!b.fileversion.empty()) {
        // The package is the publisher's product: its product version is its file version.
        info.setversions(parsefileversion(b.fileversion, "the file version"));
        info.set("FileVersion", b.fileversion);
        info.set("ProductVersion", b.fileversion);
    }
    resource->data = writeversioninfo(info);
}

// Where the level's value lies in the manifest text: [first, last).
std::pair<std::size_t, std::size_t> levelvalue(const std::string& manifest) {
    std::size_t element = manifest.find(kLevelElement);
    std::size_t end = manifest.find('>', element);
    std::size_t attribute =
        element == std::string::npos ? element : manifest.find(" level=", element);
    if (attribute == std::string::npos || attribute > end || attribute + 8 >= manifest.size())
        throw BuildError("its manifest has no requestedExecutionLevel with a level");
    std::size_t first = attribute + 8;
    char quote = manifest[first - 1];
    std::size_t last = manifest.find(quote, first);
    if ((quote != '"' && quote != '\'') || last == std::string::npos)
        throw BuildError("its manifest's execution level is not quoted");
    return {first, last};
}

void setlevel(std::vector<Resource>& resources, const std::string& level) {
    Resource* manifest = findresource(resources, kManifestType, kFirst);
    if (!manifest) throw BuildError("it has no application manifest (RT_MANIFEST 1)");
    auto [first, last] = levelvalue(manifest->data);
    manifest->data.replace(first, last - first, level);
}

std::string stubfault(const std::string& path, const std::string& reason) {
    return "the stub " + path + " cannot be branded: " + reason;
}

} // namespace

std::vector<IconImage> parseiconfile(const std::string& bytes, const std::string& path) {
    std::vector<IconImage> images;
    try {
        unsigned count = iconcount(bytes, kIconEntrySize);
        for (unsigned i = 0; i < count; ++i) {
            std::size_t entry = kIconHeaderSize + i * kIconEntrySize;
            IconImage image = imageof(bytes, entry);
            std::uint32_t size = get32(bytes, entry + 8), at = get32(bytes, entry + 12);
            std::string where = "image " + std::to_string(i + 1) + " (" + std::to_string(size) +
                                " bytes at " + std::to_string(at) + ")";
            if (at > bytes.size() || size > bytes.size() - at)
                throw BuildError("it is cut off: " + where + " runs past its end at " +
                                 std::to_string(bytes.size()));
            image.data = bytes.substr(at, size);
            image.png = image.data.compare(0, kPngSignatureSize, kPngSignature) == 0;
            if (!image.png &&
                (size < kBitmapHeaderSize || get32(image.data, 0) != kBitmapHeaderSize))
                throw BuildError(where + " is neither a PNG nor a bitmap");
            images.push_back(std::move(image));
        }
    } catch (const BuildError& e) {
        throw BuildError("the icon " + path + " is not a usable icon file: " + e.what());
    }
    return images;
}

bool Branding::any() const {
    for (const std::string* s : {&icon, &productname, &company, &fileversion, &filedescription,
                                 &copyright, &executionlevel})
        if (!s->empty()) return true;
    return false;
}

void checkexecutionlevel(const std::string& level, const std::string& what) {
    for (const char* known : kExecutionLevels)
        if (level == known) return;
    throw BuildError(what + " takes asInvoker, requireAdministrator or highestAvailable, not \"" +
                     level + "\"");
}

std::string brandstub(const std::string& stub, const std::string& stubpath, const Branding& b) {
    std::vector<IconImage> images;
    std::size_t iconbytes = 0;
    if (!b.icon.empty()) {
        std::string bytes = readfile(b.icon, "the icon");
        images = parseiconfile(bytes, b.icon);
        iconbytes = bytes.size();
    }
    std::string branded;
    try {
        PeImage pe = readpeimage(stub);
        int r = resourcesection(pe);
        if (r < 0) throw BuildError("it has no resources");
        const PeSection& section = pe.sections[r];
        std::vector<Resource> resources =
            readresources(sectionbytes(stub, section), section.virtualaddress);
        if (!images.empty()) replaceicon(resources, images);
        Branding versionfields = b;
        versionfields.icon.clear();
        versionfields.executionlevel.clear();
        if (versionfields.any()) setversion(resources, b);
        if (!b.executionlevel.empty()) setlevel(resources, b.executionlevel);
        branded = replaceresources(stub, pe, writeresources(resources, section.virtualaddress));
    } catch (const BuildError& e) {
        throw BuildError(stubfault(stubpath, e.what()));
    }
    if (branded.size() > kStubSizeLimit)
        throw BuildError((iconbytes ? "the icon " + b.icon + " (" + std::to_string(iconbytes) +
                                          " bytes) makes the stub "
                                    : std::string("the branded stub has ")) +
                         std::to_string(branded.size()) + " bytes; at most " +
                         std::to_string(int(kStubSizeLimit)) +
                         " leave its text block where the stub can find it");
    return branded;
}

BrandingInfo readbranding(const std::string& image) {
    BrandingInfo info;
    PeImage pe = readpeimage(image);
    int r = resourcesection(pe);
    if (r < 0) return info;
    info.hasresources = true;
    const PeSection& section = pe.sections[r];
    std::vector<Resource> resources =
        readresources(sectionbytes(image, section), section.virtualaddress);
    if (const Resource* group = findresource(resources, kGroupType, kIconGroup)) {
        std::vector<unsigned> ids = groupids(*group);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            IconImage m = imageof(group->data, kIconHeaderSize + i * kGroupEntrySize);
            if (const Resource* icon =
                    findresource(resources, kIconType, ResourceKey::number(ids[i])))
                m.data = icon->data;
            m.png = m.data.compare(0, kPngSignatureSize, kPngSignature) == 0;
            info.icon.push_back(std::move(m));
        }
    }
    if (const Resource* version = findresource(resources, kVersionType, kFirst)) {
        VersionInfo v = readversioninfo(version->data);
        info.hasversion = true;
        info.fileversion = v.fileversion();
        info.strings = v.strings;
    }
    if (const Resource* manifest = findresource(resources, kManifestType, kFirst)) {
        auto [first, last] = levelvalue(manifest->data);
        info.executionlevel = manifest->data.substr(first, last - first);
    }
    return info;
}
