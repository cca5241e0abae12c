#!/usr/bin/env bash
# tessok-sim starts calibrated: connected through the library, with no reset
# of the calibration, APIOutputLevel of 400 mV on channel 0 sets the channel's
# level register to 400, on the default model (7668, a swing board) and on a
# 7822 (level rows), so the model named is the one whose tables it holds.
# Usage: sim_calibrated.sh <tessok-sim> <libtessok.so> <python3>
set -euo pipefail
sim=$1
library=$2
python=$3
source "$(cd "$(dirname "$0")/../.." && pwd)/scripts/start-sim.sh"

# Connects, sets 400 mV on channel 0 and prints what the level register of
# its bank (0x20E of bank 0 on both models) then reads.
level_register() {
  "$python" - "$library" "$1" <<'EOF'
import ctypes
import sys

lib = ctypes.CDLL(sys.argv[1])
lib.APIConnect.argtypes = [ctypes.c_uint8, ctypes.c_char_p]
lib.APIOutputLevel.argtypes = [ctypes.c_uint8, ctypes.c_int, ctypes.c_double]
lib.APIOutputLevel.restype = ctypes.c_uint8
lib.APIAccessBoardRegister.argtypes = [ctypes.c_uint8, ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint16,
                                       ctypes.POINTER(ctypes.c_uint16)]
lib.APIAccessBoardRegister.restype = ctypes.c_uint8
if lib.APIConnect(0, sys.argv[2].encode("ascii")) != 1:
    sys.exit("cannot connect to " + sys.argv[2])
sent = lib.APIOutputLevel(0, 0, 400.0)
value = ctypes.c_uint16(0xFFFF)
if lib.APIAccessBoardRegister(0, 0, 0, 0x20E, ctypes.byref(value)) != 1:
    sys.exit("register read failed")
lib.APIDisconnect(0)
print(f"sent {sent} level register {value.value}")
EOF
}

# Addresses of this run's own (from the shell's process id), in a range no
# other test uses, so that two runs of the suite at once do not meet.
failed=0
for model in "" 7822; do
  address=127.62.$((($$ >> 8) & 255)).$((1 + ($$ + ${model:-0}) % 254))
  start_sim "$sim" "$address" $model
  out=$(level_register "$address")
  stop_sim
  if [ "$out" != "sent 1 level register 400" ]; then
    echo "FAIL: model ${model:-default}: $out, expected: sent 1 level register 400" >&2
    failed=1
  fi
done
exit "$failed"
