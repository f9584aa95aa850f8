// Removing a test's folder with everything in it, also below MAX_PATH on Win32 and with
// members made read-only.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace testsupport {

#ifdef _WIN32
// With the wide calls and the long form of paths, which reach below MAX_PATH where the C++
// library's own calls do not.
inline void removelongtree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
        std::wstring name = found.cFileName, child = path + L"\\" + name;
        if (name == L"." || name == L"..") continue;
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                      !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (folder)
            removelongtree(child);
        else if (!DeleteFileW(child.c_str()))
            RemoveDirectoryW(child.c_str());
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    RemoveDirectoryW(path.c_str());
}
#endif

inline void removetree(const std::filesystem::path& folder) {
#ifdef _WIN32
    removelongtree(L"\\\\?\\" + std::filesystem::absolute(folder).wstring());
#else
    namespace fs = std::filesystem;
    std::error_code ignored;
    for (auto& entry : fs::recursive_directory_iterator(folder, ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder, ignored);
#endif
}

} // namespace testsupport
