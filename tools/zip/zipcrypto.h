// Traditional PKWARE encryption of archive members, and the derived header source used for
// reproducible encrypted packages.
//
// The cipher's key schedule is the engine's own (engine/zipcipher.h), so members are encrypted
// exactly as the stub decrypts them. Every member's data is preceded by a 12-byte header: 11 bytes
// that must differ between members and packages, and the high byte of the member's CRC-32, which
// the extractor checks after decrypting the header to tell a wrong password early. The header is
// encrypted like the data.
#pragma once

#include "tools/zip/zipmember.h"

#include <cstdint>
#include <string>

enum : unsigned {
    kCryptHeaderSize = 12,
    kCryptHeaderRandom = 11, // bytes of the header that come from the header source
};
static_assert(kCryptHeaderRandom + 1 == kCryptHeaderSize, "random bytes and the check byte");

// The header (11 source bytes and the check byte crc >> 24) and stored, encrypted under
// password.
std::string encryptmember(const std::string& stored, const std::string& password,
                          const unsigned char (&source)[kCryptHeaderRandom], std::uint32_t crc);

// The inverse, for tests: the plain data behind the 12-byte header, or an empty optional-like
// false when the check byte does not match crc.
bool decryptmember(const std::string& encrypted, const std::string& password, std::uint32_t crc,
                   std::string& plain);

// A header source that derives the 11 bytes from the password, the member's name and its
// contents, so the same inputs give the same package. Two packages with the same member and
// password then share that member's header, which tells an observer that the member is the
// same; that is the price of reproducible encrypted packages, and the builder asks for it
// explicitly.
ZipHeaderSource derivedheadersource(const std::string& password);
