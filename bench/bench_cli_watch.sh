#!/usr/bin/env bash
# quartel-cli watch against quartel-sim at emulated 19200 baud: passes per second against the wire-time
# limit of the frames, and CPU time per exchange of quartel-cli alone (the simulator is another process).
#   bench/bench_cli_watch.sh [BUILD_DIR] [PASSES] [RUNS]
set -euo pipefail
build=${1:-build}
passes=${2:-200}
runs=${3:-3}
sim="$build/sim/quartel-sim"
cli="$build/app/quartel-cli"
[ -x "$sim" ] && [ -x "$cli" ] || { echo "build quartel-sim and quartel-cli in $build first" >&2; exit 2; }

settings=$(mktemp -d)
out=$(mktemp)
"$sim" --wire-time --vxa 1 >"$out" &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null || true; rm -rf "$settings" "$out"' EXIT
for _ in $(seq 50); do
  [ -s "$out" ] && break
  sleep 0.1
done
device=$(head -n 1 "$out")
echo "quartel-cli watch --count $passes against $device (quartel-sim --wire-time), load $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$runs"); do
  echo "run $run:"
  "$cli" watch --device "$device" --settings-dir "$settings" --timeout 500 --address 1 --count "$passes" --stats \
    2>&1 >/dev/null | sed 's/^/  /'
done
