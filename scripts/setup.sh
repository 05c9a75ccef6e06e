#!/usr/bin/env bash
# Installs from Debian's packages what building and testing need: CMake, Ninja,
# the mingw-w64 cross compiler for 32-bit Windows, GoogleTest's sources, and
# 32-bit Wine. Safe to run again; says nothing when everything is there.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          googletest wine wine32:i386)

installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! command -v apt-get >/dev/null || ! command -v dpkg >/dev/null; then
    echo "setup: missing ${missing[*]}, and this is not a Debian-like system with apt;" >&2
    echo "setup: install them with your system's package manager." >&2
    exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing ${missing[*]}; run this script as root (sudo $0) to install them." >&2
    exit 1
fi

echo "setup: installing ${missing[*]}"
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
