#!/usr/bin/env bash
# Upload benchmark: a 65,535-byte image over a pseudo-terminal to hexloader-sim.
#  (a) unpaced: the loader's session (serial component, event loop, session) against a minimal blocking
#      uploader of the same protocol, measured in the same run; goal: within 2 times of it.
#  (b) paced at 19200 bit/s by the simulator: against the line's own time for the bytes exchanged
#      (10 bits a byte, full duplex: each frame's bytes, its last echo byte and the reply); goal: within 1%.
# Times run from the device's hello byte to the end frame's echo. Usage: run.sh BUILD_DIR
set -euo pipefail
shopt -s inherit_errexit
build=$(realpath "${1:?usage: run.sh BUILD_DIR}")
sim="$build/bin/hexloader-sim"
bench="$build/bin/upload_bench"
rounds=${UPLOAD_BENCH_ROUNDS:-5}
size=65535

work=$(mktemp -d)
BENCH=upload
source "$(dirname "$(realpath "$0")")/../bench-lib.sh"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

head -c "$size" /dev/urandom > "$work/image.bin"
srec_cat "$work/image.bin" -binary -o "$work/fw.hex" -intel

# One upload: run_one MODE FILE [SIM OPTIONS...]; prints the seconds.
run_one() {
  local mode=$1 file=$2
  shift 2
  rm -f "$work/sim.out"
  "$sim" --once --hello-delay 0 --log none "$@" > "$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 200); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  local port
  port=$(head -n1 "$work/sim.out")
  if ! (cd "$work" && "$bench" "$mode" "$port" "$file"); then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    echo "upload benchmark: the $mode upload failed" >&2
    return 1
  fi
  wait "$sim_pid"
  sim_pid=""
}


session_times=()
blocking_times=()
for _ in $(seq "$rounds"); do
  blocking_times+=("$(run_one blocking "$work/image.bin")")
  session_times+=("$(run_one session "$work/fw.hex")")
done
session=$(printf '%s\n' "${session_times[@]}" | median)
blocking=$(printf '%s\n' "${blocking_times[@]}" | median)
awk -v s="$session" -v b="$blocking" -v n="$rounds" 'BEGIN {
  r = s / b
  printf "upload 65535 bytes unpaced, median of %d: session %.4f s, blocking reference %.4f s\n", n, s, b
  printf "  ratio session/blocking = %.2f (goal <= 2.00: %s)\n", r, (r <= 2.0 ? "met" : "MISSED")
}'

data=$(( size / 128 + 1 ))
address=$(( (data + 3) / 4 ))
byte_times=$(( 5 + address * 5 + data * 133 + 4 ))
paced=$(run_one session "$work/fw.hex" --bit-rate 19200)
awk -v s="$paced" -v bt="$byte_times" 'BEGIN {
  line = bt * 10 / 19200
  r = s / line
  printf "upload 65535 bytes paced at 19200 bit/s: session %.3f s, line time %.3f s (%d byte times)\n", s, line, bt
  printf "  ratio session/line = %.4f (goal <= 1.01: %s)\n", r, (r <= 1.01 ? "met" : "MISSED")
}'
