#!/usr/bin/env bash
# Makes the release archive of the checked-out commit, AdminCheck-<version>-
# win32.zip with its .sha256 beside it, in build/mingw-x86, and prints its
# path as the last line. It builds with the mingw-x86 preset and runs the whole
# suite first (--no-tests skips that, for a commit whose suite has passed).
# All times in the archive, and the signing time, are the commit's, so the
# same commit gives the same bytes.
#
# Usage: scripts/release.sh [--sign-pkcs12 FILE --password-file FILE]
#                           [--timestamp URL] [--no-tests]
#   --sign-pkcs12 FILE    sign AdminCheck.exe with this PKCS#12 certificate
#   --password-file FILE  the file that holds the certificate's password
#   --timestamp URL       add an RFC 3161 time stamp from this server
set -euo pipefail

usage() {
    echo "usage: $0 [--sign-pkcs12 FILE --password-file FILE] [--timestamp URL] [--no-tests]" >&2
    exit 2
}

pkcs12='' password='' timestamp='' tests=yes
while [ $# -gt 0 ]; do
    case $1 in
        --sign-pkcs12) [ $# -ge 2 ] || usage; pkcs12=$(realpath "$2"); shift 2 ;;
        --password-file) [ $# -ge 2 ] || usage; password=$(realpath "$2"); shift 2 ;;
        --timestamp) [ $# -ge 2 ] || usage; timestamp=$2; shift 2 ;;
        --no-tests) tests=no; shift ;;
        *) usage ;;
    esac
done
if { [ -n "$pkcs12" ] && [ -z "$password" ]; } || { [ -z "$pkcs12" ] && [ -n "$password" ]; } ||
   { [ -n "$timestamp" ] && [ -z "$pkcs12" ]; }; then
    echo "release: --sign-pkcs12 and --password-file go together; --timestamp needs both" >&2
    usage
fi

cd "$(dirname "$0")/.."
if [ -n "$(git status --porcelain)" ]; then
    echo "release: the checkout has uncommitted changes; commit or stash them first:" >&2
    git status --short >&2
    exit 1
fi

scripts/setup.sh
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
if [ $tests = yes ]; then
    cmake --workflow --preset mingw-x86 >&2
else
    cmake --preset mingw-x86 >&2 && cmake --build --preset mingw-x86 >&2
fi

# Signing happens in CPack's staging folder, on the copy that is archived.
if [ -n "$pkcs12" ]; then
    export ADMINCHECK_SIGN_PKCS12=$pkcs12 ADMINCHECK_SIGN_PASSWORD_FILE=$password
    [ -z "$timestamp" ] || export ADMINCHECK_SIGN_TIMESTAMP_URL=$timestamp
fi
cpack_output=$(cpack --preset mingw-x86)
echo "$cpack_output" >&2
package=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$cpack_output")
[ -n "$package" ] || { echo "release: CPack made no archive" >&2; exit 1; }
echo "$package"
