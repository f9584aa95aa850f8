#!/usr/bin/env bash
# Builds the release benchmarks and runs them: undeflate and updatecrc against zlib and
# libdeflate on a corpus of this machine's files (bench/inflate_bench.cpp). With --wine it
# also builds the win32 preset and measures the i686 stub's inflater under Wine on the same
# Deflate stream. The corpus and its compressed forms are cached in build/host-release/bench-data.
#   scripts/bench.sh [--wine]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
cmake --preset host-release >/dev/null
cmake --build --preset host-release -j2 --target inflate_bench inflate_speed
data="$here/build/host-release/bench-data"
build/host-release/bench/inflate_bench "$data"
if [ "${1:-}" = "--wine" ]; then
    cmake --preset win32 >/dev/null
    cmake --build --preset win32 -j2 --target inflate_speed
    echo
    echo "i686 stub code under Wine:"
    scripts/wine-session.sh scripts/wine-exec.sh build/win32/bench/inflate_speed.exe 8 \
        "$data/corpus.deflate" "$data/corpus.bin" 3
    echo "same program, host build:"
    build/host-release/bench/inflate_speed 8 "$data/corpus.deflate" "$data/corpus.bin" 3
fi
