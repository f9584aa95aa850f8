#!/usr/bin/env bash
# Installs everything the builds and tests need on a Debian machine. Safe to run again:
# it does nothing when every package is already there.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev clang-format
    g++-mingw-w64-i686 googletest
    wine wine32:i386 xvfb xauth
    libdeflate-dev zlib1g-dev icoutils osslsigncode openssl zip
    7zip libarchive-tools python3
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "installing: ${missing[*]}"
$sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
