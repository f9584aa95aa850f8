#!/usr/bin/env bash
# Exit code 0 when this machine can run Wine's 32-bit loader, 1 otherwise (with the reason on
# standard error). Wine runs the stub and the Win32 tests as 32-bit x86 Linux processes, so a
# kernel whose IA-32 emulation is off (some virtual machines run 64-bit user code only)
# runs them only through the emulator that scripts/ia32-emulation.sh registers; where that
# could not be set up, the callers build the Win32 side without running it.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    exit 0
fi
echo "this machine cannot execute 32-bit x86 programs (the kernel's IA-32 emulation is off" \
     "and no emulator is registered), so Wine cannot start here" >&2
exit 1
