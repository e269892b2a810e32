# Shared by gui-demo.sh and gui-screenshot.sh: a simulated device on a pseudo-terminal, a sample
# firmware made from the project's own program, and settings that name both.
# Expects BUILD_DIR; sets WORK, LINK, MEMORY, HEX, INI; cleans up on exit.

source "$(dirname "${BASH_SOURCE[0]}")/image-check-lib.sh"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/hexloader-gui-demo.XXXXXX")
LINK="$WORK/ttySIM0"
MEMORY="$WORK/memory.bin"
HEX="$WORK/demo-firmware.hex"
INI="$WORK/hexloader-demo.ini"
SIM_PID=""

cleanup() {
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# Sample firmware: the first 8 KiB of our own command-line tool, as Intel HEX.
make_sample_firmware() {
  head -c 8192 "$BUILD_DIR/bin/hexloader-cli" > "$WORK/demo-firmware.raw"
  srec_cat "$WORK/demo-firmware.raw" -binary -o "$HEX" -intel -obs=16
}

# start_device [hexloader-sim options...]
start_device() {
  "$BUILD_DIR/bin/hexloader-sim" --link "$LINK" --memory "$MEMORY" "$@" > "$WORK/sim.out" 2> "$WORK/sim.log" &
  SIM_PID=$!
  for _ in $(seq 1 100); do
    [ -e "$LINK" ] && break
    sleep 0.1
  done
  [ -e "$LINK" ] || { echo "the simulated device did not start:" >&2; cat "$WORK/sim.log" >&2; exit 1; }
}

write_settings() {
  printf '[PortName]\nName=%s\n[FileName]\nName=%s\n' "$LINK" "$HEX" > "$INI"
}

# Checks that the device received exactly the image.
check_memory() { device_holds_image "$WORK/demo-firmware.BIN" "$MEMORY"; }
