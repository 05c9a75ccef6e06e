#!/usr/bin/env bash
# Builds the launcher and runs it twice under Wine, in folders under
# build/mingw-x86/demo, beside stand-in servers that say which variant started:
# once with Wine's own net, once beside a stand-in net that answers as it
# would for an administrator.
set -euo pipefail
# shellcheck source=scripts/build-for-wine.sh
source "$(dirname "$0")/build-for-wine.sh"

# Makes the demo folder $1 with the launcher and both stand-in servers.
demo_folder() {
    rm -rf "$build/demo/$1"
    mkdir -p "$build/demo/$1"
    cp "$build"/bin/{AdminCheck,KelmoraServer2.1,KelmoraServer2.1_UAC}.exe "$build/demo/$1"
}

run_launcher_in() {
    local status=0
    (cd "$build/demo/$1" && wine AdminCheck.exe) || status=$?
    echo "AdminCheck.exe exited with $status"
}

echo "== 1. With Wine's own net =="
echo "Wine's net has no 'user' command: the probe yields only an error text, which"
echo "never holds the word Administrators, so the plain server starts."
demo_folder wine-net
run_launcher_in wine-net

echo
echo "== 2. Beside a stand-in net that answers as for an administrator =="
echo "The stand-in prints a net user listing with *Administrators among the local"
echo "groups, so the _UAC server starts."
demo_folder administrator
cp "$build/bin/net.exe" "$build/demo/administrator"
printf '%s\r\n' "User name                    alice" \
    "Local Group Memberships      *Administrators       *Users" \
    "The command completed successfully." > "$build/demo/administrator/net.out"
run_launcher_in administrator
