#!/usr/bin/env bash
# Builds the launcher and runs it under Wine in build/mingw-x86/demo, beside
# stand-in servers that say which variant started.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset mingw-x86 >/dev/null
cmake --build --preset mingw-x86 >/dev/null

build=build/mingw-x86
demo=$build/demo
mkdir -p "$demo"
cp $build/bin/AdminCheck.exe $build/bin/KelmoraServer2.1.exe $build/bin/KelmoraServer2.1_UAC.exe "$demo"

cd "$demo"
export WINEPREFIX=$PWD/../wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
status=0
wine AdminCheck.exe || status=$?
echo "AdminCheck.exe exited with $status"
