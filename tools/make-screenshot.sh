#!/usr/bin/env bash
# Draws docs/screenshot.png: the viewer on the sample art, caught in mid-throw.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
kyr_ensure_packages "${KYR_BUILD_PACKAGES[@]}"

build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target screenshot
mkdir -p docs
"$build/bin/screenshot" docs/screenshot.png
