#!/usr/bin/env bash
# Builds the launcher and runs it under Wine in build/mingw-x86/demo, beside
# stand-in servers that say which variant started.
set -euo pipefail
source "$(dirname "$0")/build-for-wine.sh"

demo=$build/demo
mkdir -p "$demo"
cp "$build"/bin/{AdminCheck,KelmoraServer2.1,KelmoraServer2.1_UAC}.exe "$demo"
cd "$demo"
status=0
wine AdminCheck.exe || status=$?
echo "AdminCheck.exe exited with $status"
