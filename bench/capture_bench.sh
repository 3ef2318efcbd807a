#!/usr/bin/env bash
# Captures the whole demo show at 1280 x 720 and 1920 x 1080, 60 frames a second, and prints
# for each the wall-clock and processor time, the speed against the show's own length and the
# file size, with the machine's load before the run (other work on the cores slows a capture
# down). Usage: bench/capture_bench.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target kelvaro-capture show_content -j2 >/dev/null
out="$(mktemp -d /tmp/kelvaro-capture-bench-XXXXXX)"
trap 'rm -rf "$out"' EXIT
show_seconds=89.03  # 87 s of show, the first frame after it and the 2 s closing hold
for size in 1280x720 1920x1080; do
    load="$(cut -d' ' -f1 /proc/loadavg)"
    (cd "$build/show" && /usr/bin/time -f "%e %U %S" -o "$out/time" \
        "$build/kelvaro-capture" --size "$size" "$out/$size.mp4" >/dev/null 2>"$out/log")
    read -r wall user sys <"$out/time"
    bytes="$(stat -c %s "$out/$size.mp4")"
    awk -v size="$size" -v wall="$wall" -v user="$user" -v sys="$sys" -v bytes="$bytes" \
        -v show="$show_seconds" -v load="$load" 'BEGIN {
        printf "%-10s %7.1f s wall (%.2f x the show) %7.1f s processor  %6.1f MB  load before %s\n",
               size, wall, wall / show, user + sys, bytes / 1e6, load }'
    tail -n 1 "$out/log"
done
