#!/usr/bin/env bash
# The main job: builds the stub and the builder, packs the example in examples/demo with
# the builder, shows what `orvsfx info` decodes from it, then runs the package under Wine
# (on a virtual display when there is no real one): it shows the setup dialog and its file
# list, presses Extract, answers what the setup asks, and shows the extracted files and
# install.log; then runs it again unattended ("/s /d folder") and shows what that extracted.
# The exit code is the package's from the first run.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=wine-env.sh
. scripts/wine-env.sh

# A program under Wine, in a Wine session of its own, with 10 minutes at most (a run takes a
# minute or two where Wine runs emulated).
underwine() { timeout --foreground --kill-after=30 600 scripts/wine-exec.sh "$@"; }

scripts/build.sh host:orvsfx win32:stub,uiprobe

package=build/example/OrvandelDemo.exe
mkdir -p build/example
scripts/make-example.sh build/host/tools/orvsfx build/win32/stub/stub.exe "$package"

echo
echo "== orvsfx info $package"
build/host/tools/orvsfx info "$package"

echo
echo "== orvsfx test $package"
build/host/tools/orvsfx test "$package"

echo
if reason=$(scripts/win32-runnable.sh 2>&1); then
    echo "== running $package under Wine"
    status=0
    underwine build/win32/tests/uiprobe.exe --extract "$package" || status=$?
    # The same package unattended: no window and no question, into a folder of our choice.
    silent=build/example/silent
    rm -rf "$silent"
    winpath=$(wine_path "$silent")
    echo
    echo "== running $package /s /d $winpath under Wine"
    code=0
    underwine "$package" /s /d "$winpath" || code=$?
    echo "exit code $code; extracted:"
    (cd "$silent" 2>/dev/null && find . -type f | sort | sed 's|^\./|    |')
    exit $status
else
    echo "== not run under Wine: $reason"
fi
