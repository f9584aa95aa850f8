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
#       terminfo's "E" and "e" become one.) Prints the median wall times and processor
#       times and their ratios; with ORV_COUNT_INSTRUCTIONS set also each row's guest
#       instructions.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench-stats.sh
. "$here/bench-stats.sh"
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
run() { "$here/wine-exec.sh" "$@"; }
# The median of the figures logged under one name ("NAME FIGURE..." lines), of field 2 or
# the field given.
medianof() { awk -v n="$2" -v f="${3:-2}" '$1 == n { print $f }' "$1" | median; }

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

# Sets `command` to the command line of ROW's run, its output into OUT. The programs, the
# zip and the package are the caller's.
rowcommand() {
    local out
    out=$(wine_path "$2")
    command=("$here/wine-exec.sh" "$timedrun")
    case $1 in
    bare) command+=("$barewindow") ;;
    engine) command+=("$driver" "$(wine_path "$zip")" "$out") ;;
    ss) command+=("$package" /ss /d "$out") ;;
    s) command+=("$package" /s /d "$out") ;;
    dialog) command+=(--extract "$package" /d "$out") ;;
    7za) command+=("$sevenza" x -bd -y -o"$out" "$(wine_path "$zip")") ;;
    esac
}

# Processor seconds (user and system) that process PID has used so far.
cpuseconds() {
    [ -n "$1" ] || { echo 0; return; }
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"
}

# The processes that work for every program of this session besides the programs themselves:
# its wineserver (whose folder is named for the prefix's device and inode) and its virtual
# display. A run's processor time counts their share too.
sessionhelpers() {
    local id pid
    id=$(stat -c '%D %i' "$WINEPREFIX" | awk '{ printf "server-%s-%x", $1, $2 }')
    for pid in $(pgrep -f wineserver); do
        [[ $(readlink "/proc/$pid/cwd") == *"/$id" ]] && echo "$pid"
    done
    pgrep -f "^Xvfb ${DISPLAY:-none}( |\$)" || true
}

# Runs ROW into OUT; prints its wall time and its processor time: the run's own processes
# (perf's task clock follows every process it starts) and what the session's wineserver and
# display did meanwhile. On a shared machine the processor time is steadier than the wall.
measurerow() {
    local row=$1 before=0 after=0 pid line task command
    rowcommand "$row" "$2"
    for pid in $helpers; do before=$(awk -v a="$before" -v b="$(cpuseconds "$pid")" 'BEGIN { print a + b }'); done
    line=$(perf stat -x, -e task-clock -o "$perflog" -- "${command[@]}" 2>/dev/null) || {
        echo "bench: the $row run failed: $line" >&2
        exit 1
    }
    for pid in $helpers; do after=$(awk -v a="$after" -v b="$(cpuseconds "$pid")" 'BEGIN { print a + b }'); done
    task=$(awk -F, '/task-clock/ { print $1 / 1000 }' "$perflog")
    echo "$(awk '/^elapsed / { print $2 }' <<<"$line") $(awk -v t="$task" -v a="$before" -v b="$after" 'BEGIN { printf "%.2f", t + b - a }')"
}

#   extract TIMEDRUN BAREWINDOW DRIVER 7ZA ZIP PACKAGE ROOT RUNS
bench_extract() {
    local timedrun=$1 barewindow=$2 driver=$3 sevenza=$4 zip=$5 package=$6 root=$7 runs=$8
    local log perflog helpers
    log=$(mktemp)
    perflog=$(mktemp)
    helpers=$(sessionhelpers)
    for r in $(seq "$runs"); do
        for row in $rows; do
            local out="$root/wine-$row"
            rm -rf "$out" && mkdir -p "$out"
            echo "$row $(measurerow "$row" "$out")" >>"$log"
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
        echo "  run $r: $(tail -n 6 "$log" | awk '{ printf "%s %s s (cpu %s)  ", $1, $2, $3 }')"
    done
    for figure in time cpu; do
        local field=2
        [ $figure = cpu ] && field=3
        local bare engine ss s dialog sevenzip
        bare=$(medianof "$log" bare "$field")
        engine=$(medianof "$log" engine "$field")
        ss=$(medianof "$log" ss "$field")
        s=$(medianof "$log" s "$field")
        dialog=$(medianof "$log" dialog "$field")
        sevenzip=$(medianof "$log" 7za "$field")
        echo "  median $figure: bare window $bare s, engine alone $engine s, /ss $ss s, /s $s s," \
            "dialog $dialog s, 7za.exe $sevenzip s"
        echo "    /s / /ss = $(ratio "$s" "$ss"), dialog / /ss = $(ratio "$dialog" "$ss")" \
            "(at most 1.15); (/ss - bare window) / engine alone =" \
            "$(awk -v a="$ss" -v b="$bare" -v c="$engine" 'BEGIN { printf "%.3f", (a - b) / c }')" \
            "(at most 1.2); engine alone / 7za = $(ratio "$engine" "$sevenzip"), /ss / 7za =" \
            "$(ratio "$ss" "$sevenzip")"
    done
    rm -f "$log" "$perflog"
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
        local out="$root/wine-$row" command
        rm -rf "$out" && mkdir -p "$out"
        rowcommand "$row" "$out"
        "$here/count-instructions.sh" run "${command[@]}" 2>/dev/null |
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
