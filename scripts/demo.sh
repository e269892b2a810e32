#!/usr/bin/env bash
# make demo: uploads the sample firmware (samples/blink.hex) to the simulated device over a
# pseudo-terminal paced at the real 19200 bit/s, then checks that the device received exactly the image.
# Usage: scripts/demo.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(dirname "$(dirname "$(realpath "$0")")")
build=$(realpath "${1:-$root/build}")
sim="$build/bin/hexloader-sim"
cli="$build/bin/hexloader-cli"
hex="$root/samples/blink.hex"
for program in "$sim" "$cli"; do
  [ -x "$program" ] || { echo "demo: $program is missing; run 'make build' first" >&2; exit 1; }
done

work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then kill "$sim_pid"; wait "$sim_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Starting the simulated device (19200 bit/s, switched on half a second after the port opens)"
"$sim" --once --link "$work/ttyDEMO" --memory "$work/device-memory.bin" --bit-rate 19200 --hello-delay 500 \
  > "$work/sim.out" 2> "$work/sim.log" &
sim_pid=$!
for _ in $(seq 100); do [ -L "$work/ttyDEMO" ] && break; sleep 0.1; done
[ -L "$work/ttyDEMO" ] || { echo "demo: the simulated device did not start" >&2; cat "$work/sim.log" >&2; exit 1; }
echo "   port $(head -n1 "$work/sim.out"), linked as $work/ttyDEMO"

echo "== hexloader-cli upload --port $work/ttyDEMO samples/blink.hex"
# The converter writes the image next to where it runs, as the window's Start does.
(cd "$work" && "$cli" upload --port "$work/ttyDEMO" --timeout 30 "$hex")
wait "$sim_pid" || true
sim_pid=""
echo "== The device's log"
sed 's/^/   /' "$work/sim.log"

image="$work/blink.BIN"
memory="$work/device-memory.bin"
size=$(stat -c %s "$image")
expected=$(( (size / 128 + 1) * 128 ))
actual=$(stat -c %s "$memory")
if [ "$actual" -ne "$expected" ]; then
  echo "demo: FAILED: the device holds $actual bytes, expected $expected" >&2
  exit 1
fi
if ! cmp -s -n "$size" "$image" "$memory"; then
  echo "demo: FAILED: the device's memory differs from the image" >&2
  cmp -n "$size" "$image" "$memory" >&2 || true
  exit 1
fi
if ! cmp -s -i "$size:0" -n $(( expected - size )) "$memory" /dev/zero; then
  echo "demo: FAILED: the device's memory after the image is not the zero fill of the last frame" >&2
  exit 1
fi
echo "== OK: the device received exactly the image: $size bytes of samples/blink.hex at 0x0000-$(printf '0x%04X' $((size - 1))), then the last frame's zero fill"
