#!/usr/bin/env bash
# Builds the release benchmarks and runs them.
#   inflate: undeflate and updatecrc against zlib and libdeflate on a corpus of this machine's
#            files (bench/inflate_bench.cpp); with --wine also the i686 stub's inflater under
#            Wine on the same Deflate stream, against the same program built at the baseline
#            revision (--baseline REV; the default is the engine before the speed work).
#   builder: "orvsfx build" against 7-Zip's zip at -mx=7 on a folder of this machine's files:
#            wall and CPU time, package size and peak memory, as ratios.
#   lzma:    "orvsfx build --method lzma --level 9" against the Deflate build at --level on the
#            same folder: package size and build time as ratios, and "orvsfx extract" of the
#            two packages; with --wine also the stub's "/ss" run of 7-Zip's LZMA zip of the
#            folder (-mm=LZMA -mx=9, packed with --from-zip) against 7za.exe on that zip.
#   extract: "orvsfx extract" against bsdtar and 7-Zip on 7-Zip's zip of that folder; with
#            --wine also, under Wine, on that zip and on a zip of one 200 MB file: the
#            package's "/ss", "/s" and dialog runs against the i686 engine alone
#            (bench/extract_speed.cpp), a program that only opens a window (Wine's own
#            start-up) and 7-Zip's 32-bit console archiver 7za.exe 21.07 (scripts/
#            bench-wine.sh). 7za.exe is the one file win/ia32/7za.exe of the npm package
#            7zip-bin@5.2.0, used only as a timing reference, checked against pinned SHA-256
#            sums (see fetch_7za). With --count also the guest instructions each of them
#            runs, once, counted by QEMU's plugin (scripts/count-instructions.sh; needs root).
# Engines take turns run by run; medians are quoted. Every result is checked: each extracted
# tree is compared byte for byte with the folder, each package is tested by 7-Zip.
#   scripts/bench.sh [--wine [--count]] [--baseline REV] [--parts inflate,builder,extract,lzma]
#                    [--runs N]
#                    [--level N] [--extract-dir DIR]
# Corpora are cached in build/host-release/bench-data. The folder (bench-data/tree) holds
# every twelfth regular file below /usr/lib and /usr/share in sorted order, up to 500 MB.
# Extraction goes to DIR (default /dev/shm when it has room, else bench-data): freshly
# deleted trees make ext4's inode allocator search for a minute or more, which would time
# the file system rather than the extractors.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=bench-stats.sh
. "$here/scripts/bench-stats.sh"
# shellcheck source=fetch.sh
. "$here/scripts/fetch.sh"
cd "$here"
data="$here/build/host-release/bench-data"
parts=inflate,builder,extract,lzma
runs=3
level=10
wine=
count=
baseline=06f410f
extractroot=
while [ $# -gt 0 ]; do
    case "$1" in
    --wine) wine=1 ;;
    --count) count=1 ;;
    --baseline) baseline=$2; shift ;;
    --parts) parts=$2; shift ;;
    --runs) runs=$2; shift ;;
    --level) level=$2; shift ;;
    --extract-dir) extractroot=$2; shift ;;
    *) echo "usage: scripts/bench.sh [--wine] [--baseline REV] [--parts inflate,builder,extract,lzma]" \
            "[--runs N] [--level N] [--extract-dir DIR]" >&2; exit 2 ;;
    esac
    shift
done
has() { case ",$parts," in *",$1,"*) return 0 ;; esac; return 1; }

mkdir -p "$data"

bench_inflate() {
    scripts/build.sh host-release:inflate_bench,inflate_speed
    build/host-release/bench/inflate_bench "$data"
    if [ -n "$wine" ]; then
        scripts/build.sh win32:inflate_speed
        local base="$here/build/bench-baseline/$baseline"
        if [ ! -f "$base/build/win32/bench/inflate_speed.exe" ]; then
            rm -rf "$base" && mkdir -p "$base"
            git archive "$baseline" | tar -x -C "$base"
            (cd "$base" && cmake --preset win32 >/dev/null &&
                cmake --build --preset win32 -j2 --target inflate_speed >/dev/null)
        fi
        echo
        echo "i686 inflater under Wine, this tree against $baseline, $runs runs each:"
        scripts/wine-session.sh scripts/bench-wine.sh inflate build/win32/bench/inflate_speed.exe \
            "$base/build/win32/bench/inflate_speed.exe" "$data/corpus.deflate" "$data/corpus.bin" \
            "$runs"
    fi
}

# The folder to pack, made once: its file list is kept beside it.
make_tree() {
    [ -f "$data/tree.list" ] && [ -d "$data/tree" ] && return
    rm -rf "$data/tree" "$data/tree.list" "$data"/corpus7z.zip
    # Names with a character Windows forbids are left out: every extractor renames those, so
    # the trees could not be compared with the folder.
    LC_ALL=C find /usr/lib /usr/share -xdev -type f -readable -size -160M -printf '%s\t%p\n' \
        2>/dev/null | LC_ALL=C grep -v '[:*?"<>|\\]' | LC_ALL=C sort -t$'\t' -k2 |
        awk -F'\t' 'NR % 12 == 0 && total < 500e6 { total += $1; print $2 }' >"$data/tree.list.new"
    while IFS= read -r file; do
        mkdir -p "$data/tree${file%/*}"
        cp -p "$file" "$data/tree$file"
    done <"$data/tree.list.new"
    mv "$data/tree.list.new" "$data/tree.list"
}

# A PE32 GUI header for i386, all the builder checks in a stub; these packages are never run.
make_stub() {
    [ -f "$data/stub.exe" ] && return
    python3 - "$data/stub.exe" <<'PY'
import struct, sys
image = bytearray(1024)
image[0:2] = b"MZ"
struct.pack_into("<I", image, 0x3C, 0x40)
image[0x40:0x44] = b"PE\0\0"
coff = 0x44
struct.pack_into("<H", image, coff, 0x014C)        # i386
struct.pack_into("<H", image, coff + 16, 224)      # optional header size
struct.pack_into("<H", image, coff + 20, 0x010B)   # PE32
struct.pack_into("<H", image, coff + 20 + 68, 2)   # Windows GUI
open(sys.argv[1], "wb").write(image)
PY
}

# Runs a command under /usr/bin/time; prints "wall-seconds peak-KB cpu-seconds" (user and
# system time: on a shared machine a steadier measure than the wall clock).
timed() {
    /usr/bin/time -f "%e %M %U %S" -o "$data/.time" "$@" >/dev/null 2>"$data/.err" ||
        { cat "$data/.err" >&2; return 1; }
    awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$data/.time"
}


# Removes a tree that may hold read-only files and folders.
clear_tree() { [ -e "$1" ] && chmod -R u+w "$1" && rm -rf "$1"; return 0; }

# The extracted tree must equal the folder, file for file and byte for byte.
check_tree() {
    diff -r -q "$data/tree/usr" "$1/usr" >/dev/null ||
        { echo "bench: $2 extracted a tree that differs from the folder" >&2; exit 1; }
}

bench_builder() {
    scripts/build.sh host-release:orvsfx
    make_tree
    make_stub
    local orvsfx=build/host-release/tools/orvsfx t
    : >"$data/.builder"
    echo "builder: $(wc -l <"$data/tree.list") files, $(du -sm "$data/tree" | cut -f1) MB;" \
        "orvsfx --level $level against 7zz -tzip -mx=7, $runs runs each"
    for run in $(seq "$runs"); do
        rm -f "$data/bench7z.zip"
        t=$(cd "$data/tree" && timed 7zz a -tzip -mx=7 -bd "$data/bench7z.zip" usr)
        echo "7zz $t $(stat -c %s "$data/bench7z.zip")" >>"$data/.builder"
        t=$(timed "$orvsfx" build --stub "$data/stub.exe" --level "$level" \
            -o "$data/bench.exe" "$data/tree")
        echo "orvsfx $t $(stat -c %s "$data/bench.exe")" >>"$data/.builder"
        echo "  run $run: $(tail -2 "$data/.builder" | tr '\n' ' ')"
    done
    7zz t "$data/bench.exe" >/dev/null || { echo "bench: 7-Zip rejects the package" >&2; exit 1; }
    local out="$data/orvsfx-out"
    clear_tree "$out"
    "$orvsfx" extract "$data/bench.exe" -d "$out" >/dev/null
    check_tree "$out" "orvsfx extract of the package"
    clear_tree "$out"
    local field engine
    for field in 2 3 4 5; do
        for engine in 7zz orvsfx; do
            awk -v e=$engine -v f=$field '$1 == e { print $f }' "$data/.builder" | median \
                >"$data/.median-$engine-$field"
        done
    done
    m() { cat "$data/.median-$1-$2"; }
    echo "  median time:  7zz $(m 7zz 2) s, orvsfx $(m orvsfx 2) s;" \
        "orvsfx/7zz = $(ratio "$(m orvsfx 2)" "$(m 7zz 2)")"
    echo "  median cpu:   7zz $(m 7zz 4) s, orvsfx $(m orvsfx 4) s;" \
        "orvsfx/7zz = $(ratio "$(m orvsfx 4)" "$(m 7zz 4)")"
    echo "  size:         7zz $(m 7zz 5) bytes, orvsfx $(m orvsfx 5) bytes (package);" \
        "orvsfx/7zz = $(ratio "$(m orvsfx 5)" "$(m 7zz 5)")"
    echo "  peak memory:  7zz $(m 7zz 3) KB, orvsfx $(m orvsfx 3) KB;" \
        "largest file $(($(find "$data/tree" -type f -printf '%s\n' | sort -g | tail -1) / 1024)) KB"
}

bench_extract() {
    scripts/build.sh host-release:orvsfx
    make_tree
    if [ ! -f "$data/corpus7z.zip" ]; then
        (cd "$data/tree" && 7zz a -tzip -mx=7 -bd "$data/corpus7z.zip.new" usr >/dev/null)
        mv "$data/corpus7z.zip.new" "$data/corpus7z.zip"
    fi
    local root=$extractroot
    if [ -z "$root" ]; then
        root=$data
        if [ -d /dev/shm ] &&
            [ "$(df -Pk /dev/shm | awk 'NR == 2 { print $4 }')" -gt 2000000 ]; then
            root=/dev/shm
        fi
    fi
    local out="$root/orv-bench-extract.$$" orvsfx=build/host-release/tools/orvsfx engine run t
    : >"$data/.extract"
    echo "extract: 7-Zip's zip of the folder ($(stat -c %s "$data/corpus7z.zip") bytes) into" \
        "$root, $runs runs each"
    for run in $(seq "$runs"); do
        for engine in orvsfx bsdtar 7zz; do
            clear_tree "$out"
            mkdir -p "$out"
            case $engine in
            orvsfx) t=$(timed "$orvsfx" extract "$data/corpus7z.zip" -d "$out") ;;
            bsdtar) t=$(timed bsdtar -xf "$data/corpus7z.zip" -C "$out") ;;
            7zz) t=$(timed 7zz x -bd -o"$out" "$data/corpus7z.zip") ;;
            esac
            [ "$run" = 1 ] && check_tree "$out" "$engine"
            echo "$engine $t" >>"$data/.extract"
        done
        echo "  run $run: $(tail -3 "$data/.extract" | awk '{ printf "%s %s s (cpu %s)  ", $1, $2, $4 }')"
    done
    clear_tree "$out"
    for engine in orvsfx bsdtar 7zz; do
        awk -v e=$engine '$1 == e { print $2 }' "$data/.extract" | median >"$data/.median-$engine"
        awk -v e=$engine '$1 == e { print $4 }' "$data/.extract" | median >"$data/.cpu-$engine"
    done
    m() { cat "$data/.median-$1"; }
    c() { cat "$data/.cpu-$1"; }
    echo "  median time:  orvsfx $(m orvsfx) s, bsdtar $(m bsdtar) s, 7zz $(m 7zz) s;" \
        "orvsfx/bsdtar = $(ratio "$(m orvsfx)" "$(m bsdtar)"), orvsfx/7zz = $(ratio "$(m orvsfx)" "$(m 7zz)")"
    echo "  median cpu:   orvsfx $(c orvsfx) s, bsdtar $(c bsdtar) s, 7zz $(c 7zz) s;" \
        "orvsfx/bsdtar = $(ratio "$(c orvsfx)" "$(c bsdtar)"), orvsfx/7zz = $(ratio "$(c orvsfx)" "$(c 7zz)")"
    if [ -n "$wine" ]; then bench_extract_wine "$root"; fi
}

# A zip of one large file (the first 200 MB of the folder's files, one after another): the
# setup's costs per block, apart from its costs per file.
make_onefile() {
    [ -f "$data/onefile.zip" ] && return
    rm -rf "$data/onefile"
    mkdir -p "$data/onefile"
    # head ends the pipe once it has its bytes, which the loop before it takes as a failure.
    { while IFS= read -r file; do cat "$data/tree$file"; done <"$data/tree.list" 2>/dev/null |
        head -c 200000000 >"$data/onefile/large.bin"; } || true
    [ "$(stat -c %s "$data/onefile/large.bin")" = 200000000 ] ||
        { echo "bench: the folder holds less than 200 MB" >&2; exit 1; }
    (cd "$data/onefile" && 7zz a -tzip -mx=7 -bd "$data/onefile.zip.new" large.bin >/dev/null)
    mv "$data/onefile.zip.new" "$data/onefile.zip"
    rm -rf "$data/onefile"
}

# The Win32 rows (scripts/bench-wine.sh) on both zips: 7-Zip's zip of the folder and the
# one-file zip, each also packed by orvsfx build --from-zip into a package that overwrites
# and ends without its completion message, so that its dialog asks nothing.
bench_extract_wine() {
    local root=$1 orvsfx=build/host-release/tools/orvsfx corpus
    scripts/build.sh win32:extract_speed,stub,timedrun,barewindow
    if ! command -v perf >/dev/null; then
        # shellcheck source=apt-install.sh
        . scripts/apt-install.sh
        aptinstall linux-perf
    fi
    local sevenza="$data/7zip-bin/7za.exe"
    fetch_7za "$data/7zip-bin" || exit 1
    make_onefile
    if [ -n "$count" ]; then
        scripts/count-instructions.sh build
        export ORV_COUNT_INSTRUCTIONS=1
    fi
    for corpus in corpus7z onefile; do
        local zip="$data/$corpus.zip" package="$data/$corpus-package.exe"
        "$orvsfx" build --from-zip "$zip" --stub build/win32/stub/stub.exe --overwrite always \
            --no-done-message -o "$package" >/dev/null
        echo
        echo "under Wine, $corpus.zip ($(stat -c %s "$zip") bytes): the setup's runs against" \
            "its engine alone, a bare window and 7za.exe, $runs runs each"
        scripts/wine-session.sh scripts/bench-wine.sh extract build/win32/bench/timedrun.exe \
            build/win32/bench/barewindow.exe build/win32/bench/extract_speed.exe "$sevenza" \
            "$zip" "$package" "$root" "$runs"
    done
}

# The timing reference, 7-Zip's 32-bit console archiver, taken alone from the npm package.
# The package's tarball is fetched with retries and checked against the SHA-256 it had when
# this script was written (scripts/fetch.sh); 7za.exe, fetched or cached, is checked against
# its own before every use: nothing else is ever run.
SEVENZIP_BIN_SHA256=04f9738ee00be8be53f5d06254a9e6e4b5117b17f8b74058477d870e62764a7d
SEVENZA_SHA256=31fd52f8996986623cf52c3b4d0f7ac74a9dec63fc16c902cef673eed550c435
fetch_7za() {
    local dir=$1 tarball=$1/7zip-bin-5.2.0.tgz
    if ! sha256_is "$dir/7za.exe" "$SEVENZA_SHA256"; then
        rm -f "$dir/7za.exe"
        fetch_checked "$tarball" "$SEVENZIP_BIN_SHA256" 300 npm pack --silent 7zip-bin@5.2.0 ||
            return 1
        tar -xzf "$tarball" -C "$dir" --strip-components=3 package/win/ia32/7za.exe
        rm -f "$tarball"
    fi
    if ! sha256_is "$dir/7za.exe" "$SEVENZA_SHA256"; then
        echo "bench.sh: $dir/7za.exe is not the pinned 7za.exe 21.07 (SHA-256" \
            "$SEVENZA_SHA256); removed" >&2
        rm -f "$dir/7za.exe"
        return 1
    fi
}

# The LZMA package against the Deflate package of the same folder: size, build time, and
# the time orvsfx extract takes for each; both packages are checked by 7-Zip and extracted
# trees compared with the folder.
bench_lzma() {
    scripts/build.sh host-release:orvsfx
    make_tree
    make_stub
    local orvsfx=build/host-release/tools/orvsfx out="$data/orvsfx-out" method t
    : >"$data/.lzma"
    echo "lzma: orvsfx --method lzma --level 9 against --level $level (Deflate) on the folder," \
        "$runs runs each"
    for run in $(seq "$runs"); do
        for method in deflate lzma; do
            local flags="--level $level"
            [ $method = lzma ] && flags="--method lzma --level 9"
            # shellcheck disable=SC2086 # the flags are words
            t=$(timed "$orvsfx" build --stub "$data/stub.exe" $flags -o "$data/bench-$method.exe" \
                "$data/tree")
            echo "build-$method $t $(stat -c %s "$data/bench-$method.exe")" >>"$data/.lzma"
            clear_tree "$out"
            t=$(timed "$orvsfx" extract "$data/bench-$method.exe" -d "$out")
            [ "$run" = 1 ] && check_tree "$out" "orvsfx extract of the $method package"
            echo "extract-$method $t" >>"$data/.lzma"
        done
        echo "  run $run: $(tail -4 "$data/.lzma" | awk '{ printf "%s %s s  ", $1, $2 }')"
    done
    clear_tree "$out"
    7zz t "$data/bench-lzma.exe" >/dev/null || { echo "bench: 7-Zip rejects the LZMA package" >&2; exit 1; }
    m() { awk -v e="$1" -v f="$2" '$1 == e { print $f }' "$data/.lzma" | median; }
    echo "  size:          Deflate $(m build-deflate 5) bytes, LZMA $(m build-lzma 5) bytes;" \
        "LZMA/Deflate = $(ratio "$(m build-lzma 5)" "$(m build-deflate 5)")"
    echo "  build time:    Deflate $(m build-deflate 2) s, LZMA $(m build-lzma 2) s;" \
        "LZMA/Deflate = $(ratio "$(m build-lzma 2)" "$(m build-deflate 2)")"
    echo "  extract time:  Deflate $(m extract-deflate 2) s, LZMA $(m extract-lzma 2) s;" \
        "LZMA/Deflate = $(ratio "$(m extract-lzma 2)" "$(m extract-deflate 2)")"
    if [ -n "$wine" ]; then bench_wine_lzma; fi
}

# The stub's silent run of an LZMA package under Wine against 7za.exe on the same zip
# (7-Zip's LZMA zip of the folder), with the i686 engine alone beside them.
bench_wine_lzma() {
    scripts/build.sh win32:extract_speed,stub
    fetch_7za "$data/7zip-bin" || exit 1
    if [ ! -f "$data/corpus7z-lzma.zip" ]; then
        (cd "$data/tree" && 7zz a -tzip -mm=LZMA -mx=9 -bd "$data/corpus7z-lzma.zip.new" usr >/dev/null)
        mv "$data/corpus7z-lzma.zip.new" "$data/corpus7z-lzma.zip"
    fi
    local package="$data/corpus7z-lzma-package.exe" root=$extractroot
    [ -n "$root" ] || root=$data
    build/host-release/tools/orvsfx build --from-zip "$data/corpus7z-lzma.zip" \
        --stub build/win32/stub/stub.exe -o "$package" >/dev/null
    echo
    echo "under Wine: the stub's /ss run of 7-Zip's LZMA zip against 7za.exe, $runs runs each"
    scripts/wine-session.sh scripts/bench-wine.sh extract build/win32/bench/extract_speed.exe \
        "$data/7zip-bin/7za.exe" "$data/corpus7z-lzma.zip" "$root" "$runs" "$package"
}

if has inflate; then bench_inflate; fi
if has builder; then echo; bench_builder; fi
if has extract; then echo; bench_extract; fi
if has lzma; then echo; bench_lzma; fi
