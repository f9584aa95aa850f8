# shellcheck shell=bash
# The one Wine environment of the project, sourced by every script that starts Wine:
# wine-session.sh and wine-exec.sh, and through them ctest's Win32 tests, run-example.sh,
# screenshots.sh and bench-wine.sh. Sourcing it starts nothing; it exports the variables
# below and defines the steps a Wine session is made of, which wine-session.sh runs:
#   wine_in_session      exit code 0 inside a session on this prefix
#   wine_need_32bit      makes sure 32-bit x86 programs run (IA-32 emulation where needed)
#   wine_display_start   a display that answers: DISPLAY's, or a virtual one (Xvfb)
#   wine_display_stop    stops the virtual display, if one was started
#   wine_prefix_prepare  creates the prefix when it is missing
#   wine_settings        the prefix's registry settings; starts Wine's background services
#   wine_dpi_set DPI     the display DPI of the programs Wine starts from now on
#   wine_dpi_restore     the prefix's own DPI again
#   wine_path PATH       PATH as Wine's drive Z: shows it (Z:\...)

wine_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# One prefix per checkout, under its build folder, so that another checkout's test run or a
# developer's ~/.wine is never touched. A caller may choose another one (screenshots.sh
# does: its prefix holds Wine's fonts, which the test suite's must not have).
export WINEPREFIX="${WINEPREFIX:-$wine_root/build/win32/wineprefix}"
# A 32-bit prefix: the stub and every test program are 32-bit. Where Debian's wine64 is
# installed too, Wine would otherwise make a 64-bit prefix and run them through its WoW64
# layer, which costs time at every start and is not what the stub meets on 32-bit Windows.
# (It only matters when the prefix is made.)
export WINEARCH=win32
# Wine's own diagnostics off: its fixme and err lines would drown the tests' output, and
# writing them slows every program. A value from the caller is kept, to debug one run
# (WINEDEBUG=+seh scripts/wine-exec.sh PROGRAM).
export WINEDEBUG="${WINEDEBUG:--all}"
# No Wine Mono and no Wine Gecko: with their DLLs disabled, making a prefix does not offer
# to download and install them (a dialog nobody answers on a virtual display, and downloads
# from outside Debian). Nothing of ours uses .NET or HTML. Not taken from the caller: a
# different value would change how every test program runs.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Where wine_dpi_set keeps the prefix's own DPI setting until wine_dpi_restore puts it back.
wine_dpi_kept="$WINEPREFIX.dpi"
wine_dpi_key='HKCU\Control Panel\Desktop'

wine_logname=${0##*/}
wine_logname=${wine_logname%.sh}
wine_xvfb_pid=""
wine_xvfb_dir=""

wine_in_session() { [ "${ORV_WINE_SESSION:-}" = "$WINEPREFIX" ]; }

wine_path() {
    local absolute
    absolute=$(realpath -m "$1")
    printf 'Z:%s' "${absolute//\//\\}"
}

# Wine runs every Win32 program as a 32-bit x86 Linux process. A kernel with IA-32 emulation
# off needs QEMU's user-mode emulator registered (ia32-emulation.sh; the registration is lost
# when the machine restarts, and set up again here). Returns 1 with the reason when 32-bit
# programs cannot be made to run.
wine_need_32bit() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1 && return 0
    "$wine_root/scripts/ia32-emulation.sh" >&2 && return 0
    echo "$wine_logname: this machine cannot run 32-bit x86 programs, so Wine cannot start" >&2
    return 1
}

# Installs the Debian package $2 when the command $1 is missing.
wine_need_command() {
    command -v "$1" >/dev/null 2>&1 && return 0
    echo "$wine_logname: installing $2 for $1" >&2
    # shellcheck source=apt-install.sh
    . "$wine_root/scripts/apt-install.sh"
    aptinstall "$2"
}

# Exit code 0 when the X display $1 accepts a client within 5 s.
wine_display_answers() { timeout 5 xdpyinfo -display "$1" >/dev/null 2>&1; }

# Uses DISPLAY when it answers; otherwise starts Xvfb, which picks a free display number
# itself and writes it to a file once it accepts clients (-displayfd: no race with another
# checkout's session picking the same number), and waits until the display answers, 30 s at
# most. Returns 1 with Xvfb's own words when it does not come up.
wine_display_start() {
    wine_need_command xdpyinfo x11-utils || return 1
    if [ -n "${DISPLAY:-}" ]; then
        wine_display_answers "$DISPLAY" && return 0
        echo "$wine_logname: the display $DISPLAY does not answer; using a virtual one" >&2
    fi
    wine_need_command Xvfb xvfb || return 1
    wine_xvfb_dir=$(mktemp -d)
    # 1280x1024 at 24 bits: room for every dialog and for screenshots.sh's virtual desktop,
    # in the colour depth the pictures are taken in. No TCP: only this machine's clients.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
        3>"$wine_xvfb_dir/display" >"$wine_xvfb_dir/log" 2>&1 </dev/null &
    wine_xvfb_pid=$!
    local deadline=$((SECONDS + 30)) number=""
    while [ "$SECONDS" -lt "$deadline" ]; do
        number=$(cat "$wine_xvfb_dir/display" 2>/dev/null || true)
        if [ -n "$number" ] && wine_display_answers ":$number"; then
            export DISPLAY=":$number"
            return 0
        fi
        kill -0 "$wine_xvfb_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$wine_xvfb_pid" 2>/dev/null; then
        echo "$wine_logname: the virtual display (Xvfb) did not answer within 30 s" >&2
    else
        echo "$wine_logname: the virtual display (Xvfb) could not start" >&2
    fi
    sed 's/^/    /' "$wine_xvfb_dir/log" >&2
    wine_display_stop
    return 1
}

# Stops the Xvfb that wine_display_start started: asked first, killed after 5 s.
wine_display_stop() {
    if [ -n "$wine_xvfb_pid" ]; then
        kill "$wine_xvfb_pid" 2>/dev/null
        local _
        for _ in $(seq 50); do
            kill -0 "$wine_xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -0 "$wine_xvfb_pid" 2>/dev/null && kill -KILL "$wine_xvfb_pid" 2>/dev/null
        wait "$wine_xvfb_pid" 2>/dev/null
        wine_xvfb_pid=""
    fi
    [ -z "$wine_xvfb_dir" ] || rm -rf "$wine_xvfb_dir"
    wine_xvfb_dir=""
    return 0
}

# Makes the prefix when it has none yet (about a minute emulated; 15 minutes at most).
wine_prefix_prepare() {
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    echo "$wine_logname: creating Wine prefix $WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    if ! timeout --kill-after=10 900 wineboot -i >/dev/null 2>&1 </dev/null ||
        ! timeout --kill-after=10 300 wineserver -w; then
        echo "$wine_logname: wineboot could not create the prefix $WINEPREFIX" >&2
        return 1
    fi
}

# The prefix's registry settings, written in every session so that a prefix made earlier
# gets them too:
#  - Windows are left unmanaged (Managed=N of the X11 driver). Wine waits up to 2 s for a
#    window manager to confirm each top-level window it hides or destroys, and on the
#    virtual display none ever does, so every closed dialog and message box, and the end of
#    every package run, would cost seconds (the Win32 suite runs in about five minutes with
#    it, several times that without).
#  - A display DPI that a killed run left set (wine_dpi_set, below) is taken back.
# This first program of a session also starts Wine's background services, which inherit its
# output. Starting them here, with nothing attached, keeps them from holding open the output
# pipe of the first test (ctest would otherwise wait for it until the test's timeout).
wine_settings() {
    if ! timeout --kill-after=10 300 wine reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /d N /f >/dev/null 2>&1 </dev/null; then
        echo "$wine_logname: Wine could not write its settings into $WINEPREFIX" >&2
        return 1
    fi
    wine_dpi_restore
}

# Wine gives a program the display DPI of LogPixels in HKCU\Control Panel\Desktop (96 without
# it), read when the program starts. wine_dpi_set DPI keeps the prefix's own value (or "none")
# in $wine_dpi_kept and sets DPI; wine_dpi_restore puts the kept value back and removes the
# file. A run killed before its restore (a test's time-out) leaves the file behind, and the
# next Wine run or session restores the prefix's value first.
wine_dpi_set() {
    wine_dpi_restore || return 1
    local kept
    kept=$(wine reg query "$wine_dpi_key" /v LogPixels 2>/dev/null </dev/null |
        tr -d '\r' | awk '$1 == "LogPixels" { print $3 }')
    echo "${kept:-none}" >"$wine_dpi_kept"
    wine_dpi_write "$1"
}

wine_dpi_restore() {
    [ -f "$wine_dpi_kept" ] || return 0
    wine_dpi_write "$(cat "$wine_dpi_kept")" && rm -f "$wine_dpi_kept"
}

# Sets LogPixels to $1 (a number, decimal or 0x hexadecimal), or deletes it for "none".
wine_dpi_write() {
    if [ "$1" = none ]; then
        timeout --kill-after=10 300 wine reg delete "$wine_dpi_key" /v LogPixels /f \
            >/dev/null 2>&1 </dev/null
        return 0 # a value that is not there is as good as deleted
    fi
    if ! timeout --kill-after=10 300 wine reg add "$wine_dpi_key" /v LogPixels /t REG_DWORD \
        /d "$1" /f >/dev/null 2>&1 </dev/null; then
        echo "$wine_logname: Wine could not set the DPI $1 in $WINEPREFIX" >&2
        return 1
    fi
}
