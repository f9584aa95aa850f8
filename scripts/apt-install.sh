# shellcheck shell=bash
# Installs Debian packages so that a day on which one index of the registry cannot be
# downloaded does not stop the set-up. Sourced by install-deps.sh, ia32-emulation.sh,
# wine-env.sh, screenshots.sh and count-instructions.sh:
#   aptinstall [apt-get install options] package ...
#
# The registry sometimes serves one index short ("File has unexpected size ... Mirror sync in
# progress?"), often only the i386 index of the security suite. Wine needs i386 libraries
# whose versions equal those of their amd64 twins, and with one architecture's index of a
# suite missing, apt cannot find matching twins and refuses the install as "held broken
# packages". So the index update is retried a few times; where a suite's index still fails,
# that suite is ranked below the others for this install only (an apt preference removed
# again afterwards), so both twins come from the same suite, the one whose indexes all
# arrived. The install itself, which downloads the packages, is retried too. Every step says
# what it did; a failure prints apt's own words and returns 1.
#
# apt checks every index and package it downloads against the SHA-256 sums of the archive's
# signed Release files, so these downloads need no checksum of ours. Each apt-get run has a
# time limit; apt retries a failed file itself a few times, and waits for another apt or
# dpkg run (a second checkout's set-up, say) instead of failing on its lock.

# shellcheck source=fetch.sh
. "$(dirname "${BASH_SOURCE[0]}")/fetch.sh"

aptpin=/etc/apt/preferences.d/orvandel-failed-index
aptsudo=()
[ "$(id -u)" -eq 0 ] || aptsudo=(sudo)
aptoptions=(-q -o Acquire::Retries=3 -o Acquire::http::Timeout=60 -o DPkg::Lock::Timeout=600)

# Suites whose index failed to download in the update whose output is in file $1 (the "n="
# name of each).
failedsuites() {
    sed -n 's|^[EW]: Failed to fetch .*/dists/\([^/]*\)/.*|\1|p' "$1" | sort -u
}

# Updates the package indexes, up to four times. Returns 0 when every index arrived; 1
# when some still failed, with the failing suites pinned below the rest; 2 when the indexes
# cannot be updated at all.
aptupdate() {
    local log=$1 attempt suites suite
    # A pin left behind by an interrupted install would rank a suite low for good.
    "${aptsudo[@]}" rm -f "$aptpin"
    for attempt in 1 2 3 4; do
        if timeout --kill-after=10 900 "${aptsudo[@]}" apt-get update "${aptoptions[@]}" \
            >"$log" 2>&1 && ! grep -q '^[EW]: Failed to fetch' "$log"; then
            return 0
        fi
        if [ "$attempt" -lt 4 ]; then
            echo "apt-install: package index update $attempt of 4 failed; trying again" >&2
            sleep $((attempt * 5))
        else
            echo "apt-install: package index update 4 of 4 failed:" >&2
            grep '^[EW]: ' "$log" | sed 's/^/    /' >&2
        fi
    done
    suites=$(failedsuites "$log")
    if [ -z "$suites" ]; then
        echo "apt-install: the package indexes cannot be updated:" >&2
        sed 's/^/    /' "$log" >&2
        return 2
    fi
    : | "${aptsudo[@]}" tee "$aptpin" >/dev/null
    for suite in $suites; do
        printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$suite" |
            "${aptsudo[@]}" tee -a "$aptpin" >/dev/null
        echo "apt-install: an index of $suite did not download; for this install its" \
             "packages rank below the other suites', so that twins of both architectures" \
             "come from one suite" >&2
    done
    return 1
}

aptinstall() {
    local log status=0
    log=$(mktemp)
    aptupdate "$log" || status=$?
    if [ "$status" -le 1 ]; then
        # Three tries of at most 30 minutes each: Wine and MinGW-w64 are large downloads.
        if retry --log "$log" 3 1800 "${aptsudo[@]}" env DEBIAN_FRONTEND=noninteractive \
            apt-get install -y "${aptoptions[@]}" "$@"; then
            status=0
        else
            echo "apt-install: installing failed: apt-get install $*" >&2
            sed 's/^/    /' "$log" >&2
            status=1
        fi
    fi
    "${aptsudo[@]}" rm -f "$aptpin"
    rm -f "$log"
    return "$status"
}
