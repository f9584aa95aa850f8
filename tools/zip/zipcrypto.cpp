// Traditional PKWARE encryption: the three-key stream cipher and the member header.
#include "tools/zip/zipcrypto.h"

namespace {

// The CRC-32 step of the cipher (reflected polynomial 0xEDB88320), one byte at a time.
struct CrcTable {
    std::uint32_t entry[256];
    CrcTable() {
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            entry[n] = c;
        }
    }
};
const CrcTable kCrc;

std::uint32_t crcstep(std::uint32_t crc, unsigned char byte) {
    return kCrc.entry[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

class Cipher {
  public:
    explicit Cipher(const std::string& password) {
        for (char c : password) update(static_cast<unsigned char>(c));
    }
    unsigned char keystream() const {
        unsigned temp = (keys_[2] | 2) & 0xFFFF;
        return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
    }
    void update(unsigned char plain) {
        keys_[0] = crcstep(keys_[0], plain);
        keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
        keys_[2] = crcstep(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
    }
    char encrypt(char c) {
        auto plain = static_cast<unsigned char>(c);
        unsigned char out = plain ^ keystream();
        update(plain);
        return static_cast<char>(out);
    }
    char decrypt(char c) {
        unsigned char plain = static_cast<unsigned char>(c) ^ keystream();
        update(plain);
        return static_cast<char>(plain);
    }

  private:
    std::uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

// 64-bit FNV-1a over a byte string, then SplitMix64 to spread it into header bytes.
std::uint64_t fnv(std::uint64_t hash, const std::string& bytes) {
    for (char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    return hash;
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
    Cipher cipher(password);
    std::string out;
    out.reserve(kCryptHeaderSize + stored.size());
    for (unsigned char b : source) out.push_back(cipher.encrypt(static_cast<char>(b)));
    out.push_back(cipher.encrypt(static_cast<char>(crc >> 24)));
    for (char c : stored) out.push_back(cipher.encrypt(c));
    return out;
}

bool decryptmember(const std::string& encrypted, const std::string& password, std::uint32_t crc,
                   std::string& plain) {
    if (encrypted.size() < kCryptHeaderSize) return false;
    Cipher cipher(password);
    char check = 0;
    for (unsigned i = 0; i < kCryptHeaderSize; ++i) check = cipher.decrypt(encrypted[i]);
    if (static_cast<unsigned char>(check) != (crc >> 24)) return false;
    plain.clear();
    for (std::size_t i = kCryptHeaderSize; i < encrypted.size(); ++i)
        plain.push_back(cipher.decrypt(encrypted[i]));
    return true;
}

ZipHeaderSource derivedheadersource(const std::string& password) {
    return [password](unsigned char* bytes, std::size_t n, const std::string& name,
                      const std::string& data) {
        std::uint64_t state = 0xCBF29CE484222325ull;
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
