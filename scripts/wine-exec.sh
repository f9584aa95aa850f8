#!/usr/bin/env bash
# Runs one Win32 program under Wine in the project's Wine environment (scripts/wine-env.sh);
# the exit code is the program's. ctest calls this for every Win32 test program, inside the
# session that scripts/wine-session.sh started. Called outside a session, it runs the program
# inside a session of its own, so that it gets the same display, prefix and settings.
#   scripts/wine-exec.sh PROGRAM.exe [ARGUMENT...]
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
wine_in_session && exec wine "$@"
exec "$here/wine-session.sh" wine "$@"
