#!/usr/bin/env bash
# Installs what is missing, builds the show and its demo content, and plays it.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target kelvaro kelvaro-author show_content
cd build/show
exec ../kelvaro
