#!/bin/sh
# Compiler launcher of the code the stub links (cmake/ProjectFlags.cmake): CMake calls it with
# the clang to use, then the MinGW compiler's whole command line; it runs that command line
# through clang for the same target and the same MinGW-w64 headers. Clang's -Oz output of the
# stub's code is about a tenth smaller than GCC's, and the objects link with GCC's as before.
#   stub-clang.sh CLANG MINGW-COMPILER ARGUMENTS...
clang="$1"
shift 2
exec "$clang" --target=i686-w64-mingw32 --sysroot=/usr/i686-w64-mingw32 "$@"
