// Encryption headers from the kernel's random source.
#include "tools/zip/randomsource.h"

#include "tools/base/builderror.h"

#include <cerrno>
#include <fstream>
#include <sys/random.h>

namespace {

bool fromgetrandom(unsigned char* bytes, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = getrandom(bytes + done, n - done, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

bool fromdevice(unsigned char* bytes, std::size_t n) {
    std::ifstream device("/dev/urandom", std::ios::binary);
    return device.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(n)) &&
           device.gcount() == static_cast<std::streamsize>(n);
}

} // namespace

ZipHeaderSource systemheadersource() {
    return [](unsigned char* bytes, std::size_t n, const std::string&, const std::string&) {
        if (!fromgetrandom(bytes, n) && !fromdevice(bytes, n))
            throw BuildError("the system's random source gives no bytes for the encryption "
                             "headers");
    };
}
