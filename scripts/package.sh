#!/usr/bin/env bash
# Builds the Debian package of orvsfx and an archive of the same tree (cmake/Package.cmake):
#   scripts/package.sh [BUILD_DIR]
# The stub comes from the win32 build (scripts/build.sh win32:stub), orvsfx from the
# "package" preset (release flags) configured in BUILD_DIR, build/package by default, where
# cpack writes orvsfx_<version>_amd64.deb and orvsfx-<version>-linux-x86_64.tar.gz.
# SOURCE_DATE_EPOCH, unless set, is the time of the last commit, so that two builds of one
# commit give the same bytes (scripts/check-package.sh compares them).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/package}
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

scripts/build.sh win32:stub
echo "== packaging in $build (SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
cmake --preset package -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target orvsfx orvsfx_docs
rm -f "$build"/orvsfx_*.deb "$build"/orvsfx-*.tar.gz
(cd "$build" && cpack >/dev/null)
ls -l "$build"/orvsfx_*.deb "$build"/orvsfx-*.tar.gz
