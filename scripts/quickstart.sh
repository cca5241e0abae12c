#!/usr/bin/env bash
# Builds the quickstart example and the simulated instrument, starts the
# instrument on a loopback address, runs the example against it and stops the
# instrument again. Installs what is missing first (scripts/deps.sh).
# Usage: scripts/quickstart.sh [build-directory]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target quickstart tessok-sim >/dev/null
address=127.0.9.1
fifo=$(mktemp -u)
mkfifo "$fifo"
"$build/tessok-sim" "$address" 7668 >"$fifo" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r ready <"$fifo"   # "serving on ..." once the instrument listens
echo "$ready"
"$build/examples/quickstart" "$address"
