#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs them one after another.
# Usage: fuzz/run.sh [SECONDS_PER_TARGET] [TARGET...]   (default: 600 s, every target)
# Work corpora and crash inputs go to build-fuzz/fuzz/work/; the seeds in fuzz/corpus/ are read.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
shift || true
targets=("$@")
source fuzz/build.sh

work="build-fuzz/fuzz/work"
for t in "${targets[@]}"; do
    mkdir -p "$work/$t" "$work/artifacts"
    echo "== fuzz_$t for ${seconds} s" >&2
    # A figure is a whole mesh and its bones: about a second under the sanitizers, several
    # when the machine is busy. The other targets answer in milliseconds.
    timeout=5
    [ "$t" = figure ] && timeout=30
    # The targets' own warnings about bad files would drown the fuzzer's lines: stdout and
    # stderr of the code under test are closed, the fuzzer's reports still come through.
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
        LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
        "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout="$timeout" \
        -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$work/artifacts/$t-" \
        "$work/$t" "fuzz/corpus/$t"
done
