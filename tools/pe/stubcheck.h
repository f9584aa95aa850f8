// Checking that a file given as the stub is a stub of this format: a PE32 GUI program for
// i386 that is small enough for its text block to be found.
//
// The fields looked at:
//   0x00  "MZ"                       DOS header
//   0x3C  e_lfanew (32-bit)          file offset of the PE signature
//   PE    "PE\0\0"                   followed by the 20-byte COFF header:
//   PE+4  machine (16-bit)           0x014C, i386
//   PE+20 size of the optional header (16-bit), which must hold the subsystem field
//   PE+24 optional header magic      0x010B, PE32
//   PE+24+68 subsystem (16-bit)      2, Windows GUI
#pragma once

#include <string>

enum : unsigned {
    kDosLfanewOffset = 0x3C,
    kPeSignatureSize = 4,
    kCoffHeaderSize = 20,
    kCoffOptionalSizeOffset = 16,  // from the COFF header's start
    kOptionalSubsystemOffset = 68, // from the optional header's start
    kOptionalMinimumSize = 70,     // the optional header up to and with the subsystem
    kMachineI386 = 0x014C,
    kOptionalMagicPe32 = 0x010B,
    kSubsystemWindowsGui = 2,
    kSubsystemWindowsConsole = 3,
};
static_assert(kOptionalSubsystemOffset + 2 == kOptionalMinimumSize, "subsystem is 16 bits");

// Throws BuildError "the stub PATH ...: reason" when image is not a usable stub.
void checkstubimage(const std::string& image, const std::string& path);
