// The stub image's entry point: puts the packed code section back in place, then starts the
// stub at sfxentry.
//
// The loader maps the code section as zero-filled pages (the file holds none of its bytes)
// and the section .boot, which holds this code and the packed stream (stub/stub.ld). The
// stream is inflated into the zero-filled data section .bss, which nothing has used yet: the
// code part so that it ends where the stub's own data ends, the resource data behind it, at
// the section's end, where the resource tree points (the build checks that the code part
// fits). The code is written from there with its pages made writable for the time, and the
// code part is cleared again before the stub runs.
// Like stub/unpack.cpp, this file may call only itself, stub/unpack.cpp and imported
// functions, which the loader has bound before the entry point runs.
#include "stub/sfxmain.h"
#include "stub/unpack.h"

#include <windows.h>

// Places the linker script marks.
extern "C" {
extern uint8_t codestart[] asm("__code_start__");
extern uint8_t codeend[] asm("__code_end__");
extern uint8_t runtimeresources[] asm("__bss_end__");
extern const PackedCode packedcode asm("__packed_code__");
}

static const char kDamaged[] = "This setup program is damaged. Please download it again.";

static bool restore(const uint8_t* unpacked) {
    size_t codelength = size_t(codeend - codestart);
    uint32_t delta = uint32_t(uintptr_t(codestart)) - packedcode.linkedcode;
    DWORD protection;
    return VirtualProtect(codestart, codelength, PAGE_READWRITE, &protection) &&
           restorecode(unpacked, packedcode.codelength, codestart, codelength, delta) &&
           VirtualProtect(codestart, codelength, PAGE_EXECUTE_READ, &protection) &&
           FlushInstructionCache(GetCurrentProcess(), codestart, codelength);
}

extern "C" __attribute__((force_align_arg_pointer)) void bootentry() {
    const uint8_t* stream = reinterpret_cast<const uint8_t*>(&packedcode + 1);
    uint8_t* unpacked = runtimeresources - packedcode.codelength;
    size_t expected = size_t(packedcode.codelength) + packedcode.resourcelength;
    if (inflatepacked(stream, packedcode.streamlength, unpacked, expected) != expected ||
        !restore(unpacked)) {
        MessageBoxA(nullptr, kDamaged, nullptr, MB_ICONERROR);
        ExitProcess(1);
    }
    for (size_t i = 0; i < packedcode.codelength; ++i) unpacked[i] = 0;
    sfxentry();
}
