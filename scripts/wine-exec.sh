#!/usr/bin/env bash
# Runs one Win32 program under Wine with the project's settings; the exit code is the
# program's. ctest calls this for every Win32 test program. Inside scripts/wine-session.sh
# the prefix, display and wineserver are already set up; alone it uses the same defaults.
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/../build/win32/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
