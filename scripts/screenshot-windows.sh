#!/usr/bin/env bash
# make screenshot-windows: a picture of the Windows window, hexloader.exe under wine on Xvfb, during
# an upload to the simulated device. Writes $SCREENSHOT (build-win/screenshot.png by default).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(cd "${BUILD_DIR:-build}" && pwd)
WIN_BUILD_DIR=$(cd "${WIN_BUILD_DIR:-build-win}" && pwd)
SCREENSHOT=${SCREENSHOT:-$WIN_BUILD_DIR/screenshot.png}
source scripts/windows-demo-lib.sh

start_wine
make_sample_firmware
start_device
start_window
rm -f "$SCREENSHOT"
drive start prompt
switch_on
drive shot "$(wine winepath -w "$WORK/screenshot.bmp" 2>/dev/null)" 45 done exit
wait "$APP_PID" 2>/dev/null || true
APP_PID=""
convert "$WORK/screenshot.bmp" "$SCREENSHOT"
[ -s "$SCREENSHOT" ] || { echo "no screenshot was written" >&2; exit 1; }
echo "Screenshot: $SCREENSHOT"
