#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the show need, when they are missing.
set -euo pipefail

packages=(
    g++ cmake make pkg-config python3
    libsdl2-dev libsdl2-mixer-dev libstb-dev libgl-dev libglu1-mesa-dev
    libgl1-mesa-dri libegl-mesa0 libmp3lame-dev
    libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev libyuv-dev
    libgtest-dev libgmock-dev libbenchmark-dev libeigen3-dev libopencv-imgproc-dev
    xvfb xauth xdotool xfonts-base fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "setup: installing ${missing[*]}" >&2
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
