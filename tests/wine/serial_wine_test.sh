#!/usr/bin/env bash
# Runs a Windows test program of the serial component under wine with the simulated device at the far
# end of one of the prefix's COM ports, and stops the device afterwards whatever happened.
# Usage: serial_wine_test.sh PORT SIM TEST_EXE   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
port=$1
sim=$2
test_exe=$3
source "$(dirname "$0")/wine-env.sh"
source "$(dirname "$0")/check-lib.sh"

work=$(mktemp -d)
sim_pid=""
cleanup() {
  stop_process "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT

rm -f "$(wine_port_link "$port")"
"$sim" --log short --link "$(wine_port_link "$port")" > "$work/sim.out" 2> "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do [ -L "$(wine_port_link "$port")" ] && break; sleep 0.05; done
[ -L "$(wine_port_link "$port")" ] || { echo "the simulated device did not start"; cat "$work/sim.log"; exit 1; }

HEXLOADER_TEST_PORT=$port wine "$test_exe"
status=$?
[ "$status" -eq 0 ] || { echo "== the device's log"; cat "$work/sim.log"; }
exit "$status"
