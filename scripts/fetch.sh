# shellcheck shell=bash
# Network steps of the scripts: retried, time-limited, and checked where they fetch a file.
# Sourced by apt-install.sh, bench.sh and count-instructions.sh:
#   retry [--log FILE] TRIES LIMIT COMMAND...
#       runs COMMAND up to TRIES times, each try limited to LIMIT seconds, waiting 5 s, 10 s,
#       ... between tries; returns 0 at the first success, else COMMAND's last status. With
#       --log, each try's output goes to FILE (the last try's stays there to be shown).
#   fetch_checked FILE SHA256 LIMIT COMMAND...
#       makes FILE, a file that COMMAND writes into its working folder under FILE's name
#       (e.g. "npm pack NAME@VERSION"), unless FILE is there already with that SHA-256. Each
#       of three tries runs COMMAND in an empty temporary folder for at most LIMIT seconds,
#       and only a result with the pinned SHA-256 becomes FILE: a broken or changed download
#       is never used. Returns 1 with the reason when no try gave the pinned file.
# Debian's packages need no pin of ours: apt checks every file it fetches against the
# SHA-256 in the archive's signed Release files. Everything else that is downloaded goes
# through fetch_checked.

retry() {
    local log="" tries limit try status=0
    if [ "$1" = --log ]; then
        log=$2
        shift 2
    fi
    tries=$1 limit=$2
    shift 2
    for try in $(seq "$tries"); do
        if [ -z "$log" ]; then
            timeout --kill-after=10 "$limit" "$@" && return 0
        else
            timeout --kill-after=10 "$limit" "$@" >"$log" 2>&1 && return 0
        fi
        status=$?
        if [ "$try" -lt "$tries" ]; then
            echo "fetch: try $try of $tries failed (exit code $status): $*; trying again" >&2
            sleep $((5 * try))
        fi
    done
    echo "fetch: all $tries tries failed: $*" >&2
    return "$status"
}

# Exit code 0 when FILE exists and has the SHA-256 given.
sha256_is() { [ -f "$1" ] && echo "$2  $1" | sha256sum --check --status 2>/dev/null; }

fetch_checked() {
    local file=$1 sha256=$2 limit=$3 name try work got
    shift 3
    name=$(basename "$file")
    sha256_is "$file" "$sha256" && return 0
    rm -f "$file"
    mkdir -p "$(dirname "$file")"
    for try in 1 2 3; do
        work=$(mktemp -d)
        if (cd "$work" && timeout --kill-after=10 "$limit" "$@" >/dev/null); then
            if sha256_is "$work/$name" "$sha256"; then
                mv "$work/$name" "$file"
                rm -rf "$work"
                return 0
            fi
            got=$( (sha256sum "$work/$name" 2>/dev/null || echo "nothing") | cut -d' ' -f1)
            echo "fetch: try $try of 3: $name has SHA-256 $got, not the pinned $sha256" >&2
        else
            echo "fetch: try $try of 3 failed: $*" >&2
        fi
        rm -rf "$work"
        [ "$try" -lt 3 ] && sleep $((5 * try))
    done
    echo "fetch: $name could not be fetched with its pinned SHA-256 $sha256" >&2
    return 1
}
