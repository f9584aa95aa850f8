#!/usr/bin/env bash
# Makes 32-bit x86 Linux programs runnable on a machine whose kernel has IA-32 emulation off
# (some virtual machines run 64-bit user code only). Wine runs the stub and every Win32 test
# as a 32-bit process, so such a machine gets QEMU's user-mode emulator registered for i386
# programs through binfmt_misc. Does nothing where 32-bit programs already run.
#
# Debian 12's QEMU 7.2 treats MAP_FIXED_NOREPLACE as a plain hint, so Wine's mappings land
# on its reserved areas and Wine fails at its first thread; the QEMU 10 of bookworm-backports
# handles it, so the emulator comes from there. The registration uses the "F"
# flag (the kernel opens the emulator once), so it lasts until the machine restarts.
set -euo pipefail

runs32() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
runs32 && exit 0
[ -e /lib/ld-linux.so.2 ] || { echo "ia32-emulation: no 32-bit loader installed" >&2; exit 1; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

qemu=/usr/bin/qemu-i386-static
major=$("$qemu" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p' || true)
if [ "${major:-0}" -lt 10 ]; then
    sources=/etc/apt/sources.list.d/bookworm-backports.sources
    if [ ! -f "$sources" ]; then
        printf '%s\n' "Types: deb" "URIs: http://deb.debian.org/debian" \
            "Suites: bookworm-backports" "Components: main" \
            "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" | $sudo tee "$sources" >/dev/null
    fi
    echo "ia32-emulation: installing qemu-user-static from bookworm-backports"
    . "$(dirname "$0")/apt-install.sh"
    aptinstall -t bookworm-backports qemu-user-static
fi

. "$(dirname "$0")/binfmt-i386.sh"
registeri386 "$qemu"

if runs32; then
    echo "ia32-emulation: 32-bit programs now run through $("$qemu" --version | head -1)"
else
    echo "ia32-emulation: 32-bit programs still do not run" >&2
    exit 1
fi
