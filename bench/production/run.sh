#!/usr/bin/env bash
# Production-line benchmark: hexloader-cli uploading a 20,000-byte image through 8 ports at once, each
# to its own simulated device paced at 19200 bit/s, against references measured in the same run:
#  time: the whole run (process start to exit) against the same run with one device alone;
#        goal: at most 1.02 times.
#  CPU:  the CPU time (user + system) of hexloader-cli for the 8 devices against 8 times the CPU time
#        of the minimal blocking uploader (bench/upload) for one device; goal: at most 1.5 times.
# Medians of ROUNDS runs (3). Usage: run.sh BUILD_DIR [ROUNDS]
set -euo pipefail
shopt -s inherit_errexit
build=$(realpath "${1:?usage: run.sh BUILD_DIR [ROUNDS]}")
rounds=${2:-${PRODUCTION_BENCH_ROUNDS:-3}}
sim="$build/bin/hexloader-sim"
cli="$build/bin/hexloader-cli"
blocking="$build/bin/upload_bench"
for program in "$sim" "$cli" "$blocking"; do
  [ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
done
size=20000
devices=8
rate=19200

work=$(mktemp -d)
BENCH=production
source "$(dirname "$(realpath "$0")")/../bench-lib.sh"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

head -c "$size" /dev/urandom > "$work/image.bin"
srec_cat "$work/image.bin" -binary -o "$work/fw.hex" -intel

# Starts the simulator with N paced devices; their paths land in $work/ports.
start_sim() {
  : > "$work/ports"
  "$sim" --devices "$1" --once --hello-delay 0 --bit-rate "$rate" --log none > "$work/ports" &
  sim_pid=$!
  for _ in $(seq 200); do [ "$(wc -l < "$work/ports")" -ge "$1" ] && break; sleep 0.05; done
  [ "$(wc -l < "$work/ports")" -ge "$1" ] || { echo "production benchmark: the simulator did not start" >&2; return 1; }
}
stop_sim() {
  wait "$sim_pid" || true
  sim_pid=""
}

# One upload run of hexloader-cli through N devices.
run_cli() {
  start_sim "$1"
  local args=()
  while read -r port; do args+=(--port "$port"); done < "$work/ports"
  (cd "$work" && timed "$cli" upload "${args[@]}" --timeout 30 fw.hex)
  stop_sim
}

# One upload by the blocking reference to one device.
run_blocking() {
  start_sim 1
  (cd "$work" && timed "$blocking" blocking "$(head -n1 "$work/ports")" "$work/image.bin")
  stop_sim
}

one_wall=(); many_wall=(); many_cpu=(); blocking_cpu=(); one_cpu=()
for _ in $(seq "$rounds"); do
  read -r w c < <(run_cli 1); one_wall+=("$w"); one_cpu+=("$c")
  read -r w c < <(run_cli "$devices"); many_wall+=("$w"); many_cpu+=("$c")
  read -r w c < <(run_blocking); blocking_cpu+=("$c")
done
ow=$(printf '%s\n' "${one_wall[@]}" | median)
oc=$(printf '%s\n' "${one_cpu[@]}" | median)
mw=$(printf '%s\n' "${many_wall[@]}" | median)
mc=$(printf '%s\n' "${many_cpu[@]}" | median)
bc=$(printf '%s\n' "${blocking_cpu[@]}" | median)
awk -v ow="$ow" -v oc="$oc" -v mw="$mw" -v mc="$mc" -v bc="$bc" -v n="$devices" -v r="$rounds" -v s="$size" 'BEGIN {
  printf "production line: %d devices at once, %d bytes each, paced at 19200 bit/s, median of %d\n", n, s, r
  t = mw / ow
  printf "  time: %d devices %.2f s, one device alone %.2f s; ratio = %.3f (goal <= 1.02: %s)\n", n, mw, ow, t, (t <= 1.02 ? "met" : "MISSED")
  c = mc / (n * bc)
  printf "  CPU: hexloader-cli for %d devices %.2f s (one device %.2f s), blocking uploader for one %.3f s x %d = %.2f s; ratio = %.2f (goal <= 1.50: %s)\n", n, mc, oc, bc, n, n * bc, c, (c <= 1.5 ? "met" : "MISSED")
}'
