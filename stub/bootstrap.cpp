// The stub image's entry point: puts the packed code section back in place, then starts the
// stub at sfxentry.
//
// The loader maps the code section as zero-filled pages (the file holds none of its bytes)
// and the section .boot, which holds this code and the packed stream (stub/stub.ld). The
// stream is inflated into the zero-filled data section .bss, which nothing has used yet and
// which is larger than what it holds (the build checks this); the code is written from there
// with its pages made writable for the time, and .bss is cleared again before the stub runs.
// Like stub/unpack.cpp, this file may call only itself, stub/unpack.cpp and imported
// functions, which the loader has bound before the entry point runs.
#include "stub/sfxmain.h"
#include "stub/unpack.h"

#include <windows.h>

// Places the linker script marks.
extern "C" {
extern uint8_t codestart[] asm("__code_start__");
extern uint8_t codeend[] asm("__code_end__");
extern uint8_t scratchstart[] asm("__bss_start__");
extern uint8_t scratchend[] asm("__bss_end__");
extern const PackedCode packedcode asm("__packed_code__");
}

static const char kDamaged[] = "This setup program is damaged. Please download it again.";

static bool restore(size_t length) {
    size_t codelength = size_t(codeend - codestart);
    uint32_t delta = uint32_t(uintptr_t(codestart)) - packedcode.linkedcode;
    DWORD protection;
    return length != kInflateFailed &&
           VirtualProtect(codestart, codelength, PAGE_READWRITE, &protection) &&
           restorecode(scratchstart, length, codestart, codelength, delta) &&
           VirtualProtect(codestart, codelength, PAGE_EXECUTE_READ, &protection) &&
           FlushInstructionCache(GetCurrentProcess(), codestart, codelength);
}

extern "C" __attribute__((force_align_arg_pointer)) void bootentry() {
    const uint8_t* stream = reinterpret_cast<const uint8_t*>(&packedcode + 1);
    size_t length = inflatepacked(stream, packedcode.streamlength, scratchstart,
                                  size_t(scratchend - scratchstart));
    if (!restore(length)) {
        MessageBoxA(nullptr, kDamaged, nullptr, MB_ICONERROR);
        ExitProcess(1);
    }
    for (size_t i = 0; i < length; ++i) scratchstart[i] = 0;
    sfxentry();
}
