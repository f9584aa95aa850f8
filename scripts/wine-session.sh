#!/usr/bin/env bash
# Runs a command inside a Wine session: the project's Wine environment (scripts/wine-env.sh),
# a display that answers (a virtual one when there is none), a prefix made once under
# build/win32 and one persistent wineserver, so that the many short Win32 programs of a test
# run start quickly. Everything started is stopped at the end, also when the command fails
# or the session is interrupted or times out. The exit code is the command's.
#   scripts/wine-session.sh ctest --preset win32
# One session at a time uses a prefix: a second one on the same prefix waits for the first
# (30 minutes at most), since the end of a session stops every Wine program of its prefix.
# Inside a session, a nested one just runs its command.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"

if [ $# -eq 0 ]; then
    echo "usage: $0 COMMAND [ARGUMENT...]" >&2
    exit 2
fi
wine_in_session && exec "$@"

readonly lock_limit=1800

child=""
server=""
# The processes below process $1, by id, found before any of them is stopped.
# shellcheck disable=SC2317 # run by the exit trap
descendants() {
    local pid
    for pid in $(pgrep -P "$1"); do
        echo "$pid"
        descendants "$pid"
    done
}
# shellcheck disable=SC2317 # run by the exit trap
cleanup() {
    # Only the session's own: the command with everything it started (when a signal ended
    # the session), then every Wine process of the prefix with its wineserver, then the
    # virtual display.
    if [ -n "$child" ]; then
        # shellcheck disable=SC2046 # one process id a word
        kill "$child" $(descendants "$child") 2>/dev/null
    fi
    [ -n "$server" ] && timeout --kill-after=5 60 wineserver -k 2>/dev/null
    wine_display_stop
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkdir -p "$(dirname "$WINEPREFIX")"
exec {lock}>"$WINEPREFIX.lock"
if ! flock -n "$lock"; then
    echo "wine-session: another Wine session is using $WINEPREFIX; waiting for it" \
        "(${lock_limit} s at most)" >&2
    if ! flock -w "$lock_limit" "$lock"; then
        echo "wine-session: the other Wine session on $WINEPREFIX did not end within" \
            "${lock_limit} s" >&2
        exit 1
    fi
fi

# The session's programs do not hold the lock: only this shell does, so it ends with it.
wine_need_32bit {lock}>&- || exit 1
wine_display_start {lock}>&- || exit 1
server=1
wine_prefix_prepare {lock}>&- || exit 1
# A wineserver that stays when no Wine program runs (it would otherwise stop 3 s after the
# last one and start again with the next); wine_settings says so if it cannot start.
timeout 60 wineserver -p {lock}>&- || true
wine_settings {lock}>&- || exit 1

export ORV_WINE_SESSION=$WINEPREFIX
# In the background, so that a signal reaches the trap at once instead of after the command;
# its standard input stays the session's.
"$@" <&0 {lock}>&- &
child=$!
wait "$child"
status=$?
child=""
exit $status
