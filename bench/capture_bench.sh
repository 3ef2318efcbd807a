#!/usr/bin/env bash
# Captures the whole demo show at 60 frames a second in four cases (1280 x 720, 1920 x 1080,
# 3840 x 2160, and 1280 x 720 supersampled 2 x 2) and prints for each the wall-clock and
# processor time, the speed against the show's own length, the peak resident memory, the file
# size and the machine's load before the run (other work on the cores slows a capture down, the
# processor time less so).
#
# Usage: bench/capture_bench.sh [BUILD_DIR] [CASE...]      (default: build, every case)
#   CASE is 720p, 1080p, 4k or 720p-ss2.
#   BEFORE=/path/to/an/older/kelvaro-capture  measures that one too, alternating with this
#                                             build's, each case one after the other
#   QUIET=0.5   before each run, waits (up to 5 minutes) for the 1-minute load to drop below
#               this; 0 does not wait
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
[ $# -gt 0 ] && shift
cases=("$@")
[ ${#cases[@]} -eq 0 ] && cases=(720p 1080p 4k 720p-ss2)
quiet="${QUIET:-0.5}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target kelvaro-capture show_content -j2 >/dev/null
out="$(mktemp -d /tmp/kelvaro-capture-bench-XXXXXX)"
trap 'rm -rf "$out"' EXIT
show_seconds=89.03  # 87 s of show, the first frame after it and the 2 s closing hold

programs=("$build/kelvaro-capture")
[ -n "${BEFORE:-}" ] && programs=("$BEFORE" "${programs[@]}")

wait_for_quiet() {
    local waited=0
    while [ "$waited" -lt 300 ] &&
        awk -v load="$(cut -d' ' -f1 /proc/loadavg)" -v limit="$quiet" \
            'BEGIN { exit !(limit > 0 && load >= limit) }'; do
        sleep 10
        waited=$((waited + 10))
    done
}

for name in "${cases[@]}"; do
    case "$name" in
        720p) options=(--size 1280x720) ;;
        1080p) options=(--size 1920x1080) ;;
        4k) options=(--size 3840x2160) ;;
        720p-ss2) options=(--size 1280x720 --supersample 2) ;;
        *) echo "capture_bench: unknown case $name (720p, 1080p, 4k, 720p-ss2)" >&2; exit 2 ;;
    esac
    for program in "${programs[@]}"; do
        label="new"
        [ "$program" != "$build/kelvaro-capture" ] && label="before"
        # An older capture has no --verbose; its summary told the stage times anyway.
        verbose=()
        "$program" --help | grep -q -- --verbose && verbose=(--verbose)
        wait_for_quiet
        load="$(cut -d' ' -f1 /proc/loadavg)"
        (cd "$build/show" && /usr/bin/time -f "%e %U %S %M" -o "$out/time" \
            "$program" "${options[@]}" "${verbose[@]}" "$out/$name.mp4" >/dev/null 2>"$out/log")
        read -r wall user sys peak <"$out/time"
        bytes="$(stat -c %s "$out/$name.mp4")"
        awk -v name="$name" -v label="$label" -v wall="$wall" -v user="$user" -v sys="$sys" \
            -v peak="$peak" -v bytes="$bytes" -v show="$show_seconds" -v load="$load" 'BEGIN {
            printf "%-8s %-6s %7.1f s wall (%.2f x the show) %7.1f s processor  %6.0f MB peak  %6.1f MB file  load before %s\n",
                   name, label, wall, wall / show, user + sys, peak / 1024, bytes / 1e6, load }'
        tail -n 1 "$out/log" | tr '\r' '\n' | tail -n 1
        rm -f "$out/$name.mp4"
    done
done
