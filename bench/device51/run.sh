#!/usr/bin/env bash
# The 8051 device program in s51 at 57,600 bit/s against the same program built for 19,200: one
# 16,384-byte upload with hexloader-cli each, median of 3 rounds, start-up of the simulated CPU included.
# s51 itself simulates as fast as the machine allows, not in real time; the loader's receive threshold
# looks for each reply at the pace of the rate it was given, so the times follow the line rate (a line's
# own time at 57,600 is 0.33 of that at 19,200). Usage: run.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: run.sh BUILD_DIR}")
sim="$build/bin/hexloader-sim"
cli="$build/bin/hexloader-cli"
rounds=${DEVICE51_BENCH_ROUNDS:-3}
size=16384
for file in "$sim" "$cli" "$build/device/loader51.ihx" "$build/device/loader51-57600.ihx"; do
  [ -e "$file" ] || { echo "device51 benchmark: $file is missing (sdcc and s51 needed), skipped"; exit 0; }
done
command -v s51 > /dev/null || { echo "device51 benchmark: s51 not found, skipped"; exit 0; }

work=$(mktemp -d)
BENCH=device51
source "$(dirname "$(realpath "$0")")/../bench-lib.sh"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
head -c "$size" /dev/urandom > "$work/image.bin"
srec_cat "$work/image.bin" -binary -o "$work/fw.hex" -intel

# run_one PROGRAM BAUD: the seconds of one upload; fails when the device's memory is not the image.
run_one() {
  cp "$1" "$work/device.ihx"
  rm -f "$work/tty" "$work/memory.bin"
  "$sim" --s51 "$work/device.ihx" --once --link "$work/tty" --memory "$work/memory.bin" > /dev/null 2> "$work/sim.log" &
  sim_pid=$!
  for _ in $(seq 100); do [ -L "$work/tty" ] && break; sleep 0.05; done
  local start end
  start=$(date +%s.%N)
  (cd "$work" && "$cli" upload --port "$work/tty" --baud "$2" --timeout 120 fw.hex > /dev/null)
  end=$(date +%s.%N)
  wait "$sim_pid"
  sim_pid=""
  cmp -s -n "$size" "$work/memory.bin" "$work/image.bin" || { echo "device51 benchmark: memory differs at $2" >&2; return 1; }
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

slow=() fast=()
for _ in $(seq "$rounds"); do
  slow+=("$(run_one "$build/device/loader51.ihx" 19200)")
  fast+=("$(run_one "$build/device/loader51-57600.ihx" 57600)")
done
s=$(printf '%s\n' "${slow[@]}" | median)
f=$(printf '%s\n' "${fast[@]}" | median)
awk -v s="$s" -v f="$f" -v n="$rounds" 'BEGIN {
  printf "8051 in s51, 16384 bytes, median of %d: 19200 bit/s build %.3f s, 57600 bit/s build %.3f s\n", n, s, f
  printf "  ratio 57600/19200 = %.2f (the line times alone give 0.33)\n", f / s
}'
