#!/usr/bin/env bash
# Starts a simulated instrument on a loopback address, runs the quickstart
# example against it and stops the instrument again.
# Usage: scripts/quickstart.sh [build-directory]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [ ! -x "$build/examples/quickstart" ] || [ ! -x "$build/tessok-sim" ]; then
  cmake -S . -B "$build" >/dev/null
  cmake --build "$build" -j"$(nproc)" --target quickstart tessok-sim
fi
address=127.0.9.1
fifo=$(mktemp -u)
mkfifo "$fifo"
"$build/tessok-sim" "$address" 7668 >"$fifo" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true; rm -f "$fifo"' EXIT
read -r ready <"$fifo"   # "serving on ..." once the instrument listens
echo "$ready"
"$build/examples/quickstart" "$address"
