#!/usr/bin/env bash
# Sets up what is missing, builds the utility and starts it against a simulated line
# (a VXA at address 1 and a VXB at address 2), in scratch settings.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target quartel-setup quartel-sim
exec build/app/quartel-setup --demo "$@"
