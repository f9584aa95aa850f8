#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian machine. Safe to run again:
# it installs nothing when every package is already there (scripts/build.sh runs it before
# every build).
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format
    g++-mingw-w64-i686 googletest
    wine wine32:i386 xvfb xauth x11-utils
    libdeflate-dev liblzma-dev zlib1g-dev icoutils osslsigncode openssl zip
    7zip libarchive-tools python3 locales time shellcheck
    dpkg-dev file groff-base
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    echo "installing: ${missing[*]}"
    . "$(dirname "$0")/apt-install.sh"
    $sudo dpkg --add-architecture i386
    aptinstall "${missing[@]}"
fi

# A Win32 test runs under Japanese Shift-JIS; Wine converts file names for Linux through the
# locale it is started in, so that locale must exist.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    $sudo sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi

# Wine needs 32-bit programs to run; where the kernel cannot, an emulator is set up. Where
# even that fails, the builds still work: the callers build the Win32 side without running it
# (scripts/win32-runnable.sh tells them).
if ! "$(dirname "$0")/ia32-emulation.sh"; then
    echo "install-deps: 32-bit programs cannot be run here; Win32 programs will be built" \
        "but not run" >&2
fi
