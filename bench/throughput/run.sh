#!/usr/bin/env bash
# Throughput benchmark, each figure a ratio against a reference measured in the same run, printed with
# its goal (a missed goal is reported, not a failure):
#  1. 64 devices at once, 4,096 bytes each, paced at 19200 bit/s: hexloader-cli's time against one
#     device alone (goal <= 1.02), and its CPU for all 64 as a share of one core (goal <= 0.25), beside
#     64 times the blocking uploader's CPU for one; the simulator's own CPU is shown apart.
#  2. One 30,000-byte upload paced at 19200 bit/s, start-up included: the CPU of hexloader-cli (goal
#     <= 0.5) and of the window (goal <= 1.0, its toolkit's start-up in it) against the minimal
#     blocking uploader (bench/upload, a process of its own).
#  3. Wake-ups per data frame in the same uploads, from the kernel's count of each thread's sleeps
#     (thread_wakeups): the event thread's and the user-interface loop's together (goal <= 4), shown
#     apart as well.
#  4. 65,535 bytes at 115200 bit/s against the line's time (goal <= 1.02), on a line without USB
#     adapter, and with the simulator playing one whose latency timer is 1 ms (what low latency gives
#     on ftdi_sio) and 16 ms (the default): the difference is the burst penalty that low latency
#     saves (a pseudo-terminal itself refuses the low-latency request). The blocking uploader on the
#     same line shows what the simulator's own timing allows.
#  5. Devices faster than their line, through a port opened at 19200 bit/s: 65,535 bytes to the
#     simulator at 230400 bit/s and to it playing a USB CDC device (64-byte packets, one a millisecond),
#     each against the device's own time for the bytes exchanged (goal <= 1.3): its line's, or a
#     millisecond for each packet its answers fill. The blocking uploader shows what the simulator's
#     own timing allows, and hexloader-cli's wake-ups per data frame are counted on each.
# Medians of ROUNDS runs (3). The window is measured when the build has hexloader-gui-demo (the
# bench build has no toolkit: WINDOW_BUILD=build points at a build that has one), under Xvfb when there
# is no display. Usage: run.sh BUILD_DIR [ROUNDS]
set -euo pipefail
shopt -s inherit_errexit
build=$(realpath "${1:?usage: run.sh BUILD_DIR [ROUNDS]}")
rounds=${2:-${THROUGHPUT_BENCH_ROUNDS:-3}}
sim="$build/bin/hexloader-sim"
cli="$build/bin/hexloader-cli"
blocking="$build/bin/upload_bench"
wakeups="$build/bin/thread_wakeups"
for program in "$sim" "$cli" "$blocking" "$wakeups"; do
  [ -x "$program" ] || { echo "no $program: build first" >&2; exit 1; }
done
window=""
for dir in "$build" ${WINDOW_BUILD:+"$(realpath "$WINDOW_BUILD")"}; do
  [ -x "$dir/bin/hexloader-gui-demo" ] && { window="$dir/bin/hexloader-gui-demo"; break; }
done

work=$(mktemp -d)
BENCH=throughput
source "$(dirname "$(realpath "$0")")/../bench-lib.sh"
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

make_image() {  # make_image SIZE NAME: NAME.bin and NAME.hex in $work
  head -c "$1" /dev/urandom > "$work/$2.bin"
  srec_cat "$work/$2.bin" -binary -o "$work/$2.hex" -intel
}
make_image 4096 small
make_image 30000 medium
make_image 65535 large

# start_sim N [OPTIONS...]: N devices; their paths in $work/ports; the simulator's times in $work/sim.time.
start_sim() {
  local n=$1
  shift
  : > "$work/ports"
  /usr/bin/time -f "%e %U %S" -o "$work/sim.time" \
    "$sim" --devices "$n" --once --hello-delay 0 --log none "$@" > "$work/ports" &
  sim_pid=$!
  for _ in $(seq 200); do [ "$(wc -l < "$work/ports")" -ge "$n" ] && break; sleep 0.05; done
  [ "$(wc -l < "$work/ports")" -ge "$n" ] || { echo "throughput benchmark: the simulator did not start" >&2; return 1; }
}
stop_sim() {
  wait "$sim_pid" || true
  sim_pid=""
}
sim_cpu() { awk '{ printf "%.3f\n", $2 + $3 }' "$work/sim.time"; }

# cli_many N: hexloader-cli through N paced devices; prints "WALL CPU SIM-CPU".
cli_many() {
  start_sim "$1" --bit-rate 19200
  local args=() result
  while read -r port; do args+=(--port "$port"); done < "$work/ports"
  result=$(cd "$work" && timed "$cli" upload "${args[@]}" --timeout 30 small.hex)
  stop_sim
  echo "$result $(sim_cpu)"
}

# blocking_one NAME [SIM OPTIONS...]: the blocking uploader, a process of its own, to one device;
# prints "WALL CPU".
blocking_one() {
  local name=$1 result
  shift
  start_sim 1 "$@"
  result=$(timed "$blocking" blocking "$(head -n1 "$work/ports")" "$work/$name.bin")
  stop_sim
  echo "$result"
}

# Wake-ups per data frame from thread_wakeups' output in $work/out: the event thread's and the loop's
# (the main thread's; the window's loop is its main thread too).
# Prints "TOTAL EVENT-THREAD LOOP", each per data frame.
wakeups_per_frame() {
  awk -v frames="$1" '$1 == "serial-event" { e += $3 } $1 == "main" { m += $3 }
    END { printf "%.2f %.2f %.2f\n", (e + m) / frames, e / frames, m / frames }' "$work/out"
}
cpu_of_run() { awk '$1 == "cpu" { print $2 }' "$work/out"; }

# cli_counted NAME FRAMES [SIM OPTIONS...]: hexloader-cli uploading NAME.hex (the port at its default
# 19200 bit/s) under thread_wakeups to one device, paced at 19200 bit/s unless the options say
# otherwise; prints "CPU WAKEUPS-PER-FRAME (as wakeups_per_frame)".
cli_counted() {
  local name=$1 frames=$2
  shift 2
  if [ $# -eq 0 ]; then start_sim 1 --bit-rate 19200; else start_sim 1 "$@"; fi
  (cd "$work" && "$wakeups" "$cli" upload --port "$(head -n1 "$work/ports")" --timeout 30 "$name.hex" > "$work/out" 2> "$work/err") || {
    echo "throughput benchmark: hexloader-cli failed:" >&2
    cat "$work/err" >&2
    return 1
  }
  stop_sim
  echo "$(cpu_of_run) $(wakeups_per_frame "$frames")"
}

# window_counted NAME FRAMES: the window uploading NAME.hex (pressing Start itself, closing after the
# upload) to one paced device under thread_wakeups; prints "CPU WAKEUPS-PER-FRAME (as wakeups_per_frame)".
window_counted() {
  start_sim 1 --bit-rate 19200 --hello-delay 500
  printf '[PortName]\nName=%s\n[FileName]\nName=%s\n' "$(head -n1 "$work/ports")" "$work/$1.hex" > "$work/window.ini"
  local display=()
  [ -z "${DISPLAY:-}" ] && display=("$(dirname "$(realpath "$0")")/../../scripts/on-xvfb.sh")
  (cd "$work" && "${display[@]}" "$wakeups" "$window" --port "$(head -n1 "$work/ports")" --settings "$work/window.ini" --start \
    --quit-after-upload > "$work/out" 2> "$work/err") || {
    echo "throughput benchmark: the window failed:" >&2
    cat "$work/err" >&2
    return 1
  }
  stop_sim
  echo "$(cpu_of_run) $(wakeups_per_frame "$2")"
}

column() { printf '%s\n' "${@:2}" | awk -v c="$1" '{ print $c }' | median; }

echo "machine load at start: $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine makes these figures noisy)"

# --- 1. 64 devices at once ---
devices=64
one=(); many=(); ref=()
for _ in $(seq "$rounds"); do
  one+=("$(cli_many 1)")
  many+=("$(cli_many "$devices")")
  ref+=("$(blocking_one small --bit-rate 19200)")
done
awk -v ow="$(column 1 "${one[@]}")" -v mw="$(column 1 "${many[@]}")" -v mc="$(column 2 "${many[@]}")" \
    -v ms="$(column 3 "${many[@]}")" -v bc="$(column 2 "${ref[@]}")" -v n="$devices" -v r="$rounds" 'BEGIN {
  printf "%d devices at once, 4096 bytes each, paced at 19200 bit/s, median of %d\n", n, r
  t = mw / ow
  printf "  time: %d devices %.2f s, one device alone %.2f s; ratio = %.3f (goal <= 1.02: %s)\n", n, mw, ow, t, (t <= 1.02 ? "met" : "MISSED")
  c = mc / mw
  printf "  CPU of hexloader-cli for all %d: %.2f s in %.2f s = %.2f of one core (goal <= 0.25: %s)\n", n, mc, mw, c, (c <= 0.25 ? "met" : "MISSED")
  printf "    against %d blocking uploaders: %.3f s x %d = %.2f s; ratio = %.2f\n", n, bc, n, n * bc, mc / (n * bc)
  printf "    the simulator playing the %d devices: %.2f s of CPU (%.2f of one core), not counted above\n", n, ms, ms / mw
}'

# --- 2. and 3. one 30,000-byte upload: CPU against the blocking uploader, wake-ups per data frame ---
frames=$(( 30000 / 128 + 1 ))
cli_runs=(); window_runs=(); ref=()
for _ in $(seq "$rounds"); do
  cli_runs+=("$(cli_counted medium "$frames")")
  [ -n "$window" ] && window_runs+=("$(window_counted medium "$frames")")
  ref+=("$(blocking_one medium --bit-rate 19200)")
done
bc=$(column 2 "${ref[@]}")
awk -v cc="$(column 1 "${cli_runs[@]}")" -v cw="$(column 2 "${cli_runs[@]}")" -v ce="$(column 3 "${cli_runs[@]}")" \
    -v cl="$(column 4 "${cli_runs[@]}")" -v bc="$bc" -v r="$rounds" -v f="$frames" 'BEGIN {
  printf "one 30000-byte upload paced at 19200 bit/s, start-up included, median of %d\n", r
  c = cc / bc
  printf "  CPU: hexloader-cli %.3f s, blocking uploader %.3f s; ratio = %.2f (goal <= 0.50: %s)\n", cc, bc, c, (c <= 0.5 ? "met" : "MISSED")
  printf "  wake-ups per data frame (%d frames), hexloader-cli: %.2f = event thread %.2f + loop %.2f (goal <= 4: %s)\n", f, cw, ce, cl, (cw <= 4 ? "met" : "MISSED")
  printf "    (its own housekeeping, 10 times a second, runs on the frames'"'"' wake-ups)\n"
}'
if [ -n "$window" ]; then
  awk -v wc="$(column 1 "${window_runs[@]}")" -v ww="$(column 2 "${window_runs[@]}")" -v we="$(column 3 "${window_runs[@]}")" \
      -v wl="$(column 4 "${window_runs[@]}")" -v bc="$bc" 'BEGIN {
    c = wc / bc
    printf "  CPU: the window %.3f s (its toolkit'"'"'s start-up in it); ratio = %.2f (goal <= 1.00: %s)\n", wc, c, (c <= 1.0 ? "met" : "MISSED")
    printf "  wake-ups per data frame, the window: %.2f = event thread %.2f + its main thread %.2f (goal <= 4: %s)\n", ww, we, wl, (ww <= 4 ? "met" : "MISSED")
    printf "    (its main thread also plays the copy animation, 13 pictures a second, each a timer and a round trip to the X server)\n"
  }'
else
  echo "  the window: not measured (no hexloader-gui-demo in this build; WINDOW_BUILD=build names one that has it)"
fi

# --- 4. 65,535 bytes at 115200 bit/s, with and without a USB adapter's latency timer ---
data=$(( 65535 / 128 + 1 ))
address=$(( (data + 3) / 4 ))
byte_times=$(( 5 + address * 5 + data * 133 + 4 ))
fast() {  # fast [SIM OPTIONS...]: seconds from the hello to the end frame's echo
  start_sim 1 --bit-rate 115200 "$@"
  local seconds
  seconds=$("$blocking" session "$(head -n1 "$work/ports")" "$work/large.hex" 115200)
  stop_sim
  echo "$seconds"
}
echo "65535 bytes at 115200 bit/s, line time $(awk -v bt="$byte_times" 'BEGIN { printf "%.3f", bt * 10 / 115200 }') s ($byte_times byte times), median of $rounds"
# What the simulator itself allows: the blocking uploader on the same line, timed the same way.
times=()
for _ in $(seq "$rounds"); do
  start_sim 1 --bit-rate 115200
  times+=("$("$blocking" blocking "$(head -n1 "$work/ports")" "$work/large.bin")")
  stop_sim
done
awk -v s="$(printf '%s\n' "${times[@]}" | median)" -v bt="$byte_times" 'BEGIN {
  printf "  %-40s %.3f s; ratio to the line = %.3f (reference)\n", "blocking uploader, no USB adapter:", s, s / (bt * 10 / 115200)
}' 
for latency in 0 1 16; do
  times=()
  for _ in $(seq "$rounds"); do
    if [ "$latency" = 0 ]; then times+=("$(fast)"); else times+=("$(fast --usb-latency "$latency")"); fi
  done
  awk -v s="$(printf '%s\n' "${times[@]}" | median)" -v bt="$byte_times" -v l="$latency" 'BEGIN {
    line = bt * 10 / 115200
    r = s / line
    what = l == 0 ? "hexloader session, no USB adapter" : sprintf("USB latency timer %d ms%s", l, l == 1 ? " (low latency)" : " (the default)")
    printf "  %-40s %.3f s; ratio to the line = %.3f (goal <= 1.02: %s)\n", what ":", s, r, (r <= 1.02 ? "met" : "MISSED")
  }'
done

# --- 5. devices faster than their line, through a port opened at 19200 bit/s ---
# The device's own time, from the hello to the end frame's echo: at 230400 bit/s the same byte times
# as above; a USB CDC device needs a packet for each answer of up to 64 bytes, its data frames' (echo
# and reply, 132 bytes) three.
cdc_ms=$(( 1 + address + data * ((132 + 63) / 64) + 1 ))
faster() {  # faster LABEL OWN-SECONDS SIM OPTIONS...
  local label=$1 own=$2 sessions=() blockings=() counted=()
  shift 2
  for _ in $(seq "$rounds"); do
    start_sim 1 "$@"
    sessions+=("$("$blocking" session "$(head -n1 "$work/ports")" "$work/large.hex" 19200)")
    stop_sim
    start_sim 1 "$@"
    blockings+=("$("$blocking" blocking "$(head -n1 "$work/ports")" "$work/large.bin")")
    stop_sim
    counted+=("$(cli_counted large "$data" "$@")")
  done
  awk -v label="$label" -v own="$own" -v s="$(printf '%s\n' "${sessions[@]}" | median)" \
      -v b="$(printf '%s\n' "${blockings[@]}" | median)" -v w="$(column 2 "${counted[@]}")" \
      -v we="$(column 3 "${counted[@]}")" -v wl="$(column 4 "${counted[@]}")" 'BEGIN {
    printf "  %s: its own time %.3f s\n", label, own
    printf "    %-38s %.3f s; ratio = %.3f (reference)\n", "blocking uploader:", b, b / own
    r = s / own
    printf "    %-38s %.3f s; ratio = %.3f (goal <= 1.30: %s)\n", "hexloader session:", s, r, (r <= 1.3 ? "met" : "MISSED")
    printf "    wake-ups per data frame, hexloader-cli: %.2f = event thread %.2f + loop %.2f\n", w, we, wl
  }'
}
echo "65535 bytes through a port opened at 19200 bit/s to devices faster than the line, median of $rounds"
faster "device at 230400 bit/s" "$(awk -v bt="$byte_times" 'BEGIN { printf "%.3f", bt * 10 / 230400 }')" --bit-rate 230400
faster "USB CDC device, 64-byte packets every 1 ms" "$(awk -v ms="$cdc_ms" 'BEGIN { printf "%.3f", ms / 1000 }')" --usb-cdc 1
echo "machine load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
