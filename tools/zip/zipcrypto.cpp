// Traditional PKWARE encryption: the three-key stream cipher and the member header.
#include "tools/zip/zipcrypto.h"

#include "common/fnv.h"
#include "engine/zipcipher.h"
#include "tools/base/builderror.h"

namespace {

// The keys after the password, every byte of it. The key schedule's CRC step reads the
// engine's CRC tables, built here if they are not: an engine run frees them when it ends,
// but runs and packages are made one after another, never while a member is encrypted.
CipherKeys passwordkeys(const std::string& password) {
    if (!buildcrctable()) throw BuildError("out of memory");
    CipherKeys keys;
    startkeys(&keys);
    for (char c : password) takeplain(&keys, static_cast<unsigned char>(c));
    return keys;
}

// 64-bit FNV-1a over a byte string (common/fnv.h), then SplitMix64 to spread it into header
// bytes.
std::uint64_t fnv(std::uint64_t hash, const std::string& bytes) {
    return fnv1a(hash, bytes.data(), bytes.size());
}
std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

std::string encryptmember(const std::string& stored, const std::string& password,
                          const unsigned char (&source)[kCryptHeaderRandom], std::uint32_t crc) {
    CipherKeys keys = passwordkeys(password);
    std::string out;
    out.reserve(kCryptHeaderSize + stored.size());
    for (unsigned char b : source) out.push_back(static_cast<char>(encipher(&keys, b)));
    out.push_back(static_cast<char>(encipher(&keys, static_cast<unsigned char>(crc >> 24))));
    for (char c : stored)
        out.push_back(static_cast<char>(encipher(&keys, static_cast<unsigned char>(c))));
    return out;
}

bool decryptmember(const std::string& encrypted, const std::string& password, std::uint32_t crc,
                   std::string& plain) {
    if (encrypted.size() < kCryptHeaderSize) return false;
    CipherKeys keys = passwordkeys(password);
    unsigned char check = 0;
    for (unsigned i = 0; i < kCryptHeaderSize; ++i)
        check = decipher(&keys, static_cast<unsigned char>(encrypted[i]));
    if (check != (crc >> 24)) return false;
    plain.clear();
    for (std::size_t i = kCryptHeaderSize; i < encrypted.size(); ++i)
        plain.push_back(
            static_cast<char>(decipher(&keys, static_cast<unsigned char>(encrypted[i]))));
    return true;
}

ZipHeaderSource derivedheadersource(const std::string& password) {
    return [password](unsigned char* bytes, std::size_t n, const std::string& name,
                      const std::string& data) {
        std::uint64_t state = kFnvStart;
        for (const std::string* part : {&password, &name, &data}) {
            state = fnv(state, *part);
            state = fnv(state, std::string(1, '\0')); // keeps "ab"+"c" apart from "a"+"bc"
        }
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (i % 8 == 0) word = splitmix(state);
            bytes[i] = static_cast<unsigned char>(word >> (8 * (i % 8)));
        }
    };
}
