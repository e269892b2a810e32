#!/usr/bin/env bash
# make demo: uploads the sample firmware (samples/blink.hex) to the simulated device over a
# pseudo-terminal paced at the real 19200 bit/s, then checks that the device received exactly the image.
# Usage: scripts/demo.sh [BUILD_DIR]   (default: build)
DEMO=demo
source "$(dirname "$(realpath "$0")")/demo-lib.sh"

echo "== Starting the simulated device (19200 bit/s, switched on half a second after the port opens)"
start_device "$WORK/ttyDEMO" --bit-rate 19200 --hello-delay 500
upload "$WORK/ttyDEMO" 30

check_image_then_fill
actual=$(stat -c %s "$WORK/device-memory.bin")
if [ "$actual" -ne "$FRAMES_END" ]; then
  echo "demo: FAILED: the device holds $actual bytes, expected $FRAMES_END" >&2
  exit 1
fi
echo "== OK: the device received exactly the image: $IMAGE_SIZE bytes of samples/blink.hex at 0x0000-$(printf '0x%04X' $((IMAGE_SIZE - 1))), then the last frame's zero fill"
