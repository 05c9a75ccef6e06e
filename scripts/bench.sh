#!/usr/bin/env bash
# Times AdminCheck.exe under Wine with probe outputs of 1 KiB, 1 MiB and 8 MiB
# against two bare chains of the same commands run by the command interpreter:
# "nul" throws the probe's output away, "find" pipes it through find.exe as a
# batch file would. Prints the medians in milliseconds and the launcher's
# ratio to each. Usage: scripts/bench.sh [runs]
set -euo pipefail
runs=${1:-15}
# shellcheck source=scripts/build-for-wine.sh
source "$(dirname "$0")/build-for-wine.sh"

bench=$build/bench
rm -rf "$bench" && mkdir -p "$bench"
cp "$build"/bin/{AdminCheck,net,KelmoraServer2.1,KelmoraServer2.1_UAC}.exe "$bench"
cd "$bench"

wineserver -w                   # let a server left by an earlier run end
wineserver -p                   # then keep one warm server for every run
trap 'wineserver -k' EXIT
wine cmd /c exit >/dev/null 2>&1

# Median wall time in milliseconds of running "$@" $runs times.
median_ms() {
    local times=()
    for ((i = 0; i < runs; i++)); do
        local start
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1
        times+=($(( ($(date +%s%N) - start) / 1000000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

# A net user listing padded to the given size, group line last.
make_output() {
    python3 -c '
import sys
size = int(sys.argv[1])
line = b"Local Group Memberships      *Users\r\n"
tail = b"Local Group Memberships      *Administrators\r\n"
sys.stdout.buffer.write(line * ((size - len(tail)) // len(line)) + tail)' "$1" > net.out
}

ratio() { python3 -c "print(f'{$1 / $2:.2f}')"; }

printf '%-6s %9s %7s %7s %10s %11s\n' output launcher nul find launch/nul launch/find
for size in 1K 1M 8M; do
    make_output "$(numfmt --from=iec $size)"
    launcher=$(median_ms wine AdminCheck.exe)
    nul=$(median_ms wine cmd /c "cmd /c net user alice 2>&1 >NUL & cmd /c KelmoraServer2.1_UAC")
    find=$(median_ms wine cmd /c "net user alice 2>&1 | find \"Administrators\" >NUL & KelmoraServer2.1_UAC")
    printf '%-6s %9d %7d %7d %10s %11s\n' ${size}iB "$launcher" "$nul" "$find" \
        "$(ratio "$launcher" "$nul")" "$(ratio "$launcher" "$find")"
done
