#!/usr/bin/env bash
# make demo-8051: uploads the sample firmware (samples/blink.hex) with hexloader-cli to an 8051 simulated
# instruction by instruction by s51, running our device program (build/device/loader51.ihx), then checks
# the device's memory against the image.
# Usage: scripts/demo-8051.sh [BUILD_DIR [BAUD]]   (default: build, 19200: the build loader51-BAUD.ihx
# of another rate, and the loader told the same)
DEMO=demo-8051
BAUD=${2:-19200}
source "$(dirname "$(realpath "$0")")/demo-lib.sh"
device="$BUILD/device/loader51.ihx"
[ "$BAUD" = 19200 ] || device="$BUILD/device/loader51-$BAUD.ihx"
need "$device"

echo "== Starting the simulated 8051 (s51, 11.0592 MHz, UART at $BAUD bit/s) with the device program"
start_device "$WORK/tty8051" --s51 "$device"
upload "$WORK/tty8051" 60 --baud "$BAUD"

memory="$WORK/device-memory.bin"
if [ "$(stat -c %s "$memory")" -ne 65536 ]; then
  echo "demo-8051: FAILED: the device's memory is not 64 KiB" >&2
  exit 1
fi
check_image_then_fill
if ! head -c $(( 65536 - FRAMES_END )) /dev/zero | tr '\0' '\377' | cmp -s -i "$FRAMES_END:0" "$memory" -; then
  echo "demo-8051: FAILED: the device's memory was written beyond the last frame" >&2
  exit 1
fi
echo "== OK: the simulated 8051 holds exactly the image: $IMAGE_SIZE bytes of samples/blink.hex at 0x0000-$(printf '0x%04X' $((IMAGE_SIZE - 1))),"
echo "   the last frame's zero fill up to $(printf '0x%04X' $((FRAMES_END - 1))), and erased memory (FF) above"
