#!/usr/bin/env bash
# Runs a command inside a Wine session: a virtual X display (when there is no real one),
# a private Wine prefix under build/win32 and one persistent wineserver, so that the many
# short Win32 programs of a test run start quickly. Everything is stopped at the end, also
# when the command fails or is interrupted.
#   scripts/wine-session.sh ctest --preset win32
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX="${WINEPREFIX:-$here/../build/win32/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32

xvfb_pid=""
cleanup() {
    wineserver -k 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ]; then
    for n in $(seq 90 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        break
    done
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${DISPLAY#:}" ] && break; sleep 0.1; done
fi

mkdir -p "$(dirname "$WINEPREFIX")"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: creating Wine prefix $WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi
wineserver -p
# Windows are left unmanaged: Wine waits up to 2 s for a window manager to confirm each
# top-level window it hides or destroys, and on the virtual display none ever does, so every
# closed dialog and message box, and the end of every package run, cost seconds. Set in every
# session, so that a prefix made earlier has it too. This first program of the session also
# starts Wine's background services, which inherit its output. Starting them here, with nothing
# attached, keeps them from holding open the output pipe of the first test (ctest would
# otherwise wait for it until the test's timeout).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
"$@"
