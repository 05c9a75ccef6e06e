#!/usr/bin/env bash
# Installs from Debian's packages what building, testing and releasing need:
# CMake, Ninja, the mingw-w64 cross compiler for 32-bit Windows, GoogleTest's
# sources, 32-bit Wine, and the release and lint tools. On a machine that
# cannot run 32-bit x86 code natively, it also installs QEMU's user-mode
# emulator and registers it for 32-bit programs, so that Wine runs there too.
# Safe to run again; says nothing when everything is there.
set -euo pipefail

packages=(cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          googletest wine wine32:i386 git osslsigncode openssl unzip shellcheck
          python3-yaml)
wine32_loader=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc

installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

# True when 32-bit x86 programs start here, natively or through binfmt_misc.
runs_32bit() {
    "$wine32_loader" --version >/dev/null 2>&1
}

need_root() {
    if ! command -v apt-get >/dev/null || ! command -v dpkg >/dev/null; then
        echo "setup: $1, and this is not a Debian-like system with apt;" >&2
        echo "setup: install them with your system's package manager." >&2
        exit 1
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: $1; run this script as root (sudo $0) to do it." >&2
        exit 1
    fi
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    need_root "missing ${missing[*]}"
    echo "setup: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

runs_32bit && exit 0

# Some virtual machines have no 32-bit mode for user programs. QEMU translates
# 32-bit code instead. Debian 12's own QEMU 7.2 mishandles the address
# reservations Wine makes and takes about a minute to start each program; the
# QEMU 10 of bookworm-backports starts one in a fraction of a second.
need_root "this machine cannot run 32-bit programs and needs QEMU's emulator for them"
echo "setup: this machine cannot run 32-bit x86 programs; setting up QEMU's emulator for them"
# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
release=()
if [ "$codename" = bookworm ]; then
    echo "deb http://deb.debian.org/debian bookworm-backports main" \
        > /etc/apt/sources.list.d/bookworm-backports.list
    apt-get update -qq
    release=(-t bookworm-backports)
fi
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${release[@]}" qemu-user-static >/dev/null

[ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt"
[ -e "$binfmt/qemu-i386" ] && echo -1 > "$binfmt/qemu-i386"
# 32-bit little-endian x86 executables and shared objects; F opens the
# emulator now, so that it is found inside any root.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":qemu-i386:M::$magic:$mask:$(command -v qemu-i386-static):F" > "$binfmt/register"

runs_32bit || { echo "setup: 32-bit programs still do not start here" >&2; exit 1; }
