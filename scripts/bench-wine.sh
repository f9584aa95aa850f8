#!/usr/bin/env bash
# The Win32 rows of scripts/bench.sh, run inside one Wine session (scripts/wine-session.sh
# starts it); the programs take turns run by run and medians are compared.
#   inflate CURRENT BASELINE STREAM ORIGINAL RUNS
#       the i686 inflate_speed of this tree against the one built at the baseline revision,
#       both on the same Deflate stream; prints their median MB/s and the ratio.
#   extract DRIVER 7ZA ZIP ROOT RUNS [PACKAGE]
#       the i686 engine's extraction (bench/extract_speed.exe) against 7-Zip's 32-bit
#       console archiver on the same zip into ROOT, and with PACKAGE (the zip packed by
#       orvsfx build --from-zip) also the stub's own silent run of it ("/ss /d ROOT\...");
#       the first trees are compared byte for byte. (Not with the packed folder: on Windows' case-insensitive names,
#       folders such as terminfo's "E" and "e" become one.) Prints median wall times and the
#       ratio; with ORV_COUNT_INSTRUCTIONS set also each program's guest instructions.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench-stats.sh
. "$here/bench-stats.sh"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
run() { "$here/wine-exec.sh" "$@"; }
# The median of the figures logged under one name ("NAME FIGURE" lines).
medianof() { awk -v n="$2" '$1 == n { print $2 }' "$1" | median; }
seconds() { date +%s.%N; }

bench_inflate() {
    local current=$1 baseline=$2 stream=$3 original=$4 runs=$5 log
    log=$(mktemp)
    for r in $(seq "$runs"); do
        for which in current baseline; do
            local program=$current
            [ $which = baseline ] && program=$baseline
            local rate
            rate=$(run "$program" 8 "$(wine_path "$stream")" "$(wine_path "$original")" 3 |
                sed -n 's/.*median of [0-9]* runs: \([0-9.]*\) MB\/s.*/\1/p')
            [ -n "$rate" ] || { echo "bench: $program failed" >&2; exit 1; }
            echo "$which $rate" >>"$log"
        done
        echo "  run $r: $(tail -2 "$log" | awk '{ printf "%s %s MB/s  ", $1, $2 }')"
    done
    local now base
    now=$(medianof "$log" current)
    base=$(medianof "$log" baseline)
    echo "  median: this tree $now MB/s, baseline $base MB/s; this/baseline = $(ratio "$now" "$base")"
    rm -f "$log"
}

# Runs ENGINE's extraction into OUT ("orvandel" the i686 engine, "7za", or "stub" the package's
# own silent run), behind the command prefix in the rest of the arguments (none, or the
# instruction counter). The programs and the zip are the caller's driver, sevenza, zip and
# package.
extractwith() {
    local engine=$1 out=$2
    shift 2
    case $engine in
    orvandel) "$@" "$here/wine-exec.sh" "$driver" "$(wine_path "$zip")" "$(wine_path "$out")" ;;
    7za) "$@" "$here/wine-exec.sh" "$sevenza" x -bd -y -o"$(wine_path "$out")" "$(wine_path "$zip")" ;;
    stub) "$@" "$here/wine-exec.sh" "$package" /ss /d "$(wine_path "$out")" ;;
    esac
}

bench_extract() {
    local driver=$1 sevenza=$2 zip=$3 root=$4 runs=$5 package=${6:-} log engines="orvandel 7za"
    [ -n "$package" ] && engines="orvandel 7za stub"
    log=$(mktemp)
    for r in $(seq "$runs"); do
        for engine in $engines; do
            local out="$root/wine-$engine" start end
            rm -rf "$out" && mkdir -p "$out"
            start=$(seconds)
            if ! extractwith "$engine" "$out" >/dev/null 2>&1 && [ "$engine" = stub ]; then
                echo "bench: the package's silent run failed" >&2
                exit 1
            fi
            end=$(seconds)
            echo "$engine $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')" >>"$log"
            [ "$r" = 1 ] || rm -rf "$out"
        done
        if [ "$r" = 1 ]; then
            for engine in $engines; do
                [ "$engine" = 7za ] && continue
                diff -r -q "$root/wine-$engine" "$root/wine-7za" >/dev/null || {
                    echo "bench: $engine and 7za.exe extracted different trees" >&2
                    exit 1
                }
            done
            for engine in $engines; do rm -rf "$root/wine-$engine"; done
        fi
        echo "  run $r: $(tail -n "$(wc -w <<<"$engines")" "$log" | awk '{ printf "%s %s s  ", $1, $2 }')"
    done
    local ours theirs
    ours=$(medianof "$log" orvandel)
    theirs=$(medianof "$log" 7za)
    echo "  median time: i686 engine $ours s, 7za.exe $theirs s; engine/7za = $(ratio "$ours" "$theirs")"
    if [ -n "$package" ]; then
        local stub
        stub=$(medianof "$log" stub)
        echo "  median time: the stub's /ss run $stub s; stub/7za = $(ratio "$stub" "$theirs")"
    fi
    rm -f "$log"
    [ -n "${ORV_COUNT_INSTRUCTIONS:-}" ] && count_extract
    return 0
}

# Each program once more under the counting emulator (scripts/count-instructions.sh): the
# guest instructions it runs, which neither the machine's load nor the emulator's own costs
# change from run to run.
# It runs inside bench_extract and uses its programs, zip, root and engines.
count_extract() {
    local log
    log=$(mktemp)
    for engine in $engines; do
        local out="$root/wine-$engine"
        rm -rf "$out" && mkdir -p "$out"
        extractwith "$engine" "$out" "$here/count-instructions.sh" run 2>/dev/null |
            awk -v e="$engine" '/^instructions / { print e, $2 }' >>"$log"
        rm -rf "$out"
    done
    count() { awk -v e="$1" '$1 == e { print $2 }' "$log"; }
    echo "  guest instructions: i686 engine $(count orvandel), 7za.exe $(count 7za)$(
        [ -n "$package" ] && echo ", the stub's /ss run $(count stub)");" \
        "engine/7za = $(ratio "$(count orvandel)" "$(count 7za)")$(
            [ -n "$package" ] && echo ", stub/7za = $(ratio "$(count stub)" "$(count 7za)")")"
    rm -f "$log"
}

mode=$1
shift
case $mode in
inflate) bench_inflate "$@" ;;
extract) bench_extract "$@" ;;
*) echo "usage: bench-wine.sh inflate|extract ..." >&2; exit 2 ;;
esac
