# shellcheck shell=bash
# Sourced by the demo, the benchmark and the release test: installs what is
# missing, builds the mingw-x86 preset, and points Wine at the build's own
# prefix, as the tests do.
# Leaves the repository as the working folder and the build folder in $build.
cd "$(dirname "${BASH_SOURCE[0]}")/.." || return
scripts/setup.sh
cmake --preset mingw-x86 >/dev/null
cmake --build --preset mingw-x86 >/dev/null

build=$PWD/build/mingw-x86
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
