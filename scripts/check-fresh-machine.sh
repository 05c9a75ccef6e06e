#!/usr/bin/env bash
# Shows that the README's test command and the demo pass on a fresh Debian 12
# machine, not only on one where the packages are already installed.
#
# Usage: scripts/check-fresh-machine.sh [--security-amd64-only]
#
# As root, it lays out a new Debian 12 root with mmdebstrap, at the release's
# own versions (bookworm and bookworm-updates; security is kept out while the
# base is made), gives it this machine's apt sources, apt settings and extra
# CA certificates, and clones this repository's committed HEAD into it:
# uncommitted changes are not part of the check. In that root, with a clean
# environment, it runs scripts/setup.sh, then the README's test command, then
# scripts/demo.sh. It passes when all three pass, ctest ran tests, the demo
# started both variants, and no package that the root had before set-up was
# removed or downgraded.
#
# --security-amd64-only serves the security suite for amd64 alone, as a
# mirror caught mid-sync may: apt then cannot pair the amd64 and i386 halves
# of the libraries 32-bit Wine needs, and set-up must get past that.
#
# Everything runs in a mount and PID namespace of its own, so that killing
# the check takes every process and mount it made with it; a root left behind
# by a killed run is removed by the next run. The base root is made once, as
# a tarball kept in the work folder, and unpacked anew for each run.
set -euo pipefail

work=/var/tmp/admincheck-fresh-machine
repo=$(cd "$(dirname "$0")/.." && pwd)

security_amd64_only=false
case "${1:-}" in
    "") ;;
    --security-amd64-only) security_amd64_only=true ;;
    *) echo "usage: $0 [--security-amd64-only]" >&2; exit 2 ;;
esac

say() { echo "check-fresh-machine: $*"; }
fail() { echo "check-fresh-machine: $*" >&2; exit 1; }

if [ "$(id -u)" -ne 0 ]; then
    fail "must run as root: it makes a Debian root with mmdebstrap and mounts /proc and /dev into it"
fi

# Into the namespaces first; the rest of the script runs there.
if [ -z "${ADMINCHECK_FRESH_MACHINE_NAMESPACE:-}" ]; then
    export ADMINCHECK_FRESH_MACHINE_NAMESPACE=1
    exec unshare --mount --pid --fork --kill-child -- "$0" "$@"
fi

started=$SECONDS
# Prints how long the step named took, from the time in $1.
took() { say "$2 took $((SECONDS - $1)) s"; }

# True when something is mounted at or below the folder $1.
has_mounts() {
    awk -v dir="$1" '$5 == dir || index($5, dir "/") == 1 { found = 1 } END { exit !found }' \
        /proc/self/mountinfo
}

# Deletes a root, only when nothing is mounted in it any more: /dev is bound
# into it, and the host's device nodes must survive.
remove_root() {
    if has_mounts "$1"; then
        say "left $1 in place: something is still mounted in it" >&2
        return 1
    fi
    rm -rf --one-file-system "$1"
}

mkdir -p "$work"
# One run at a time: another run's mounts are in its own namespace, unseen
# here, so its root would look like one left behind.
exec 9> "$work/lock"
flock -n 9 || fail "another check is running (it holds $work/lock)"
for old in "$work"/root.*; do
    [ -d "$old" ] || continue
    say "removing $old, left by an earlier run"
    remove_root "$old" || true
done

available=$(df --output=avail -B1G "$work" | tail -n 1 | tr -d ' ')
[ "$available" -ge 4 ] || fail "$work has ${available} GiB free; a root takes about 3 GiB, and its base 0.5 GiB more"

command -v mmdebstrap >/dev/null || {
    say "installing mmdebstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null
}

# shellcheck source=/dev/null
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ "$codename" = bookworm ] || fail "this machine is not Debian 12 (bookworm), whose sources the root takes"

# The machine's apt sources, as files, and its apt settings.
sources=()
[ -s /etc/apt/sources.list ] && sources+=(/etc/apt/sources.list)
for file in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] && sources+=("$file")
done
[ ${#sources[@]} -gt 0 ] || fail "this machine has no apt sources to give the root"
settings=(/etc/apt/apt.conf.d/*)

# --- The base root, at the release's own versions ---------------------------
# Made again whenever the machine's sources or settings change.
base=$work/base-$(cat "${sources[@]}" "${settings[@]}" | sha256sum | cut -c1-16).tar
if [ ! -f "$base" ]; then
    step=$SECONDS
    say "making the base root $base"
    rm -f "$work"/base-*.tar
    pin=$work/no-security.pref
    printf 'Package: *\nPin: release n=%s-security\nPin-Priority: -1\n' "$codename" > "$pin"
    # Each sources file is pasted into the root's own list; the pin keeps the
    # security suite out of the base and goes when the base is made.
    mmdebstrap --variant=minbase --format=tar --logfile="$work/base.log" \
        --setup-hook="copy-in ${settings[*]} /etc/apt/apt.conf.d/" \
        --setup-hook="copy-in $pin /etc/apt/preferences.d/" \
        --customize-hook='rm "$1/etc/apt/preferences.d/no-security.pref"' \
        "$codename" "$base.part" "${sources[@]}" ||
        { tail -n 20 "$work/base.log"; fail "FAILED: mmdebstrap could not make the base root: apt failed (the mirror)"; }
    mv "$base.part" "$base"
    took "$step" "making the base root"
fi

# --- A fresh root for this run --------------------------------------------------
root=$(mktemp -d "$work/root.XXXXXX")
step=$SECONDS
tar -C "$root" -xf "$base"
# The machine's own sources replace what the base was made from, as files of
# the same names, so that the security suite is served again.
rm -f "$root/etc/apt/sources.list" "$root"/etc/apt/sources.list.d/*
for file in "${sources[@]}"; do
    cp "$file" "$root$file"
done
if $security_amd64_only; then
    # deb822 stanzas and one-line entries of a *-security suite: amd64 only.
    for file in "$root"/etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Suites:[^\n]*-security/ { $0 = $0 "\nArchitectures: amd64" }
             { print }' "$file" > "$file.new"
        mv "$file.new" "$file"
    done
    for file in "$root/etc/apt/sources.list" "$root"/etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -i -E '/^deb\s.*-security(\s|$)/ { /^deb\s+\[/ ! s/^deb\s+/deb [] /; s/^deb\s+\[/deb [arch=amd64 /; s/ \]/]/ }' "$file"
    done
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# Extra CA certificates, for a network whose proxy signs with its own.
cp -r /usr/local/share/ca-certificates/. "$root/usr/local/share/ca-certificates/" 2>/dev/null || true
environment=(HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
             LANG=C.UTF-8 TERM=dumb)
if [ -n "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f "$NODE_EXTRA_CA_CERTS" ]; then
    cp "$NODE_EXTRA_CA_CERTS" "$root/usr/local/share/node-extra-ca-certs.crt"
    environment+=(NODE_EXTRA_CA_CERTS=/usr/local/share/node-extra-ca-certs.crt)
fi
git clone --quiet --no-checkout "$repo" "$root/src"
git -C "$root/src" checkout --quiet --detach "$(git -C "$repo" rev-parse HEAD)"

# What Wine needs: the root's own /proc (of this PID namespace) and the
# machine's /dev with its pts and shm. On a machine without 32-bit mode, the
# emulator that binfmt_misc's F flag holds open runs inside the root as well.
# Where the machine has not registered one yet, set-up in the root registers
# its own: binfmt_misc is one for the whole machine, so that registration
# outlives the root, and the file it holds open with it.
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
took "$step" "laying out the root"

# The root's packages, one "name:arch version" a line.
root_packages() {
    chroot "$root" dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' | sort
}
packages_before=$(root_packages)

logs=$work/logs
mkdir -p "$logs"
# Runs the command $2 in the root's checkout as root, with a clean
# environment, its output in $logs/$1.log; prints its time.
run_in_root() {
    local step=$SECONDS status=0
    say "running $2"
    env -i "${environment[@]}" chroot "$root" /bin/bash -c "cd /src && $2" > "$logs/$1.log" 2>&1 || status=$?
    took "$step" "$1"
    return $status
}

# Ends the run: what failed, and whose fault it is, on the last line.
finish() {
    local verdict=$1
    # Wine's server outlives the demo by a few seconds and keeps /dev busy.
    # This script is the namespace's first process, so -1 is everyone else
    # in it, and no one outside.
    [ $$ -ne 1 ] || kill -KILL -1 2>/dev/null || true
    sleep 1
    umount -R "$root/dev" "$root/proc" || true
    remove_root "$root" || true
    say "whole check took $((SECONDS - started)) s"
    if [ "$verdict" = passed ]; then
        say "PASSED on a fresh Debian 12 root$($security_amd64_only && echo ", with security served for amd64 only")"
        exit 0
    fi
    echo "check-fresh-machine: FAILED: $verdict" >&2
    exit 1
}
# Shows the end of a step's log.
show_log() { tail -n 40 "$logs/$1.log" | tr -d '\r'; }

readme_test_command=$(awk '/^## Test it/ { in_section = 1; next }
                           in_section && /^    / { sub(/^    /, ""); print; exit }' "$repo/README.md")
[ -n "$readme_test_command" ] || finish "README.md has no test command under 'Test it' (the code)"

run_in_root setup scripts/setup.sh ||
    { show_log setup; finish "scripts/setup.sh could not install the packages: apt failed (the mirror)"; }
run_in_root test "$readme_test_command" ||
    { show_log test; finish "the README's test command failed: the build or tests failed (the code)"; }
grep -qE '^[0-9]+% tests passed, 0 tests failed out of [1-9]' "$logs/test.log" ||
    { show_log test; finish "ctest ran no test: the build or tests failed (the code)"; }
run_in_root demo scripts/demo.sh ||
    { show_log demo; finish "scripts/demo.sh failed: the build or the launcher failed (the code)"; }
for line in "KelmoraServer2.1 started" "KelmoraServer2.1_UAC started"; do
    tr -d '\r' < "$logs/demo.log" | grep -qx "$line" ||
        { show_log demo; finish "the demo did not print '$line': the launcher failed (the code)"; }
done

# Set-up may add packages and, from a synced mirror, bring security updates;
# it must not remove or downgrade any package the machine had.
packages_after=$(root_packages)
changed=""
while read -r package version; do
    now=$(awk -v p="$package" '$1 == p { print $2 }' <<< "$packages_after")
    if [ -z "$now" ]; then
        changed+=" $package (removed)"
    elif dpkg --compare-versions "$now" lt "$version"; then
        changed+=" $package ($version -> $now)"
    elif [ "$now" != "$version" ]; then
        say "upgraded by set-up: $package $version -> $now"
    fi
done <<< "$packages_before"
[ -z "$changed" ] || finish "set-up removed or downgraded packages:$changed: apt failed (the mirror)"

finish passed
