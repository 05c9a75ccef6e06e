#!/usr/bin/env bash
# Prints the notes for the release that the tag TAG names: the section of
# CHANGELOG.md headed by its version. Fails unless TAG is "v" followed by the
# version in CMakeLists.txt, and when CHANGELOG.md has no such section, or an
# empty one.
#
# Usage: scripts/release-notes.sh TAG
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 TAG" >&2; exit 2; }
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(AdminCheck VERSION \([0-9][0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "release-notes: no project version in CMakeLists.txt" >&2; exit 1; }
if [ "$1" != "v$version" ]; then
    echo "release-notes: the tag $1 is not v$version, the version in CMakeLists.txt" >&2
    exit 1
fi

# The lines after "## VERSION" up to the next "## " heading, without the blank
# lines around them.
notes=$(awk -v version="$version" '/^## / { in_section = ($2 == version); next } in_section' CHANGELOG.md |
        sed -e '/./,$!d')
if [ -z "$notes" ]; then
    echo "release-notes: CHANGELOG.md has no section '## $version', or an empty one" >&2
    exit 1
fi
echo "$notes"
