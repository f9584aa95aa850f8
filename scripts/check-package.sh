#!/usr/bin/env bash
# Checks the Debian package as a newcomer meets it. It installs a package on this machine and
# removes it again, so it needs root (or sudo) and is not part of every test run: test-all.sh
# runs it when ORV_CHECK_PACKAGE=1.
#   scripts/check-package.sh
# 1. The package is built twice from this commit, in two build folders (scripts/package.sh
#    with the same SOURCE_DATE_EPOCH); the two .deb files must be the same bytes.
# 2. "apt-get install ./orvsfx_<version>_amd64.deb" installs it with what it depends on; the
#    installed orvsfx names its stub in /usr/share/orvsfx, builds a package without --stub
#    and "orvsfx test" passes that package.
# 3. "apt-get remove orvsfx" removes it, and nothing that the package brought is left: no
#    file or folder, and no record of it in dpkg's database (it has no configuration files).
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -q -o DPkg::Lock::Timeout=600)

installed() { dpkg-query -W -f='${Status}' orvsfx 2>/dev/null | grep -q ' installed$'; }
if installed; then
    echo "check-package: orvsfx is installed on this machine already; remove it first" >&2
    exit 1
fi

SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
scripts/package.sh build/package
scripts/package.sh build/package-again
deb=$(echo build/package/orvsfx_*_amd64.deb)
status=0
if cmp "$deb" "build/package-again/${deb##*/}"; then
    echo "== reproducible: the two builds of $(basename "$deb") are the same bytes"
else
    status=1
fi

work=$(mktemp -d)
# shellcheck disable=SC2317 # run by the exit trap
cleanup() {
    if installed; then "${apt[@]}" purge orvsfx >/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT

# What the package brings that is not on the machine yet: all of it must go again.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\.||' -e 's|/$||' | grep . >"$work/paths"
while read -r path; do [ -e "$path" ] || echo "$path"; done <"$work/paths" >"$work/new"

echo "== apt-get install ./$deb"
"${apt[@]}" install "./$deb" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
dpkg-query -W -f='installed: ${Package} ${Version}, depends on ${Depends}\n' orvsfx
version=$(orvsfx --version)
echo "$version"
grep -q '^stub: .* /usr/share/orvsfx/stub.exe$' <<<"$version" || status=1
mkdir -p "$work/payload/docs"
echo "Read me first." >"$work/payload/readme.txt"
echo "Notes." >"$work/payload/docs/notes.txt"
(cd "$work" && orvsfx build -o Setup.exe ./payload && orvsfx test Setup.exe) || status=1

echo "== apt-get remove orvsfx"
"${apt[@]}" remove orvsfx >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
left=$(
    while read -r path; do [ ! -e "$path" ] || echo "$path"; done <"$work/new"
    ls /var/lib/dpkg/info/orvsfx.* 2>/dev/null || true
    dpkg-query -W -f='${db:Status-Abbrev}\n' orvsfx 2>/dev/null | grep -v '^un' || true
)
if [ -n "$left" ]; then
    echo "check-package: left behind after the purge:" >&2
    echo "$left" >&2
    status=1
else
    echo "== nothing left: the $(wc -l <"$work/new") paths the package brought are gone"
fi
exit $status
