// Another program's address space taken up from outside, so that a large allocation in that
// program fails as it would on a machine whose memory has run out.
//
// The program's free address space is reserved (VirtualAllocEx, MEM_RESERVE) in blocks of one
// size until the system has no such block left. From then on no free range of that size
// remains in the program, so any allocation of that size or more fails there, whatever
// allocator it goes through, while the smaller holes between the blocks still serve its small
// allocations: its windows and message boxes keep working. Nothing is committed, so no memory
// is used. The blocks are released when the fill goes out of scope.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace uitest {

class AddressSpaceFill {
  public:
    // Fills the address space of the process with this id in blocks of block bytes.
    AddressSpaceFill(DWORD process, std::size_t block);
    ~AddressSpaceFill();
    AddressSpaceFill(const AddressSpaceFill&) = delete;
    AddressSpaceFill& operator=(const AddressSpaceFill&) = delete;

    // Whether the fill is complete: the process was opened and refused one more block.
    bool complete() const { return complete_; }

  private:
    HANDLE process_ = nullptr;
    std::vector<void*> blocks_;
    bool complete_ = false;
};

} // namespace uitest
