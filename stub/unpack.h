// Restoring the stub's code from its packed form: the start-up step that runs before any
// other code of the stub exists in memory.
//
// The build (stub/pack-stub.py) stores the linked program's code section as one Deflate
// stream; inflated, the stream holds
//     the code section's bytes, with every call and jump target made absolute (below)
//     the code section's base relocations, one gap each (below)
//     the data of the resources that only the running stub reads (its dialogs, the legal
//     page, the link cursor, the password icon), which the resource tree expects at the
//     end of the zero-filled data section
// The image's own relocation table keeps only the entries outside the code section, so the
// loader never touches the packed code; restorecode applies the rest once the code is back.
//
// Calls (0xE8) and jumps (0xE9) carry a target relative to the next instruction. Stored
// relative, one function called from many places gives many different numbers; made
// absolute (the offset of the instruction's end added, modulo 2^32), it gives one, which
// Deflate finds again and again. Every 0xE8 or 0xE9 byte is taken for an instruction and
// its next four bytes for the target, whether or not it really is one; a scan from the
// start then skips exactly the same bytes when packing and when restoring, so the
// transform is undone exactly.
//
// A relocation is the offset of a 32-bit address inside the code section. They are stored
// in rising order as gaps from the previous one (the first from offset 0): a gap below
// kLongGapMark is one byte; a longer one is kLongGapMark and the gap in 16 bits,
// little-endian.
//
// No Win32 here, so that the host tests run both steps on streams of their own.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum : uint32_t {
    kLongGapMark = 0xFF,
    kLongGapLimit = 0x10000, // gaps from kLongGapMark on are stored in 16 bits
};

// The stream's place in the image, as the build writes it: a little header and the Deflate
// data after it.
struct PackedCode {
    uint32_t linkedcode;     // the address the code section was linked for
    uint32_t streamlength;   // bytes of Deflate data that follow
    uint32_t codelength;     // inflated bytes that restore the code: the code, the relocations
    uint32_t resourcelength; // inflated bytes of resource data after them
    // uint8_t stream[streamlength];
};
static_assert(sizeof(PackedCode) == 16, "the header the build writes is four 32-bit fields");

enum : size_t { kInflateFailed = SIZE_MAX };

// Inflates the raw Deflate stream in[0..inlength) into out[0..outlimit). Returns the
// number of bytes written, or kInflateFailed when the stream is damaged, ends early or
// does not fit. Never reads or writes outside the two ranges.
size_t inflatepacked(const uint8_t* in, size_t inlength, uint8_t* out, size_t outlimit);

// Writes the code section from the inflated stream unpacked[0..length): its first
// codelength bytes with the call targets made relative again go to code, and the
// relocations that follow add delta (where the code section was loaded minus linkedcode) to their
// addresses. False when the stream is shorter than the code or a relocation lies outside
// it; code may then be partly written.
bool restorecode(const uint8_t* unpacked, size_t length, uint8_t* code, size_t codelength,
                 uint32_t delta);
