#!/usr/bin/env bash
# Starts the simulated instrument (model 7668) on a loopback address of this
# run's own, runs the quickstart example against it and stops the instrument
# again; prints the instrument's "serving on <address>:6653" line, then what
# the example prints, and exits with the example's status. Builds nothing
# (scripts/quickstart.sh builds, then calls this).
#
# The address is 127.61.x.y, worked out from the process id, so two runs at
# once on one machine do not meet on port 6653; the range is one no test uses
# (the Python example's test serves on 127.60.x.y, the C++ test rig on
# 127.100-227.x.y). When the instrument cannot start there (the address taken),
# a few other addresses are tried.
# Usage: scripts/run-quickstart.sh <quickstart-binary> <tessok-sim>
set -euo pipefail
if [ "$#" -ne 2 ]; then
  echo "usage: $0 <quickstart-binary> <tessok-sim>" >&2
  exit 2
fi
quickstart=$1
sim=$2
source "$(dirname "$0")/start-sim.sh"

for attempt in 0 1 2 3 4; do
  n=$((($$ + 7919 * attempt) & 0xFFFF))
  address=127.61.$(((n >> 8) & 255)).$((1 + (n & 255) % 254))
  if start_sim "$sim" "$address" 7668; then
    "$quickstart" "$address"
    exit
  fi
  stop_sim
done
echo "tessok-sim did not start on any address tried" >&2
exit 1
