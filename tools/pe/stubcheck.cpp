// The stub check: one reason per refusal, naming the file and the field that is wrong.
#include "tools/pe/stubcheck.h"

#include "startup/textblock.h"
#include "tools/base/builderror.h"
#include "tools/base/littleendian.h"

#include <cstdio>

namespace {

std::string hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

[[noreturn]] void refuse(const std::string& path, const std::string& reason) {
    throw BuildError("the stub " + path + " is not a PE32 GUI program for i386: " + reason);
}

} // namespace

void checkstubimage(const std::string& image, const std::string& path) {
    if (image.size() > kStubSizeLimit)
        throw BuildError("the stub " + path + " has " + std::to_string(image.size()) +
                         " bytes; at most " + std::to_string(int(kStubSizeLimit)) +
                         " leave its text block where the stub can find it");
    if (image.size() < kDosLfanewOffset + 4 || image.compare(0, 2, "MZ") != 0)
        refuse(path, "it has no MZ header");
    std::uint32_t pe = get32(image, kDosLfanewOffset);
    std::size_t optional = std::size_t(pe) + kPeSignatureSize + kCoffHeaderSize;
    if (pe > image.size() || image.size() - pe < kPeSignatureSize + kCoffHeaderSize)
        refuse(path, "its PE header offset " + hex(pe) + " lies outside the file");
    if (image.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        refuse(path, "there is no PE signature at " + hex(pe));
    unsigned machine = get16(image, pe + kPeSignatureSize);
    if (machine != kMachineI386)
        refuse(path, "its machine is " + hex(machine) + ", not i386 (0x14C)");
    unsigned optionalsize = get16(image, pe + kPeSignatureSize + kCoffOptionalSizeOffset);
    if (optionalsize < kOptionalMinimumSize || image.size() - optional < kOptionalMinimumSize)
        refuse(path, "its optional header is too short (" + std::to_string(optionalsize) +
                         " bytes) to hold the subsystem");
    unsigned magic = get16(image, optional);
    if (magic != kOptionalMagicPe32)
        refuse(path, "its optional header magic is " + hex(magic) + ", not PE32 (0x10B)");
    unsigned subsystem = get16(image, optional + kOptionalSubsystemOffset);
    if (subsystem != kSubsystemWindowsGui)
        refuse(path, "its subsystem is " + std::to_string(subsystem) +
                         (subsystem == kSubsystemWindowsConsole ? " (console)" : "") +
                         ", not 2 (Windows GUI)");
}
