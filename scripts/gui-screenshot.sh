#!/usr/bin/env bash
# make screenshot: a picture of the main window during an upload to the simulated device, taken
# under Xvfb. Writes $SCREENSHOT (build/screenshot.png by default).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=$(cd "${BUILD_DIR:-build}" && pwd)
SCREENSHOT=${SCREENSHOT:-$BUILD_DIR/screenshot.png}
source scripts/gui-demo-lib.sh

make_sample_firmware
start_device --bit-rate 19200 --hello-delay 0
# The window names the port by the device path the simulator printed (/dev/pts/N), as it names a real
# adapter, rather than by the long link in the work folder.
for _ in $(seq 1 50); do [ -s "$WORK/sim.out" ] && break; sleep 0.1; done
LINK=$(head -n 1 "$WORK/sim.out")
write_settings
rm -f "$SCREENSHOT"
(cd "$WORK" && "$ROOT/scripts/on-xvfb.sh" "$BUILD_DIR/bin/hexloader-gui-demo" \
  --port "$LINK" --settings "$INI" --start --screenshot "$SCREENSHOT" --screenshot-percent 45 --quit-after-upload)
[ -s "$SCREENSHOT" ] || { echo "no screenshot was written" >&2; exit 1; }
echo "Screenshot: $SCREENSHOT"
