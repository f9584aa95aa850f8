#!/usr/bin/env bash
# Installs Debian packages so that a day on which one index of the registry cannot be
# downloaded does not stop the set-up. Sourced by install-deps.sh and ia32-emulation.sh:
#   aptinstall [apt-get install options] package ...
#
# The registry sometimes serves one index short ("File has unexpected size ... Mirror sync in
# progress?"), often only the i386 index of the security suite. Wine needs i386 libraries
# whose versions equal those of their amd64 twins, and with one architecture's index of a
# suite missing, apt cannot find matching twins and refuses the install as "held broken
# packages". So the index update is retried a few times; where a suite's index still fails,
# that suite is ranked below the others for this install only (an apt preference removed
# again afterwards), so both twins come from the same suite, the one whose indexes all
# arrived. Every step says what it did; a failure prints apt's own words and fails.

aptlog=$(mktemp)
aptpin=/etc/apt/preferences.d/orvandel-failed-index
aptsudo=""
[ "$(id -u)" -eq 0 ] || aptsudo="sudo"

aptcleanup() {
    $aptsudo rm -f "$aptpin"
    rm -f "$aptlog"
}
trap aptcleanup EXIT

# Suites whose index failed to download in the last update (the "n=" name of each).
failedsuites() {
    sed -n 's|^[EW]: Failed to fetch .*/dists/\([^/]*\)/.*|\1|p' "$aptlog" | sort -u
}

# Updates the package indexes, up to four times. Returns 0 when every index arrived; 1
# when some still failed, with the failing suites pinned below the rest.
aptupdate() {
    local attempt
    for attempt in 1 2 3 4; do
        if $aptsudo apt-get update -q >"$aptlog" 2>&1 && ! grep -q '^[EW]: Failed to fetch' "$aptlog"; then
            return 0
        fi
        if [ "$attempt" -lt 4 ]; then
            echo "apt-install: package index update $attempt of 4 failed; trying again" >&2
            sleep $((attempt * 5))
        else
            echo "apt-install: package index update 4 of 4 failed:" >&2
            grep '^[EW]: ' "$aptlog" | sed 's/^/    /' >&2
        fi
    done
    local suites
    suites=$(failedsuites)
    if [ -z "$suites" ]; then
        echo "apt-install: the package indexes cannot be updated:" >&2
        sed 's/^/    /' "$aptlog" >&2
        exit 1
    fi
    : | $aptsudo tee "$aptpin" >/dev/null
    local suite
    for suite in $suites; do
        printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$suite" |
            $aptsudo tee -a "$aptpin" >/dev/null
        echo "apt-install: an index of $suite did not download; for this install its" \
             "packages rank below the other suites', so that twins of both architectures" \
             "come from one suite" >&2
    done
    return 1
}

aptinstall() {
    aptupdate || true
    if ! DEBIAN_FRONTEND=noninteractive $aptsudo apt-get install -y -q "$@" >"$aptlog" 2>&1; then
        echo "apt-install: installing failed: apt-get install $*" >&2
        sed 's/^/    /' "$aptlog" >&2
        exit 1
    fi
    $aptsudo rm -f "$aptpin"
}
