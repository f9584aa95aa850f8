#!/usr/bin/env bash
# Counts the guest instructions a 32-bit program runs under QEMU's user-mode emulator, a
# measure of the i686 code's speed that, unlike wall time, does not depend on the machine's
# load or on the emulator's own costs.
#   scripts/count-instructions.sh build            builds the counting emulator (once)
#   scripts/count-instructions.sh run COMMAND...   runs COMMAND, then prints "instructions N"
# The emulator is QEMU of the installed version, built from Debian's source package with
# plugin support (Debian's own is static and loads no plugins), together with its
# instruction-counting plugin, in build/qemu-counting. For the run, 32-bit programs are
# registered to it; the registration before is put back at the end (where they ran natively,
# the registration is taken away again). Every process COMMAND
# starts counts; processes still running 20 s after it ends (a Wine session's services) do
# not.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
home="$here/build/qemu-counting"
qemu="$home/build/qemu-i386"
plugin="$home/build/tests/tcg/plugins/libinsn.so"
# shellcheck source=binfmt-i386.sh
. "$here/scripts/binfmt-i386.sh"

# The upstream tarball of a source package version: "URI NAME SHA256" from apt's index (run in
# an empty folder, as apt leaves out files that are already there).
sourceof() {
    local empty
    empty=$(mktemp -d)
    (cd "$empty" && apt-get source --print-uris -q "$1" 2>/dev/null) |
        sed -n "s/^'\([^']*\.orig\.tar\.[a-z0-9]*\)' \([^ ]*\) [0-9]* SHA256:\([0-9a-f]*\)$/\1 \2 \3/p" |
        head -1
    rmdir "$empty"
}

build() {
    [ -x "$qemu" ] && [ -f "$plugin" ] && return 0
    local version
    version=$(dpkg-query -W -f '${Version}' qemu-user 2>/dev/null || true)
    [ -n "$version" ] || { echo "count-instructions: qemu-user is not installed" >&2; exit 1; }
    echo "count-instructions: building QEMU $version with plugins in $home"
    local sources=/etc/apt/sources.list.d/qemu-source.sources
    if [ ! -f "$sources" ]; then
        printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
            "Suites: bookworm bookworm-backports" "Components: main" \
            "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >"$sources"
    fi
    # shellcheck source=apt-install.sh
    . "$here/scripts/apt-install.sh"
    aptinstall libglib2.0-dev flex bison ninja-build python3-venv
    aptinstall -t bookworm-backports meson python3-pycotap
    mkdir -p "$home" && cd "$home"
    # Only the upstream tarball is needed; Debian's packaging is not applied (mirrors may
    # lack the packaging files of a backported version). Its address and SHA-256 come from
    # the source index, which apt has checked against the signed Release file; the download
    # is retried and checked against that SHA-256 (scripts/fetch.sh), three tries of 30
    # minutes at most.
    local uri name sha256
    read -r uri name sha256 < <(sourceof "qemu=$version")
    [ -n "$sha256" ] || { echo "count-instructions: no QEMU $version in the source index" >&2; exit 1; }
    fetch_checked "$home/$name" "$sha256" 1800 curl -fsSL --retry 3 -o "$name" "$uri" ||
        { echo "count-instructions: the QEMU source could not be fetched" >&2; exit 1; }
    local tarball=$home/$name
    rm -rf src build && mkdir src build
    tar -xf "$tarball" -C src --strip-components=1
    cd build
    # Generous time limits: the configure step and a build of one emulator target on two cores.
    timeout 900 ../src/configure --python=/usr/bin/python3 --target-list=i386-linux-user \
        --enable-plugins --disable-system --disable-tools --disable-docs --disable-werror \
        --disable-install-blobs >configure.log 2>&1 ||
        { tail -20 configure.log >&2; exit 1; }
    timeout 5400 ninja qemu-i386 tests/tcg/plugins/libinsn.so >ninja.log 2>&1 ||
        { tail -20 ninja.log >&2; exit 1; }
}

run() {
    [ -x "$qemu" ] || { echo "count-instructions: run '$0 build' first" >&2; exit 1; }
    local status=0
    # Globals: the exit trap puts the registration back after run has returned, or takes the
    # counting emulator's away where 32-bit programs ran natively before.
    before=$(sed -n 's/^interpreter //p' "$binfmt/qemu-i386" 2>/dev/null || true)
    logs=$(mktemp -d)
    trap 'if [ -n "$before" ]; then registeri386 "$before"; else unregisteri386; fi; rm -rf "$logs"' EXIT
    registeri386 "$qemu"
    QEMU_PLUGIN="$plugin,inline=on" QEMU_LOG=plugin QEMU_LOG_FILENAME="$logs/%d" "$@" || status=$?
    # A program's count is written as its emulator exits, which may be just after COMMAND has
    # seen the program end (Wine reports a process's end before its last thread is gone):
    # wait, 20 s at most, until no process holds a log open.
    local tenths=0
    while [ $tenths -lt 200 ] && find /proc/[0-9]*/fd -lname "$logs/*" 2>/dev/null | grep -q .; do
        sleep 0.1
        tenths=$((tenths + 1))
    done
    cat "$logs"/* 2>/dev/null | awk '/^total insns:/ { n += $3 } END { printf "instructions %.0f\n", n }'
    return $status
}

case "${1:-}" in
build) build ;;
run) shift; run "$@" ;;
*) echo "usage: count-instructions.sh build | run COMMAND..." >&2; exit 2 ;;
esac
