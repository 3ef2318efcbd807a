#!/usr/bin/env bash
# Builds the named fuzz targets (default: every target in fuzz/targets.txt) with clang into
# build-fuzz, installing clang and the project's packages when they are missing. Sourced by
# fuzz/run.sh and fuzz/replay.sh, which find the target list in `targets`.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
[ ${#targets[@]} -eq 0 ] && read -r -a targets < fuzz/targets.txt

if ! command -v clang++ >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends clang >&2
fi
./setup.sh
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELVARO_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DKELVARO_BENCHMARKS=OFF \
    -DBUILD_TESTING=OFF >/dev/null
build=()
for t in "${targets[@]}"; do build+=("fuzz_$t"); done
cmake --build build-fuzz -j"$(nproc)" --target "${build[@]}"
