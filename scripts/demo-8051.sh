#!/usr/bin/env bash
# make demo-8051: uploads the sample firmware (samples/blink.hex) with hexloader-cli to an 8051 simulated
# instruction by instruction by s51, running our device program (build/device/loader51.ihx), then checks
# the device's memory against the image.
# Usage: scripts/demo-8051.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(dirname "$(dirname "$(realpath "$0")")")
build=$(realpath "${1:-$root/build}")
sim="$build/bin/hexloader-sim"
cli="$build/bin/hexloader-cli"
device="$build/device/loader51.ihx"
hex="$root/samples/blink.hex"
for file in "$sim" "$cli" "$device"; do
  [ -e "$file" ] || { echo "demo-8051: $file is missing; run 'make build' first" >&2; exit 1; }
done

work=$(mktemp -d)
sim_pid=""
cleanup() {
  # hexloader-sim takes s51 with it when it ends.
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Starting the simulated 8051 (s51, 11.0592 MHz, UART at 19200 bit/s) with the device program"
"$sim" --s51 "$device" --once --link "$work/tty8051" --memory "$work/device-memory.bin" \
  > "$work/sim.out" 2> "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do [ -L "$work/tty8051" ] && break; kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
[ -L "$work/tty8051" ] || { echo "demo-8051: the simulated device did not start" >&2; cat "$work/sim.log" >&2; exit 1; }
echo "   port $(head -n1 "$work/sim.out"), linked as $work/tty8051"

echo "== hexloader-cli upload --port $work/tty8051 samples/blink.hex"
(cd "$work" && "$cli" upload --port "$work/tty8051" --timeout 60 "$hex")
status=0
wait "$sim_pid" || status=$?
sim_pid=""
echo "== The device's log"
sed 's/^/   /' "$work/sim.log"
[ "$status" -eq 0 ] || { echo "demo-8051: FAILED: the simulated device ended with status $status" >&2; exit 1; }

image="$work/blink.BIN"
memory="$work/device-memory.bin"
size=$(stat -c %s "$image")
frames_end=$(( (size / 128 + 1) * 128 ))
if [ "$(stat -c %s "$memory")" -ne 65536 ]; then
  echo "demo-8051: FAILED: the device's memory is not 64 KiB" >&2
  exit 1
fi
if ! cmp -s -n "$size" "$image" "$memory"; then
  echo "demo-8051: FAILED: the device's memory differs from the image" >&2
  cmp -n "$size" "$image" "$memory" >&2 || true
  exit 1
fi
if ! cmp -s -i "$size:0" -n $(( frames_end - size )) "$memory" /dev/zero; then
  echo "demo-8051: FAILED: the device's memory after the image is not the zero fill of the last frame" >&2
  exit 1
fi
if ! head -c $(( 65536 - frames_end )) /dev/zero | tr '\0' '\377' | cmp -s -i "$frames_end:0" "$memory" -; then
  echo "demo-8051: FAILED: the device's memory was written beyond the last frame" >&2
  exit 1
fi
echo "== OK: the simulated 8051 holds exactly the image: $size bytes of samples/blink.hex at 0x0000-$(printf '0x%04X' $((size - 1))),"
echo "   the last frame's zero fill up to $(printf '0x%04X' $((frames_end - 1))), and erased memory (FF) above"
