#!/usr/bin/env bash
# Runs the network line's Windows test program under wine against Linux parts on the loopback: the
# simulated device, with Debian's ser2net in front of it (tests/network/ser2net-serve.sh); both are
# stopped afterwards whatever happened.
# Usage: network_wine_test.sh SIM SER2NET_SERVE TEST_EXE   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
sim=$1
serve=$2
test_exe=$3
source "$(dirname "$0")/check-lib.sh"

work=$(mktemp -d)
sim_pid=""
serve_pid=""
cleanup() {
  stop_process "$serve_pid"
  stop_process "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT

# The Linux side starts before wine's environment is taken, so that none of it (the preloaded
# modem-line library) reaches ser2net.
"$sim" --log short --hello-delay 600000 > "$work/sim.out" 2> "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
[ -s "$work/sim.out" ] || { echo "the simulated device did not start"; cat "$work/sim.log"; exit 1; }
bash "$serve" "$(head -1 "$work/sim.out")" > "$work/ports" 2> "$work/serve.log" &
serve_pid=$!
for _ in $(seq 200); do [ -s "$work/ports" ] && break; sleep 0.05; done
[ -s "$work/ports" ] || { echo "ser2net did not start"; cat "$work/serve.log"; exit 1; }

source "$(dirname "$0")/wine-env.sh"
HEXLOADER_TEST_SER2NET_PORT=$(head -1 "$work/ports") wine "$test_exe"
status=$?
[ "$status" -eq 0 ] || { echo "== the device's log"; cat "$work/sim.log"; }
exit "$status"
