// The key schedule of the traditional PKWARE cipher, shared by the engine's decryption and the
// package builder's encryption.
//
// Design: the three 32-bit keys are a plain record that its user keeps (the engine one in its
// state, the builder one per member). They start at 0x12345678, 0x23456789 and 0x34567890
// and take in every plain byte, first the password's, then the data's: key 0 and key 2
// through one CRC-32 table step (crcbyte, engine/crc32.h, so the CRC tables must be built
// while keys change), key 1 by a linear congruence on key 0's low byte. The key-stream byte
// comes from key 2's low 16 bits. The per-byte steps are forced inline: decryption runs them
// for every byte of a member, and they must compile to what their callers wrote by hand.
#pragma once

#include "engine/crc32.h"

struct CipherKeys {
    unsigned key[3];
};

// The keys before any byte has been taken in.
inline __attribute__((always_inline)) void startkeys(CipherKeys* keys) {
    keys->key[0] = 0x12345678u;
    keys->key[1] = 0x23456789u;
    keys->key[2] = 0x34567890u;
}

// Takes in one plain byte.
inline __attribute__((always_inline)) void takeplain(CipherKeys* keys, unsigned char plain) {
    keys->key[0] = crcbyte(keys->key[0], plain);
    keys->key[1] = (keys->key[1] + (keys->key[0] & 0xFF)) * 134775813u + 1;
    keys->key[2] = crcbyte(keys->key[2], static_cast<unsigned char>(keys->key[1] >> 24));
}

// The byte that the next plain byte is XORed with.
inline __attribute__((always_inline)) unsigned char keystreambyte(const CipherKeys* keys) {
    unsigned temp = (keys->key[2] & 0xFFFF) | 2;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

// One byte of cipher text decrypted; the keys take in the plain byte.
inline __attribute__((always_inline)) unsigned char decipher(CipherKeys* keys, unsigned char c) {
    unsigned char plain = static_cast<unsigned char>(c ^ keystreambyte(keys));
    takeplain(keys, plain);
    return plain;
}

// One plain byte encrypted; the keys take it in.
inline __attribute__((always_inline)) unsigned char encipher(CipherKeys* keys,
                                                             unsigned char plain) {
    unsigned char out = static_cast<unsigned char>(plain ^ keystreambyte(keys));
    takeplain(keys, plain);
    return out;
}
