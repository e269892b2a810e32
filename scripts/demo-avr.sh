#!/usr/bin/env bash
# make demo-avr: uploads the AVR sample firmware (samples/blink-avr.hex) with hexloader-cli to an
# ATmega328P simulated instruction by instruction by simavr, running our bootloader
# (build/device/loader-avr.elf), then checks the flash against the image and shows that the uploaded
# program runs: the LED pin PB5 toggles after the bootloader has handed over.
# Usage: scripts/demo-avr.sh [BUILD_DIR]   (default: build)
DEMO=demo-avr
source "$(dirname "$(realpath "$0")")/demo-lib.sh"
HEX="$ROOT/samples/blink-avr.hex"
device="$BUILD/device/loader-avr.elf"
bootloader="$BUILD/device/loader-avr.bin"
need "$device" "$bootloader"
BOOT_START=$(( 0x7C00 ))
FLASH_SIZE=32768

echo "== Starting the simulated ATmega328P (simavr, 16 MHz, USART at 19200 bit/s) with the bootloader"
# The uploaded program runs one second of device time after the hand-over, then the simulation ends.
start_device "$WORK/ttyAVR" --avr "$device" --app-ms 1000
upload "$WORK/ttyAVR" 60

memory="$WORK/device-memory.bin"
if [ "$(stat -c %s "$memory")" -ne "$FLASH_SIZE" ]; then
  echo "demo-avr: FAILED: the board's flash is not 32 KiB" >&2
  exit 1
fi
check_image_then_fill
if ! head -c $(( BOOT_START - FRAMES_END )) /dev/zero | tr '\0' '\377' | cmp -s -i "$FRAMES_END:0" -n $(( BOOT_START - FRAMES_END )) "$memory" -; then
  echo "demo-avr: FAILED: the flash was written beyond the last frame" >&2
  exit 1
fi
if ! cmp -s -i "$BOOT_START:0" -n "$(stat -c %s "$bootloader")" "$memory" "$bootloader"; then
  echo "demo-avr: FAILED: the bootloader's section changed" >&2
  exit 1
fi
toggles=$(sed -n '/started the application/,$p' "$WORK/sim.log" | grep -c 'PB5 \(high\|low\) at' || true)
if [ "$toggles" -lt 4 ]; then
  echo "demo-avr: FAILED: PB5 changed $toggles times after the hand-over, not 4 or more" >&2
  exit 1
fi
echo "== OK: the simulated ATmega328P holds exactly the image: $IMAGE_SIZE bytes of samples/blink-avr.hex at"
echo "   0x0000-$(printf '0x%04X' $((IMAGE_SIZE - 1))), the last frame's zero fill up to $(printf '0x%04X' $((FRAMES_END - 1))), erased flash (FF)"
echo "   up to the bootloader at $(printf '0x%04X' $BOOT_START), which is unchanged; the uploaded program runs: PB5 changed"
echo "   $toggles times in its first second (the LED blinks at 2 Hz)"
