#!/usr/bin/env bash
# Checks that a release archive holds what this repository's source builds:
# its .sha256 file, then the launcher's signature, if it has one (against the
# system's trust store, or the given CA file), then, with the signature
# removed, the launcher byte for byte against a fresh build of the commit that
# its BUILDINFO.txt names. Prints one verdict; exits 0 only for VERIFIED.
#
# Usage: scripts/verify-release.sh ZIP [--ca-file PEM]
set -euo pipefail

usage() {
    echo "usage: $0 ZIP [--ca-file PEM]" >&2
    exit 2
}
[ $# -ge 1 ] || usage
zip=$(realpath "$1")
shift
trust=()
case $# in
    0) ;;
    2) [ "$1" = --ca-file ] || usage; trust=(-CAfile "$(realpath "$2")") ;;
    *) usage ;;
esac

repo=$(cd "$(dirname "$0")/.." && pwd)
"$repo/scripts/setup.sh"  # osslsigncode and unzip first, the toolchain for the rebuild
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

reject() {
    echo "NOT VERIFIED: $(basename "$zip"): $*" >&2
    exit 1
}

[ -f "$zip.sha256" ] || reject "no checksum file $(basename "$zip").sha256 beside it"
(cd "$(dirname "$zip")" && sha256sum --check --status "$(basename "$zip").sha256") ||
    reject "its SHA-256 does not match $(basename "$zip").sha256"

unzip -q "$zip" -d "$work/archive" || reject "it cannot be unpacked"
launcher=$(find "$work/archive" -mindepth 2 -maxdepth 2 -name AdminCheck.exe)
[ -n "$launcher" ] || reject "it holds no top folder with AdminCheck.exe"
commit=$(sed -n 's/^commit: \([0-9a-f]\{40\}\)$/\1/p' "$(dirname "$launcher")/BUILDINFO.txt" 2>/dev/null || true)
[ -n "$commit" ] || reject "its BUILDINFO.txt names no commit"

signature=unsigned
if osslsigncode extract-signature -in "$launcher" -out "$work/signature" >/dev/null 2>&1; then
    osslsigncode verify -in "$launcher" "${trust[@]}" >"$work/verify.log" 2>&1 ||
        reject "the launcher's signature does not verify: $(grep -m1 -i -E 'fail|error' "$work/verify.log" || true)"
    signer=$(sed -n 's/^[[:space:]]*Subject: //p' "$work/verify.log" | head -n 1)
    signature="signed by ${signer:-a trusted certificate}"
    osslsigncode remove-signature -in "$launcher" -out "$work/unsigned.exe" >/dev/null ||
        reject "the signature cannot be removed"
else
    cp "$launcher" "$work/unsigned.exe"
fi

git clone -q "$repo" "$work/source"
git -C "$work/source" checkout -q "$commit" 2>/dev/null ||
    reject "commit $commit is not in $repo"
cmake -S "$work/source" --preset mingw-x86 -DBUILD_TESTING=OFF --no-warn-unused-cli >/dev/null
cmake --build "$work/source/build/mingw-x86" --target AdminCheck >/dev/null
cmp -s "$work/unsigned.exe" "$work/source/build/mingw-x86/bin/AdminCheck.exe" ||
    reject "its AdminCheck.exe is not what commit $commit builds"

echo "VERIFIED: $(basename "$zip"): AdminCheck.exe is what commit $commit builds ($signature)"
