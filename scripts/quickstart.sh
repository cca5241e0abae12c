#!/usr/bin/env bash
# Builds the quickstart example and the simulated instrument, then starts the
# instrument on a loopback address of this run's own, runs the example against
# it and stops the instrument again (scripts/run-quickstart.sh). Installs what
# is missing first (scripts/deps.sh).
#
# A new build folder is configured with the settings of scripts/test.sh
# (scripts/build-settings.sh), so the tests later build on what this built;
# a folder that exists keeps its own settings.
# Usage: scripts/quickstart.sh [build-directory]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-settings.sh
build=${1:-$build_dir}
scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" "${build_settings[@]}" >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target quickstart tessok-sim >/dev/null
exec scripts/run-quickstart.sh "$build/examples/quickstart" "$build/tessok-sim"
