# Compiler flags shared by every target of the project.
#
# orv_project_code(target): warnings as errors for code we write.
# orv_stub_code(target):    the size-first flags of everything linked into the stub
#                           (clang, -Oz, no exceptions, no RTTI, sections for --gc-sections).
# Portable libraries get the stub flags in the win32 build, so that what the stub links
# is compiled the same way whoever else links it.

set(ORV_WARNINGS -Wall -Wextra -Werror)

if(ORV_WIN32)
    # The stub's code is compiled by clang for the MinGW target (cmake/stub-clang.sh); the
    # toolchain's GCC compiles the test programs and links everything.
    find_program(ORV_STUB_CLANG NAMES clang++ clang++-14 REQUIRED)
endif()

function(orv_project_code target)
    target_compile_options(${target} PRIVATE ${ORV_WARNINGS})
endfunction()

function(orv_stub_code target)
    orv_project_code(${target})
    if(ORV_WIN32)
        set_target_properties(${target} PROPERTIES CXX_COMPILER_LAUNCHER
            "${PROJECT_SOURCE_DIR}/cmake/stub-clang.sh;${ORV_STUB_CLANG}")
        target_compile_options(${target} PRIVATE
            -Oz -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-asynchronous-unwind-tables
            -ffunction-sections -fno-stack-protector -fomit-frame-pointer)
        # The i686 MinGW compiler keeps a frame pointer by default: a prologue, an epilogue
        # and one register fewer in every function (about 1 KB of the stub). -Oz trades speed
        # for size where -Os would not (constants pushed and popped, fewer unrolled moves);
        # the stub's inner loops, the inflater and the CRC, keep -Os (engine/CMakeLists.txt).
        # No -fdata-sections: for PE targets it would place zero-filled globals such as the
        # engine state with its 64 KiB window in .data, stored in the file, instead of .bss.
        # printf and friends from msvcrt.dll, not MinGW's own (larger) implementation,
        # which C++ mode would otherwise select.
        target_compile_definitions(${target} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    endif()
endfunction()

if(NOT ORV_WIN32 AND ORV_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(ORV_WIN32)
    # Win32 test programs carry their own C++ runtime so that Wine needs no extra DLLs.
    set(ORV_WIN32_TEST_LINK -static -static-libgcc -static-libstdc++)
endif()
