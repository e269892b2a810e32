# Shared by demo.sh, demo-8051.sh and demo-avr.sh: the programs of a build folder, a work folder cleaned up on exit,
# the simulated device started on a linked pseudo-terminal, the upload and the check of the device's memory.
# Expects DEMO (the script's name for messages) and the build folder as $1; sets ROOT, BUILD, SIM, CLI,
# HEX (the sample firmware; a demo may choose another after sourcing), WORK.
set -euo pipefail
ROOT=$(dirname "$(dirname "$(realpath "${BASH_SOURCE[0]}")")")
BUILD=$(realpath "${1:-$ROOT/build}")
SIM="$BUILD/bin/hexloader-sim"
CLI="$BUILD/bin/hexloader-cli"
HEX="$ROOT/samples/blink.hex"

# need FILE...: stops with a hint when a file the demo needs has not been built.
need() {
  for file in "$@"; do
    [ -e "$file" ] || { echo "$DEMO: $file is missing; run 'make build' first" >&2; exit 1; }
  done
}
need "$SIM" "$CLI"

WORK=$(mktemp -d)
SIM_PID=""
cleanup() {
  # hexloader-sim takes its s51, if any, with it when it ends.
  if [ -n "$SIM_PID" ] && kill -0 "$SIM_PID" 2>/dev/null; then kill "$SIM_PID"; wait "$SIM_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

# start_device LINK [hexloader-sim options...]: the device for one upload (--once), its memory in
# $WORK/device-memory.bin, its log in $WORK/sim.log.
start_device() {
  local link=$1
  shift
  "$SIM" --once --link "$link" --memory "$WORK/device-memory.bin" "$@" > "$WORK/sim.out" 2> "$WORK/sim.log" &
  SIM_PID=$!
  for _ in $(seq 100); do [ -L "$link" ] && break; kill -0 "$SIM_PID" 2>/dev/null || break; sleep 0.1; done
  [ -L "$link" ] || { echo "$DEMO: the simulated device did not start" >&2; cat "$WORK/sim.log" >&2; exit 1; }
  echo "   port $(head -n1 "$WORK/sim.out"), linked as $link"
}

# upload LINK TIMEOUT [OPTION...]: hexloader-cli uploads the sample from $WORK (the converter writes the
# image where it runs, as the window's Start does); then the device's status and log.
upload() {
  local link=$1 timeout=$2
  shift 2
  echo "== hexloader-cli upload --port $link $* samples/$(basename "$HEX")"
  (cd "$WORK" && "$CLI" upload --port "$link" --timeout "$timeout" "$@" "$HEX")
  local status=0
  wait "$SIM_PID" || status=$?
  SIM_PID=""
  echo "== The device's log"
  sed 's/^/   /' "$WORK/sim.log"
  [ "$status" -eq 0 ] || { echo "$DEMO: FAILED: the simulated device ended with status $status" >&2; exit 1; }
}

# check_image_then_fill: the device's memory starts with the image and the last frame's zero fill.
# Sets IMAGE_SIZE and FRAMES_END (the end of the last frame).
check_image_then_fill() {
  local image="$WORK/$(basename "${HEX%.*}").BIN" memory="$WORK/device-memory.bin"
  IMAGE_SIZE=$(stat -c %s "$image")
  FRAMES_END=$(( (IMAGE_SIZE / 128 + 1) * 128 ))
  if ! cmp -s -n "$IMAGE_SIZE" "$image" "$memory"; then
    echo "$DEMO: FAILED: the device's memory differs from the image" >&2
    cmp -n "$IMAGE_SIZE" "$image" "$memory" >&2 || true
    exit 1
  fi
  if ! cmp -s -i "$IMAGE_SIZE:0" -n $(( FRAMES_END - IMAGE_SIZE )) "$memory" /dev/zero; then
    echo "$DEMO: FAILED: the device's memory after the image is not the zero fill of the last frame" >&2
    exit 1
  fi
}
