#!/usr/bin/env bash
# Checks the release of the committed HEAD, made in two fresh clones: the
# archives are identical, signing is repeatable and removable, verify-release
# tells a genuine archive from a tampered one, and the signed launcher still
# carries only its icon and still runs. Expects the suite to have passed on
# this commit (releases here skip it) and ends with "N passed, N failed".
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {
    local name=$1
    shift
    if "$@" >"$work/last.log" 2>&1; then
        echo "PASS $name"
        passed=$((passed + 1))
    else
        echo "FAIL $name"
        sed 's/^/    /' "$work/last.log"
        failed=$((failed + 1))
    fi
}

fails() { ! "$@"; }
checksum_matches() { (cd "$(dirname "$1")" && sha256sum --check "$(basename "$1").sha256"); }

# Makes a release in the clone $1 with the further options given; copies the
# archive and its checksum file into $2. What every release logs is kept in
# release.log.
release() {
    local clone=$1 into=$2
    shift 2
    mkdir -p "$into"
    package=$("$clone/scripts/release.sh" --no-tests "$@" 2>>"$work/release.log" | tail -n 1)
    cp "$package" "$package.sha256" "$into"
}

git clone -q "$repo" "$work/a"
git clone -q "$repo" "$work/b/at/another/depth"
release "$work/a" "$work/unsigned"
release "$work/b/at/another/depth" "$work/unsigned-again"
zip_name=$(basename "$(ls "$work"/unsigned/*.zip)")
unsigned=$work/unsigned/$zip_name
version=${zip_name#AdminCheck-}
version=${version%-win32.zip}

check "two releases of one commit from two folders are identical" \
    cmp "$unsigned" "$work/unsigned-again/$zip_name"

# A throwaway code-signing certificate, and the password in a file.
cert=$work/cert
mkdir "$cert"
printf 'throwaway-password' > "$cert/password"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=AdminCheck release test" \
    -addext extendedKeyUsage=codeSigning -keyout "$cert/key.pem" -out "$cert/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$cert/key.pem" -in "$cert/cert.pem" -out "$cert/cert.p12" \
    -passout "file:$cert/password"
signing=(--sign-pkcs12 "$cert/cert.p12" --password-file "$cert/password")
release "$work/a" "$work/signed" "${signing[@]}"
release "$work/a" "$work/signed-again" "${signing[@]}"
signed=$work/signed/$zip_name

check "signing one commit twice with one key gives identical archives" \
    cmp "$signed" "$work/signed-again/$zip_name"
check "the password appears in no output of the release" \
    fails grep -q throwaway-password "$work/release.log"

unzip -q "$unsigned" -d "$work/unsigned/files"
unzip -q "$signed" -d "$work/signed/files"
plain_exe=$(ls "$work"/unsigned/files/*/AdminCheck.exe)
signed_exe=$(ls "$work"/signed/files/*/AdminCheck.exe)
check "the archive has one top folder with the launcher, README.txt and BUILDINFO.txt" \
    test "$(cd "$work/unsigned/files" && find . -type f | sort | tr '\n' ' ')" = \
    "./${zip_name%.zip}/AdminCheck.exe ./${zip_name%.zip}/BUILDINFO.txt ./${zip_name%.zip}/README.txt "
# The archive's README.txt is the deployer's guide and nothing else: its
# source, kept with LF line ends, with the version filled in and CR LF ends.
guide_is_its_source() {
    local source=$work/a/docs/deploying.md
    grep -q @PROJECT_VERSION@ "$source" && ! grep -q $'\r' "$source" &&
        sed "s/@PROJECT_VERSION@/$version/g; s/\$/\r/" "$source" | cmp - "$(dirname "$plain_exe")/README.txt"
}
check "README.txt is the deployer's guide with the version filled in and CR LF line ends" \
    guide_is_its_source
check "osslsigncode verifies the signed launcher" \
    osslsigncode verify -in "$signed_exe" -CAfile "$cert/cert.pem"
osslsigncode remove-signature -in "$signed_exe" -out "$work/stripped.exe" >/dev/null
check "removing the signature gives back the unsigned launcher" cmp "$work/stripped.exe" "$plain_exe"
check "the checksum file of a signed archive is the signed archive's" checksum_matches "$signed"

verify=$repo/scripts/verify-release.sh
check "verify-release accepts the unsigned archive" "$verify" "$unsigned"
check "verify-release accepts the signed archive" "$verify" "$signed" --ca-file "$cert/cert.pem"
check "verify-release rejects a signature it cannot trust" fails "$verify" "$signed"

# A launcher altered after the build, in an archive whose checksum was made anew.
tampered=$work/tampered
cp -r "$work/unsigned/files" "$tampered"
sed -i 's/KelmoraServer2\.1_UAC/KelmoraServer2.1_UAX/' "$tampered"/*/AdminCheck.exe
(cd "$tampered" && cmake -E tar cf ../tampered.zip --format=zip -- * && cd .. &&
    sha256sum tampered.zip > tampered.zip.sha256)
check "verify-release rejects an altered launcher with a recomputed checksum" \
    fails "$verify" "$work/tampered.zip"

# The release notes for a tag: its version's section of the changelog.
notes=$work/b/at/another/depth/scripts/release-notes.sh
prints_only_its_section() {
    "$notes" "v$version" > "$work/notes.md" && [ -s "$work/notes.md" ] && ! grep '^## ' "$work/notes.md"
}
check "release-notes prints the version's changelog section for its tag" prints_only_its_section
check "release-notes rejects a tag that is not the version's" fails "$notes" "v$version.1"
sed -i "s/^## $version\$/## 0.0.0-other/" "$work/b/at/another/depth/CHANGELOG.md"
check "release-notes rejects a version without a changelog section" fails "$notes" "v$version"

# The signed launcher under Wine: the image test beside it, then a run beside
# a stand-in net that answers as for an administrator.
# shellcheck source=scripts/build-for-wine.sh
source "$repo/scripts/build-for-wine.sh" >/dev/null
run=$work/signed-run
mkdir "$run"
cp "$signed_exe" "$build"/bin/{image_test,net,KelmoraServer2.1,KelmoraServer2.1_UAC}.exe "$run"
printf 'User name  alice\r\nLocal Group Memberships  *Administrators\r\n' > "$run/net.out"
runs_image_test() { (cd "$run" && wine image_test.exe > image_test.log 2>&1) || { cat "$run/image_test.log"; false; }; }
starts_uac_server() { (cd "$run" && wine AdminCheck.exe > console.txt 2>&1; grep "KelmoraServer2.1_UAC started" console.txt); }
check "the signed launcher still carries only its icon resources" runs_image_test
check "the signed launcher still runs and starts the _UAC server" starts_uac_server

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
