#!/usr/bin/env bash
# Sets up what is missing, builds everything and runs every test (unit, gui, e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/ccache.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${CCACHE_LAUNCHER[@]}"
cmake --build build -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The tests mostly wait for simulated replies, so they run side by side, one per core.
ctest --test-dir build --output-on-failure --timeout 600 -j"$(nproc)" "$@"
