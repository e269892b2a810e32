#!/usr/bin/env bash
# make demo-windows: the Windows window, hexloader.exe, under wine on Xvfb against the Linux simulated
# device behind COM6 of the wine prefix. Start is pressed, the device switched on once the prompt
# shows, the upload runs at 19200 bit/s, Exit closes the window, and the device's memory is checked
# against the image.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(cd "${BUILD_DIR:-build}" && pwd)
WIN_BUILD_DIR=$(cd "${WIN_BUILD_DIR:-build-win}" && pwd)
source scripts/windows-demo-lib.sh

start_wine
make_sample_firmware
start_device
start_window
echo "hexloader.exe with the simulated device on $PORT; sample firmware $HEX"
drive start prompt
echo "Start pressed, the prompt is up: switching the device on."
switch_on
drive done
echo "The upload has ended: pressing Exit."
drive exit
wait "$APP_PID" 2>/dev/null || true
APP_PID=""
check_memory
