// Members for the ZIP tests: a file with its name, contents and modification time.
#pragma once

#include "tools/zip/zipmember.h"

#include <cstdint>
#include <string>

namespace toolstest {

inline ZipMember filemember(const std::string& name, const std::string& data, std::int64_t mtime) {
    ZipMember m;
    m.name = name;
    m.data = data;
    m.mtime = mtime;
    return m;
}

} // namespace toolstest
