#!/usr/bin/env bash
# The arguments of tessok-sim: -h and --help print the usage with the known
# models and the default one and exit 0; a model that is unknown or not a
# number is refused, naming the known models, before anything listens.
# Usage: sim_arguments.sh <tessok-sim>
set -uo pipefail
sim=$1
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

for option in -h --help; do
  out=$("$sim" "$option" 2>&1)
  rc=$?
  [ "$rc" -eq 0 ] || fail "$option exits $rc"
  grep -q "^usage: .* <address> \[model\]" <<<"$out" || fail "$option prints no usage"
  grep -q "TCP port 6653" <<<"$out" || fail "$option does not name the port"
  grep -q "default 7668" <<<"$out" || fail "$option does not name the default model"
  grep -Eq "^ +([0-9]{4} )*7668( [0-9]{4})*$" <<<"$out" || fail "$option does not list the known models"
done

# Refused at once, before it serves (timeout ends a run that would serve on).
for model in 1234 0 7668x abc 65536; do
  out=$(timeout 10 "$sim" 127.0.60.2 "$model" 2>&1 </dev/null)
  rc=$?
  [ "$rc" -eq 2 ] || fail "model $model: exit $rc, expected 2"
  grep -Eq "unknown model \"$model\"; known models: ([0-9]{4} )*7668( [0-9]{4})*$" <<<"$out" ||
    fail "model $model: message \"$out\""
done
exit "$failed"
