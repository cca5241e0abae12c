#!/usr/bin/env bash
# Two quickstarts at once on one machine (scripts/run-quickstart.sh) do not
# meet: each starts its instrument on an address of its own and both print
# the instrument's identity. The example of each run waits until the other
# run's instrument is up too, so the two instruments are sure to serve at the
# same time.
# Usage: two_quickstarts.sh <quickstart-binary> <tessok-sim>
set -uo pipefail
quickstart=$1
sim=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Stands in for the example: marks its run as started, waits (up to 20 s)
# until both runs are, then runs the example on the address it was given.
cat >"$work/meet-then-quickstart" <<EOF
#!/usr/bin/env bash
touch "$work/started.\$\$"
for _ in \$(seq 200); do
  [ \$(ls "$work" | grep -c '^started\\.') -ge 2 ] && break
  sleep 0.1
done
exec "$quickstart" "\$1"
EOF
chmod +x "$work/meet-then-quickstart"

bash "$source/scripts/run-quickstart.sh" "$work/meet-then-quickstart" "$sim" >"$work/out.1" 2>&1 &
first=$!
bash "$source/scripts/run-quickstart.sh" "$work/meet-then-quickstart" "$sim" >"$work/out.2" 2>&1 &
second=$!
status=(0 0)
wait "$first" || status[0]=$?
wait "$second" || status[1]=$?

failed=0
for run in 1 2; do
  out=$(cat "$work/out.$run")
  echo "== run $run (exit ${status[run - 1]})"
  echo "$out"
  [ "${status[run - 1]}" -eq 0 ] || failed=1
  grep -Eq "^serving on 127\.61\.[0-9]+\.[0-9]+:6653$" <<<"$out" || failed=1
  for line in "board model 7668" "firmware revision 12.3" "register 20 of bank 0 reads 7668"; do
    grep -qx "$line" <<<"$out" || failed=1
  done
done
[ "$failed" -eq 0 ] || echo "FAIL: the two quickstarts did not both succeed" >&2
exit "$failed"
