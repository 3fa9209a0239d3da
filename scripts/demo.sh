#!/usr/bin/env bash
# Sets up what is missing, builds the utility and starts it against a simulated line
# (a VXA at address 1 and a VXB at address 2), in scratch settings.
#   scripts/demo.sh [quartel-setup options]
#   scripts/demo.sh --for SECONDS
# With --for, unattended and without a display (offscreen): the utility runs for SECONDS seconds (the
# welcome box takes the first 8), polls the line and ends as its close box ends it; the run fails
# unless it ended by itself, cleanly, and both instruments answered it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/ccache.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${CCACHE_LAUNCHER[@]}"
cmake --build build -j"$(nproc)" --target quartel-setup quartel-sim
if [ "${1:-}" != --for ]; then
  exec build/app/quartel-setup --demo "$@"
fi

seconds=${2:?"scripts/demo.sh --for takes a number of seconds"}
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
# A run that does not end by itself is stopped a minute later and fails.
status=0
QT_QPA_PLATFORM=offscreen timeout --kill-after=10 $((seconds + 60)) \
  build/app/quartel-setup --demo --quit-after "$seconds" --trace "$trace" || status=$?
if [ $status -ne 0 ]; then
  echo "demo: quartel-setup ended with status $status" >&2
  exit 1
fi
# The trace has a line per exchange: the request after "> ", the reply after "<" (MODBUS ASCII, the
# address in the frame's first two hex digits).
answers() { grep -c -E "> :$1[0-9A-F]+  < :$1[0-9A-F]+" "$trace" || true; }
vxa=$(answers 01)
vxb=$(answers 02)
echo "demo: quartel-setup ran for $seconds s and ended cleanly; answers from address 1: $vxa, from address 2: $vxb"
if [ "$vxa" -eq 0 ] || [ "$vxb" -eq 0 ]; then
  echo "demo: the simulated line was not polled (the trace follows)" >&2
  cat "$trace" >&2
  exit 1
fi
