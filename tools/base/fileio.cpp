// Whole-file reading with one-line errors that name the file and its role.
#include "tools/base/fileio.h"

#include "tools/base/builderror.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

std::string readfile(const std::string& path, const std::string& what) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw BuildError("cannot read " + what + " " + path + ": " + std::strerror(errno));
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw BuildError("cannot read " + what + " " + path);
    return content.str();
}
