#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each once over its seed corpus, without fuzzing:
# every seed must still pass the target's checks under AddressSanitizer and UBSan.
# Usage: fuzz/replay.sh [TARGET...]   (default: every target)
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
[ ${#targets[@]} -eq 0 ] && read -r -a targets < fuzz/targets.txt

if ! command -v clang++ >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang >&2
fi
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARO_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVARO_BENCHMARKS=OFF \
    -DBUILD_TESTING=OFF >/dev/null
build=()
for t in "${targets[@]}"; do build+=("fuzz_$t"); done
cmake --build build-fuzz -j"$(nproc)" --target "${build[@]}"

for t in "${targets[@]}"; do
    seeds=$(find "fuzz/corpus/$t" -type f | wc -l)
    echo "== fuzz_$t: $seeds seeds" >&2
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy \
        LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
        "build-fuzz/fuzz/fuzz_$t" -runs=0 -close_fd_mask=3 "fuzz/corpus/$t"
done
