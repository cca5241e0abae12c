#!/usr/bin/env bash
# Runs the Python example against a simulated instrument started with no
# model, and checks what it prints: the library revision, the default model
# (7668) read twice and the firmware revision of the simulated board. First,
# that it names the way out when the library cannot be loaded.
# Usage: python_quickstart.sh <tessok-sim> <libtessok.so> <python3>
set -euo pipefail
sim=$1
library=$2
python=$3
source=$(cd "$(dirname "$0")/../.." && pwd)
source "$source/scripts/start-sim.sh"

# A library that cannot be loaded: a hint on naming it, with the loader's
# message, on stderr, and exit status 2, not a traceback.
set +e
hint=$("$python" "$source/examples/quickstart.py" --library /nonexistent/libtessok.so 127.0.0.1 2>&1 >/dev/null)
status=$?
set -e
if [ "$status" -ne 2 ] || ! grep -q -- "--library <path>" <<<"$hint" || ! grep -q "LD_LIBRARY_PATH" <<<"$hint" ||
  ! grep -q "/nonexistent/libtessok.so" <<<"$hint" || grep -q "Traceback" <<<"$hint"; then
  echo "unloadable library: exit $status, stderr:" >&2
  echo "$hint" >&2
  exit 1
fi

# An address of this run's own (from the shell's process id), so that two
# runs of the suite at once do not meet on port 6653.
address=127.60.$((($$ >> 8) & 255)).$((1 + ($$ & 255) % 254))
start_sim "$sim" "$address"
output=$("$python" "$source/examples/quickstart.py" --library "$library" "$address")
echo "$output"
expected="tessok library revision 7324
board model 7668
firmware revision 12.3
register 20 of bank 0 reads 7668"
if [ "$output" != "$expected" ]; then
  echo "expected:" >&2
  echo "$expected" >&2
  exit 1
fi
