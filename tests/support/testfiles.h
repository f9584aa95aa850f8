// Helpers of the package builder's tests: a temporary folder removed at the end of each test,
// whole-file reading and writing, and fake stubs.
//
// A fake stub is bytes the builder must treat as opaque: it holds stray '{' characters and
// partial markers, so a package whose text block is still found proves the builder does not
// depend on what the stub contains.
#pragma once

#include "tools/base/littleendian.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace toolstest {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() {
        static std::atomic<unsigned> counter{0};
        std::random_device seed;
        path_ = fs::temp_directory_path() /
                ("orv-tools-" + std::to_string(seed()) + "-" + std::to_string(counter++));
        fs::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

inline void writebytes(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readbytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// The header fields the builder checks in a stub, as a PE32 GUI program for i386 has them.
struct StubHeaders {
    unsigned machine = 0x014C;
    unsigned optionalsize = 0xE0;
    unsigned magic = 0x010B;
    unsigned subsystem = 2;
};

// size bytes of filler with a stray '{' and "{SLF" every 1000 bytes (never a whole marker),
// behind the DOS and PE headers of a stub (PE signature at 0x80, no sections: enough for the
// builder's check and for osslsigncode, not for Windows).
inline std::string fakestub(std::size_t size, const StubHeaders& headers = {}) {
    std::string stub(size, 'M');
    for (std::size_t at = 1000; at + 4 < size; at += 1000) stub.replace(at, 4, "{SLF");
    for (std::size_t at = 500; at < size; at += 1000) stub[at] = '{';
    auto put16 = [&stub](std::size_t at, unsigned value) {
        if (at + 1 < stub.size()) set16(stub, at, value);
    };
    if (size < 0x100) return stub;
    stub.replace(0, 2, "MZ");
    put16(0x3C, 0x80);
    put16(0x3E, 0);
    stub.replace(0x80, 4, std::string("PE\0\0", 4));
    put16(0x84, headers.machine);
    put16(0x84 + 16, headers.optionalsize);
    put16(0x98, headers.magic);
    put16(0x98 + 68, headers.subsystem);
    // 16 empty data directories, so that a signing tool finds the certificate table entry.
    put16(0x98 + 92, 16);
    put16(0x98 + 94, 0);
    if (size >= 0x98 + 96 + 128) stub.replace(0x98 + 96, 128, std::string(128, '\0'));
    return stub;
}

} // namespace toolstest
