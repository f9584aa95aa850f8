#!/usr/bin/env bash
# The Win32 rows of scripts/bench.sh, run inside one Wine session (scripts/wine-session.sh
# starts it); the programs take turns run by run and medians are compared.
#   inflate CURRENT BASELINE STREAM ORIGINAL RUNS
#       the i686 inflate_speed of this tree against the one built at the baseline revision,
#       both on the same Deflate stream; prints their median MB/s and the ratio.
#   extract TIMEDRUN BAREWINDOW DRIVER 7ZA ZIP PACKAGE ROOT RUNS
#       the rows below on one zip and its package (the zip packed by orvsfx build
#       --from-zip), into ROOT; the first trees are compared byte for byte with 7za.exe's.
#       (Not with the packed folder: on Windows' case-insensitive names, folders such as
#       terminfo's "E" and "e" become one.) Prints median times and the ratios; with
#       ORV_COUNT_INSTRUCTIONS set also each row's guest instructions.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench-stats.sh
. "$here/bench-stats.sh"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
run() { "$here/wine-exec.sh" "$@"; }
# The median of the figures logged under one name ("NAME FIGURE" lines).
medianof() { awk -v n="$2" '$1 == n { print $2 }' "$1" | median; }

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

# The rows of the extraction benchmark, each timed inside Wine by timedrun.exe from the
# program's creation to its end:
#   bare     a program that only opens one window (Wine's own start and end of a windowed
#            program, which every row of the setup includes)
#   engine   the i686 engine alone on the zip (extract_speed.exe), no setup around it
#   ss       the package's "/ss" run: the whole setup, no window shown
#   s        the package's "/s" run: the progress window shown
#   dialog   the package's dialog: Extract pressed by timedrun once the dialog is up
#   7za      7-Zip's 32-bit console archiver on the zip
rows="bare engine ss s dialog 7za"

# Runs ROW's program, its output into OUT, behind the command prefix in the rest of the
# arguments (none, or the instruction counter); prints timedrun's line. The programs, the
# zip and the package are the caller's.
runrow() {
    local row=$1 out
    out=$(wine_path "$2")
    shift 2
    local timed=("$here/wine-exec.sh" "$timedrun")
    case $row in
    bare) "$@" "${timed[@]}" "$barewindow" ;;
    engine) "$@" "${timed[@]}" "$driver" "$(wine_path "$zip")" "$out" ;;
    ss) "$@" "${timed[@]}" "$package" /ss /d "$out" ;;
    s) "$@" "${timed[@]}" "$package" /s /d "$out" ;;
    dialog) "$@" "${timed[@]}" --extract "$package" /d "$out" ;;
    7za) "$@" "${timed[@]}" "$sevenza" x -bd -y -o"$out" "$(wine_path "$zip")" ;;
    esac
}

#   extract TIMEDRUN BAREWINDOW DRIVER 7ZA ZIP PACKAGE ROOT RUNS
bench_extract() {
    local timedrun=$1 barewindow=$2 driver=$3 sevenza=$4 zip=$5 package=$6 root=$7 runs=$8
    local log
    log=$(mktemp)
    for r in $(seq "$runs"); do
        for row in $rows; do
            local out="$root/wine-$row" line
            rm -rf "$out" && mkdir -p "$out"
            line=$(runrow "$row" "$out" 2>/dev/null) || {
                echo "bench: the $row run failed: $line" >&2
                exit 1
            }
            echo "$row $(awk '/^elapsed / { print $2 }' <<<"$line")" >>"$log"
            [ "$r" = 1 ] || rm -rf "$out"
        done
        if [ "$r" = 1 ]; then
            for row in engine ss s dialog; do
                diff -r -q "$root/wine-$row" "$root/wine-7za" >/dev/null || {
                    echo "bench: the $row run and 7za.exe extracted different trees" >&2
                    exit 1
                }
            done
            for row in $rows; do rm -rf "$root/wine-$row"; done
        fi
        echo "  run $r: $(tail -n 6 "$log" | awk '{ printf "%s %s s  ", $1, $2 }')"
    done
    local bare engine ss s dialog sevenzip
    bare=$(medianof "$log" bare)
    engine=$(medianof "$log" engine)
    ss=$(medianof "$log" ss)
    s=$(medianof "$log" s)
    dialog=$(medianof "$log" dialog)
    sevenzip=$(medianof "$log" 7za)
    echo "  medians: bare window $bare s, engine alone $engine s, /ss $ss s, /s $s s," \
        "dialog $dialog s, 7za.exe $sevenzip s"
    echo "  /s / /ss = $(ratio "$s" "$ss"), dialog / /ss = $(ratio "$dialog" "$ss")" \
        "(at most 1.15); (/ss - bare window) / engine alone =" \
        "$(awk -v a="$ss" -v b="$bare" -v c="$engine" 'BEGIN { printf "%.3f", (a - b) / c }')" \
        "(at most 1.2)"
    echo "  engine alone / 7za = $(ratio "$engine" "$sevenzip"), /ss / 7za = $(ratio "$ss" "$sevenzip")"
    rm -f "$log"
    [ -n "${ORV_COUNT_INSTRUCTIONS:-}" ] && count_extract
    return 0
}

# Each row once more under the counting emulator (scripts/count-instructions.sh): the guest
# instructions it runs, which neither the machine's load nor the emulator's own costs
# change from run to run.
# It runs inside bench_extract and uses its programs, zip, package and root.
count_extract() {
    local log
    log=$(mktemp)
    for row in $rows; do
        local out="$root/wine-$row"
        rm -rf "$out" && mkdir -p "$out"
        runrow "$row" "$out" "$here/count-instructions.sh" run 2>/dev/null |
            awk -v e="$row" '/^instructions / { print e, $2 }' >>"$log"
        rm -rf "$out"
    done
    count() { awk -v e="$1" '$1 == e { print $2 }' "$log"; }
    echo "  guest instructions: $(for row in $rows; do printf '%s %s  ' "$row" "$(count "$row")"; done)"
    echo "  /s / /ss = $(ratio "$(count s)" "$(count ss)"), dialog / /ss =" \
        "$(ratio "$(count dialog)" "$(count ss)"), engine / 7za = $(ratio "$(count engine)" "$(count 7za)")"
    rm -f "$log"
}

mode=$1
shift
case $mode in
inflate) bench_inflate "$@" ;;
extract) bench_extract "$@" ;;
*) echo "usage: bench-wine.sh inflate|extract ..." >&2; exit 2 ;;
esac
