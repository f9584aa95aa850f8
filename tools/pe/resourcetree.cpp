// Reading and writing the resource tree of a PE section.
//
// The writer lays the section out as linkers do: all directories (root, then the name level,
// then the language level), the data entries, the names, and then the data, each piece
// aligned to kResourceDataAlignment. Its output depends only on the resources, so two builds
// of the same package give the same bytes.
#include "tools/pe/resourcetree.h"

#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"

#include <algorithm>
#include <map>

namespace {

const char* const kLevelNames[] = {"type", "name", "language"};
const int kLevels = 3;
static_assert(sizeof kLevelNames / sizeof kLevelNames[0] == kLevels, "one name per level");

// A tree of kResourceLimit resources has at most that many entries on each level; more can
// only come from directories that several entries share, which could make the walk endless.
const std::size_t kEntryVisitLimit = std::size_t(kResourceLimit) * kLevels;

struct TreeReader {
    const std::string& section;
    std::uint32_t rva;
    std::vector<Resource>& out;
    std::size_t visited = 0;

    void need(std::uint64_t at, std::uint64_t size, const std::string& what) const {
        if (at > section.size() || size > section.size() - at)
            throw BuildError(what + " at offset " + std::to_string(at) +
                             " runs past the end of the resource section");
    }

    ResourceKey key(std::uint32_t field) const {
        if (!(field & kResourceHighBit)) return ResourceKey::number(field & 0xFFFF);
        std::uint32_t at = field & ~kResourceHighBit;
        need(at, 2, "a resource name");
        unsigned length = get16(section, at);
        need(at + 2, 2ull * length, "a resource name");
        ResourceKey k;
        k.named = true;
        for (unsigned i = 0; i < length; ++i)
            k.name.push_back(static_cast<char16_t>(get16(section, at + 2 + 2 * i)));
        return k;
    }

    void data(std::uint32_t at, Resource resource) {
        need(at, kResourceDataEntrySize, "a resource data entry");
        std::uint64_t where = get32(section, at), size = get32(section, at + 4);
        std::uint64_t end = rva + std::uint64_t(section.size());
        bool inside = where >= rva && where + size <= end;
        if (!inside && where + size > rva && where < end)
            throw BuildError("the data of resource " + resource.type.shown() + "/" +
                             resource.name.shown() + " runs across an end of the resource section");
        if (out.size() == kResourceLimit)
            throw BuildError("it holds more than " + std::to_string(int(kResourceLimit)) +
                             " resources");
        if (inside) {
            resource.data = section.substr(where - rva, size);
        } else {
            resource.heldat = static_cast<std::uint32_t>(where);
            resource.heldsize = static_cast<std::uint32_t>(size);
        }
        resource.codepage = get32(section, at + 8);
        out.push_back(std::move(resource));
    }

    void directory(std::uint32_t at, int level, Resource resource) {
        // Only data entries are taken at the last level, so this never throws; it tells the
        // optimiser that kLevelNames is never read past its end.
        if (level >= kLevels) throw BuildError("its resource tree is deeper than three levels");
        need(at, kResourceDirectorySize, std::string("the ") + kLevelNames[level] + " directory");
        std::uint64_t count = get16(section, at + 12) + std::uint64_t(get16(section, at + 14));
        need(at + kResourceDirectorySize, count * kResourceEntrySize,
             std::string("the ") + kLevelNames[level] + " directory's entries");
        for (std::uint64_t i = 0; i < count; ++i) {
            if (++visited > kEntryVisitLimit)
                throw BuildError("its resource tree has more entries than " +
                                 std::to_string(int(kResourceLimit)) + " resources need");
            std::size_t entry = at + kResourceDirectorySize + i * kResourceEntrySize;
            std::uint32_t name = get32(section, entry), target = get32(section, entry + 4);
            bool subdirectory = (target & kResourceHighBit) != 0;
            if (subdirectory != (level + 1 < kLevels))
                throw BuildError(std::string("a ") + kLevelNames[level] +
                                 " entry does not lead to the next level of the tree");
            Resource r = resource;
            if (level == 0) r.type = key(name);
            if (level == 1) r.name = key(name);
            if (level == 2) r.language = name & 0xFFFF;
            if (subdirectory)
                directory(target & ~kResourceHighBit, level + 1, std::move(r));
            else
                data(target, std::move(r));
        }
    }
};

// Type, then name, then language, in the order the loader searches.
bool loaderorder(const Resource& a, const Resource& b) {
    if (!(a.type == b.type)) return a.type < b.type;
    if (!(a.name == b.name)) return a.name < b.name;
    return a.language < b.language;
}

void align(std::string& out) {
    out.resize((out.size() + kResourceDataAlignment - 1) / kResourceDataAlignment *
                   kResourceDataAlignment,
               '\0');
}

void putdirectory(std::string& out, const std::vector<ResourceKey>& keys) {
    std::size_t named = std::count_if(keys.begin(), keys.end(), [](auto& k) { return k.named; });
    out.append(12, '\0'); // characteristics, time stamp and version: 0 for reproducible output
    put16(out, static_cast<unsigned>(named));
    put16(out, static_cast<unsigned>(keys.size() - named));
}

// Each directory of the tree: the keys of its entries and the resources below each.
using Group = std::vector<std::pair<ResourceKey, std::vector<const Resource*>>>;

Group groupby(const std::vector<const Resource*>& resources, int level) {
    Group group;
    for (const Resource* r : resources) {
        ResourceKey k = level == 0   ? r->type
                        : level == 1 ? r->name
                                     : ResourceKey::number(r->language);
        if (group.empty() || !(group.back().first == k)) group.push_back({k, {}});
        group.back().second.push_back(r);
    }
    return group;
}

} // namespace

ResourceKey ResourceKey::number(unsigned id) {
    ResourceKey k;
    k.id = id;
    return k;
}

ResourceKey ResourceKey::text(const std::string& ascii) {
    ResourceKey k;
    k.named = true;
    k.name.assign(ascii.begin(), ascii.end());
    return k;
}

bool ResourceKey::operator<(const ResourceKey& other) const {
    if (named != other.named) return named;
    return named ? name < other.name : id < other.id;
}

std::string ResourceKey::shown() const {
    if (!named) return std::to_string(id);
    std::string ascii;
    for (char16_t c : name) ascii.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return ascii;
}

std::vector<Resource> readresources(const std::string& section, std::uint32_t rva) {
    std::vector<Resource> resources;
    TreeReader{section, rva, resources}.directory(0, 0, Resource());
    std::vector<const Resource*> sorted;
    for (const Resource& r : resources) sorted.push_back(&r);
    auto before = [](const Resource* a, const Resource* b) { return loaderorder(*a, *b); };
    std::sort(sorted.begin(), sorted.end(), before);
    for (std::size_t i = 1; i < sorted.size(); ++i)
        if (!before(sorted[i - 1], sorted[i]))
            throw BuildError("it holds resource " + sorted[i]->type.shown() + "/" +
                             sorted[i]->name.shown() + " twice in one language");
    return resources;
}

std::string writeresources(std::vector<Resource> resources, std::uint32_t rva) {
    std::sort(resources.begin(), resources.end(), loaderorder);
    std::vector<const Resource*> all;
    for (const Resource& r : resources) all.push_back(&r);

    // The directories of each level in the order they are written, and where each begins.
    std::vector<std::vector<const Resource*>> levels[kLevels] = {{all}};
    for (int level = 1; level < kLevels; ++level)
        for (const auto& parent : levels[level - 1])
            for (auto& [k, below] : groupby(parent, level - 1)) levels[level].push_back(below);
    std::size_t size = 0;
    std::vector<std::size_t> starts[kLevels];
    for (int level = 0; level < kLevels; ++level)
        for (const auto& d : levels[level]) {
            starts[level].push_back(size);
            size += kResourceDirectorySize + groupby(d, level).size() * kResourceEntrySize;
        }
    std::size_t entries = size;
    std::size_t names = entries + resources.size() * kResourceDataEntrySize;

    std::string out, strings;
    std::map<std::u16string, std::size_t> nameat;
    auto nameoffset = [&](const ResourceKey& k) {
        auto found = nameat.find(k.name);
        if (found != nameat.end()) return found->second;
        std::size_t at = names + strings.size();
        put16(strings, static_cast<unsigned>(k.name.size()));
        for (char16_t c : k.name) put16(strings, c);
        return nameat[k.name] = at;
    };
    std::size_t next[kLevels] = {0, 0, 0}, leaf = 0;
    for (int level = 0; level < kLevels; ++level)
        for (const auto& d : levels[level]) {
            Group group = groupby(d, level);
            std::vector<ResourceKey> keys;
            for (auto& g : group) keys.push_back(g.first);
            putdirectory(out, keys);
            for (auto& [k, below] : group) {
                put32(out, k.named ? kResourceHighBit | static_cast<std::uint32_t>(nameoffset(k))
                                   : k.id);
                if (level + 1 < kLevels)
                    put32(out, kResourceHighBit | static_cast<std::uint32_t>(
                                                      starts[level + 1][next[level + 1]++]));
                else
                    put32(out,
                          static_cast<std::uint32_t>(entries + kResourceDataEntrySize * leaf++));
            }
        }
    out.resize(names); // the data entries are filled in below
    out += strings;
    for (std::size_t i = 0; i < resources.size(); ++i) {
        const Resource& r = resources[i];
        std::size_t entry = entries + i * kResourceDataEntrySize;
        set32(out, entry + 8, r.codepage);
        if (r.heldat) {
            set32(out, entry, r.heldat);
            set32(out, entry + 4, r.heldsize);
            continue;
        }
        align(out);
        set32(out, entry, rva + static_cast<std::uint32_t>(out.size()));
        set32(out, entry + 4, static_cast<std::uint32_t>(r.data.size()));
        out += r.data;
    }
    return out;
}

Resource* findresource(std::vector<Resource>& resources, const ResourceKey& type,
                       const ResourceKey& name) {
    for (Resource& r : resources)
        if (r.type == type && r.name == name) return &r;
    return nullptr;
}

const Resource* findresource(const std::vector<Resource>& resources, const ResourceKey& type,
                             const ResourceKey& name) {
    return findresource(const_cast<std::vector<Resource>&>(resources), type, name);
}
