#!/usr/bin/env bash
# make demo-gui: the operator's window against the simulated device. The window opens with the
# simulated port and a sample firmware already chosen: press Start (the green arrow); the device is
# switched on a moment later, the upload runs at the real line speed; close the window when done.
# Without a display the same runs under Xvfb, presses Start by itself and ends after the upload.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=$(cd "${BUILD_DIR:-build}" && pwd)
source scripts/gui-demo-lib.sh

make_sample_firmware
start_device --bit-rate 19200 --hello-delay 1500
write_settings
echo "Simulated device on $LINK; sample firmware $HEX"

DEMO=("$BUILD_DIR/bin/hexloader-gui-demo" --port "$LINK" --settings "$INI")
cd "$WORK"  # the image file goes into the current folder
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "${DEMO[@]}"
else
  echo "No display: running under Xvfb, pressing Start automatically."
  "$ROOT/scripts/on-xvfb.sh" "${DEMO[@]}" --start --quit-after-upload
fi
check_memory
