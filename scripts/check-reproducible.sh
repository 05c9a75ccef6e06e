#!/usr/bin/env bash
# Builds the committed launcher twice, from two folders of different names and
# depths, and fails unless both AdminCheck.exe files are identical byte for byte.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build() {
    git clone -q "$repo" "$1"
    cmake -S "$1" --preset mingw-x86 -DBUILD_TESTING=OFF --no-warn-unused-cli >/dev/null
    cmake --build "$1/build/mingw-x86" --target AdminCheck >/dev/null
}
build "$work/first"
build "$work/second/somewhere/else"

first=$work/first/build/mingw-x86/bin/AdminCheck.exe
second=$work/second/somewhere/else/build/mingw-x86/bin/AdminCheck.exe
if cmp "$first" "$second"; then
    echo "reproducible: AdminCheck.exe $(sha256sum < "$first" | cut -c1-16)… built the same from two folders"
else
    echo "not reproducible: AdminCheck.exe differs between two folders" >&2
    exit 1
fi
