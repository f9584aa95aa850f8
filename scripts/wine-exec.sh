#!/usr/bin/env bash
# Runs one Win32 program under Wine in the project's Wine environment (scripts/wine-env.sh);
# the exit code is the program's. ctest calls this for every Win32 test program, inside the
# session that scripts/wine-session.sh started. Called outside a session, it runs the program
# inside a session of its own, so that it gets the same display, prefix and settings.
#   [ORV_WINE_DPI=DPI] scripts/wine-exec.sh PROGRAM.exe [ARGUMENT...]
# With ORV_WINE_DPI the program starts at that display DPI (144 for a display at 150 %), and
# the prefix's own DPI is set again when it ends. No other Wine program may start meanwhile,
# since it would start at that DPI too (ctest runs such a test alone: RUN_SERIAL).
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=wine-env.sh
. "$here/wine-env.sh"
wine_in_session || exec "$here/wine-session.sh" "$0" "$@"
wine_dpi_restore || exit 1
[ -n "${ORV_WINE_DPI:-}" ] || exec wine "$@"

trap wine_dpi_restore EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
wine_dpi_set "$ORV_WINE_DPI" || exit 1
wine "$@"
