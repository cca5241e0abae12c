# Sourced by scripts/quickstart.sh and the tests that run an example against
# the simulated instrument.
#
# start_sim <tessok-sim> <arguments...>
#   Starts the simulated instrument in the background and returns once it
#   listens, after printing its "serving on <address>:6653" line; fails when
#   the instrument exits before it listens (address taken, bad arguments). The
#   instrument is stopped when the calling shell exits.
start_sim() {
  local program=$1
  shift
  sim_dir=$(mktemp -d)
  mkfifo "$sim_dir/out"
  "$program" "$@" >"$sim_dir/out" &
  sim_pid=$!
  trap stop_sim EXIT
  local ready
  # The read ends at the line, or at end of file when the instrument exits first.
  if ! read -r ready <"$sim_dir/out"; then
    echo "tessok-sim did not start: $program $*" >&2
    return 1
  fi
  echo "$ready"
}

stop_sim() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  rm -rf "$sim_dir"
}
