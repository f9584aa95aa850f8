#!/usr/bin/env bash
# The build step of the scripts: installs what is missing (scripts/install-deps.sh), then
# configures and builds each build given, in the order given, with as many jobs as the
# machine has cores.
#   scripts/build.sh [BUILD[:TARGET,...]]...
# BUILD is a configure preset (host, win32, host-release, fuzz) or "all", which is host and
# then win32: some Win32 tests run the host build's orvsfx, so it is built first. Without
# targets a build is built whole; without arguments, "all". For example:
#   scripts/build.sh                              everything the tests need (test-all.sh)
#   scripts/build.sh host:orvsfx win32:stub,uiprobe   the example's programs (run-example.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

[ $# -gt 0 ] || set -- all
builds=()
for item in "$@"; do
    case ${item%%:*} in
    all)
        [ "$item" = all ] || { echo "build.sh: \"all\" takes no targets" >&2; exit 2; }
        builds+=(host win32)
        ;;
    host | win32 | host-release | fuzz) builds+=("$item") ;;
    *)
        echo "usage: scripts/build.sh [host|win32|all|host-release|fuzz[:TARGET,...]]..." >&2
        exit 2
        ;;
    esac
done

scripts/install-deps.sh

for item in "${builds[@]}"; do
    preset=${item%%:*}
    targets=()
    if [ "$item" != "$preset" ]; then
        IFS=, read -r -a targets <<<"${item#*:}"
        targets=(--target "${targets[@]}")
    fi
    echo "== building $preset${targets[*]:+ (${item#*:})}"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j"$jobs" "${targets[@]}"
done
