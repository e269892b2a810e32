# Shared by demo-windows.sh and screenshot-windows.sh: hexloader.exe under wine on an Xvfb display,
# in a folder of its own with its settings file beside it (as a copied, portable program keeps them),
# the Linux simulated device behind COM6 of the Windows build's wine prefix, and a sample firmware.
# Expects BUILD_DIR (Linux: hexloader-sim, hexloader-cli) and WIN_BUILD_DIR (hexloader.exe,
# window_driver.exe, the wine harness); sets WORK, HEX, MEMORY; cleans up on exit. Sourced from the
# project's root folder.

source "$(dirname "${BASH_SOURCE[0]}")/image-check-lib.sh"
# The script runs again on a private Xvfb display (wine makes real X windows), unless it already is.
if [ -z "${HEXLOADER_ON_XVFB:-}" ]; then
  HEXLOADER_ON_XVFB=1 exec bash "$PWD/scripts/on-xvfb.sh" \
    bash "$PWD/scripts/$(basename "$0")" "$@"
fi

WORK=$(mktemp -d "${TMPDIR:-/tmp}/hexloader-windows-demo.XXXXXX")
HEX="$WORK/demo-firmware.hex"
MEMORY="$WORK/memory.bin"
SIM_PID=""
APP_PID=""
export HEXLOADER_WINE_DIR="$WIN_BUILD_DIR/wine"
source tests/wine/wine-env.sh
PORT=COM6
DESKTOP="hexloader-demo-$$"

cleanup() {
  # The window's process group: the desktop's explorer and hexloader.exe, which it started.
  [ -n "$APP_PID" ] && kill -- -"$APP_PID" 2>/dev/null && wait "$APP_PID" 2>/dev/null
  [ -n "$SIM_PID" ] && kill "$SIM_PID" 2>/dev/null && wait "$SIM_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT

# The prefix (made once) and its persistent wine server; one left running from the tests is used as is.
start_wine() {
  tests/wine/wine-setup.sh "$HEXLOADER_WINE_DIR" || wineserver -p30 2>/dev/null || true
}

# Sample firmware: the first 8 KiB of our own command-line tool, as Intel HEX, and its image made by
# the Linux converter, to compare the device's memory with.
make_sample_firmware() {
  head -c 8192 "$BUILD_DIR/bin/hexloader-cli" > "$WORK/demo-firmware.raw"
  srec_cat "$WORK/demo-firmware.raw" -binary -o "$HEX" -intel -obs=16
  mkdir -p "$WORK/reference"
  (cd "$WORK/reference" && "$BUILD_DIR/bin/hexloader-cli" convert "$HEX" > /dev/null)
}

# The device, switched on by a line on its standard input (switch_on), paced at 19200 bit/s; it
# ends by itself after the end frame.
start_device() {
  local link
  link=$(wine_port_link "$PORT")
  rm -f "$link"
  mkfifo "$WORK/power"
  "$BUILD_DIR/bin/hexloader-sim" --link "$link" --memory "$MEMORY" --bit-rate 19200 --hello-on-enter --once \
    < "$WORK/power" > "$WORK/sim.out" 2> "$WORK/sim.log" &
  SIM_PID=$!
  exec 3> "$WORK/power"
  for _ in $(seq 1 100); do [ -L "$link" ] && break; sleep 0.1; done
  [ -L "$link" ] || { echo "the simulated device did not start:" >&2; cat "$WORK/sim.log" >&2; exit 1; }
}
switch_on() { echo >&3; }

# hexloader.exe copied into the work folder with its settings beside it: the simulated device's port
# and the sample firmware. It runs on a wine virtual desktop of the display's size, in a process group
# of its own (APP_PID), so that a failed run leaves no window behind.
start_window() {
  mkdir -p "$WORK/app"
  cp "$WIN_BUILD_DIR/bin/hexloader.exe" "$WORK/app/"
  printf '[PortName]\r\nName=%s\r\n[FileName]\r\nName=%s\r\n' "$PORT" "$(wine winepath -w "$HEX" 2>/dev/null)" \
    > "$WORK/app/hexloader.ini"
  (cd "$WORK" && exec setsid wine explorer /desktop="$DESKTOP,1024x768" "$WORK/app/hexloader.exe") \
    > "$WORK/app.log" 2>&1 &
  APP_PID=$!
}

# drive STEP...: window_driver.exe's steps (start, prompt, shot FILE N, done, exit).
drive() { wine "$WIN_BUILD_DIR/bin/window_driver.exe" --desktop "$DESKTOP" "$@"; }

# Checks that the device received exactly the image.
check_memory() { device_holds_image "$WORK/reference/demo-firmware.BIN" "$MEMORY"; }
