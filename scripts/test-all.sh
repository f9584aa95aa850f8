#!/usr/bin/env bash
# Builds everything and runs every test: the check of the shell scripts, the host tests
# (under ASan and UBSan) and the Win32 tests under Wine. Installs what is missing first
# (scripts/build.sh). Exit code 0 only when all pass. On a machine that cannot run 32-bit
# programs the Win32 tests are built but not run, and the output says so. With
# ORV_CHECK_PACKAGE=1 the Debian package is checked too (scripts/check-package.sh: built twice,
# installed, used and removed again; it needs root or sudo).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh all

status=0
scripts/check-scripts.sh || status=1
ctest --preset host -j"$(nproc)" || status=1
if reason=$(scripts/win32-runnable.sh 2>&1); then
    scripts/wine-session.sh ctest --preset win32 || status=1
else
    echo "== Win32 tests not run: $reason; the win32 build above compiled every Win32 program"
fi
if [ "${ORV_CHECK_PACKAGE:-0}" = 1 ]; then
    scripts/check-package.sh || status=1
fi
exit $status
