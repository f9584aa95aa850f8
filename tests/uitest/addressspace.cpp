// Another program's address space taken up from outside (see addressspace.h).
#include "tests/uitest/addressspace.h"

#include <cstdint>

namespace uitest {

namespace {

// More blocks than a 32-bit address space can hold, so the loop ends even if the system
// never refuses.
std::size_t mostblocks(std::size_t block) {
    return std::size_t((std::uint64_t(1) << 32) / block + 1);
}

} // namespace

AddressSpaceFill::AddressSpaceFill(DWORD process, std::size_t block) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_QUERY_INFORMATION, FALSE, process);
    if (!process_) return;
    for (std::size_t n = mostblocks(block); n > 0; n--) {
        void* taken = VirtualAllocEx(process_, nullptr, block, MEM_RESERVE, PAGE_NOACCESS);
        if (!taken) {
            complete_ = true;
            return;
        }
        blocks_.push_back(taken);
    }
}

AddressSpaceFill::~AddressSpaceFill() {
    for (void* taken : blocks_) VirtualFreeEx(process_, taken, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
}

} // namespace uitest
