#!/usr/bin/env bash
# Registers an emulator for 32-bit x86 Linux programs through binfmt_misc, in place of any
# registration before. Sourced by ia32-emulation.sh and count-instructions.sh:
#   registeri386 INTERPRETER
#   unregisteri386      takes the registration away: the kernel runs such programs itself
# The "F" flag has the kernel open the emulator once, at registration, so the registration
# lasts until the machine restarts or it is replaced.

binfmt=/proc/sys/fs/binfmt_misc

registeri386() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    [ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
    unregisteri386
    # ELF32, little-endian, executable or shared object (e_type 2 or 3), machine i386 (3).
    local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$1:F" | $sudo tee "$binfmt/register" >/dev/null
}

unregisteri386() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ -e "$binfmt/qemu-i386" ]; then echo -1 | $sudo tee "$binfmt/qemu-i386" >/dev/null; fi
}
