#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each once over its seed corpus, without fuzzing:
# every seed must still pass the target's checks under AddressSanitizer and UBSan.
# Usage: fuzz/replay.sh [TARGET...]   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
source fuzz/build.sh

for t in "${targets[@]}"; do
    seeds=$(find "fuzz/corpus/$t" -type f | wc -l)
    echo "== fuzz_$t: $seeds seeds" >&2
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
        LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
        "build-fuzz/fuzz/fuzz_$t" -runs=0 -close_fd_mask=3 "fuzz/corpus/$t"
done
