#!/usr/bin/env bash
# Builds the library and its tests and runs the whole test suite.
#
# Installs what is missing first (scripts/deps.sh), configures with warnings
# as errors (the settings in scripts/build-settings.sh, shared with
# scripts/quickstart.sh), builds, and runs every test through ctest. Prints
# ctest's summary line and the tests that failed; exits non-zero when any test
# failed.
#
# Usage: scripts/test.sh [--sanitize] [build-directory]
#   --sanitize   build with AddressSanitizer and UndefinedBehaviorSanitizer
#                (Debug, no benchmarks) and run the tests under them
#   default build directory: build (build-asan with --sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=0
if [ "${1:-}" = "--sanitize" ]; then
  sanitize=1
  shift
fi
source scripts/build-settings.sh
if [ "$sanitize" -eq 1 ]; then
  build=${1:-$sanitize_build_dir}
  config=("${sanitize_settings[@]}")
  timeout=600
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build=${1:-$build_dir}
  config=("${build_settings[@]}")
  timeout=300
fi

scripts/deps.sh
jobs=$(nproc)
cmake -S . -B "$build" "${config[@]}" >/dev/null
cmake --build "$build" -j"$jobs"

log="$build/ctest.log"
set +e
ctest --test-dir "$build" -j"$jobs" --output-on-failure --timeout "$timeout" >"$log" 2>&1
result=$?
set -e
grep -E 'tests passed|tests failed|\*\*\*Failed|\*\*\*Timeout|\*\*\*Exception|Not Run' "$log" || true
if [ "$result" -ne 0 ]; then
  echo "full output: $log" >&2
fi
exit "$result"
