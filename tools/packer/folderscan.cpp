// Listing a folder to pack: names, sizes, times and DOS attributes of everything below it.
//
// DOS attributes: folders get the directory bit, files the archive bit, and anything the
// owner may not write is read-only, which is what the stub sets on the extracted file.
#include "tools/packer/folderscan.h"

#include "tools/base/builderror.h"
#include "tools/zip/ziplimits.h"

#include <algorithm>
#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

FolderItem describe(const fs::path& path, const std::string& name) {
    struct stat status;
    if (stat(path.c_str(), &status) != 0) throw BuildError("cannot read " + path.string());
    FolderItem item;
    item.path = path.string();
    item.isfolder = S_ISDIR(status.st_mode);
    if (!item.isfolder && !S_ISREG(status.st_mode))
        throw BuildError(path.string() + " is not a regular file or folder");
    item.name = item.isfolder ? name + "/" : name;
    item.size = item.isfolder ? 0 : static_cast<std::uint64_t>(status.st_size);
    item.mtime = status.st_mtime;
    item.atime = status.st_atime;
    item.dosattributes = (item.isfolder ? kDosDirectory : kDosArchive) |
                         ((status.st_mode & S_IWUSR) ? 0u : unsigned(kDosReadOnly));
    if (item.name.size() >= kNameLimit)
        throw BuildError("the name " + item.name + " has " + std::to_string(item.name.size()) +
                         " bytes; the stub takes at most " + std::to_string(kNameLimit - 1));
    return item;
}

} // namespace

std::vector<FolderItem> scanfolder(const std::string& root) {
    std::error_code error;
    if (!fs::is_directory(root, error)) throw BuildError(root + " is not a folder");
    std::vector<FolderItem> items;
    fs::recursive_directory_iterator walk(root, error), end;
    if (error) throw BuildError("cannot list " + root + ": " + error.message());
    for (; walk != end; walk.increment(error)) {
        if (error) throw BuildError("cannot list " + root + ": " + error.message());
        const fs::path& path = walk->path();
        if (walk->is_symlink(error) && fs::is_directory(path, error))
            throw BuildError(path.string() + " is a link to a folder; pack the folder itself");
        items.push_back(describe(path, path.lexically_relative(root).generic_string()));
    }
    if (error) throw BuildError("cannot list " + root + ": " + error.message());
    std::sort(items.begin(), items.end(),
              [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return items;
}
