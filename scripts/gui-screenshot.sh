#!/usr/bin/env bash
# make screenshot: a picture of the main window during an upload to the simulated device, taken
# under Xvfb. Writes $SCREENSHOT (build/screenshot.png by default).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=$(cd "${BUILD_DIR:-build}" && pwd)
SCREENSHOT=${SCREENSHOT:-$BUILD_DIR/screenshot.png}
source scripts/gui-demo-lib.sh

make_sample_firmware
start_device --bit-rate 19200 --hello-delay 0
write_settings
rm -f "$SCREENSHOT"
(cd "$WORK" && xvfb-run -a -s "-screen 0 1024x768x24" "$BUILD_DIR/bin/hexloader-gui-demo" \
  --port "$LINK" --settings "$INI" --start --screenshot "$SCREENSHOT" --screenshot-percent 45 --quit-after-upload)
[ -s "$SCREENSHOT" ] || { echo "no screenshot was written" >&2; exit 1; }
echo "Screenshot: $SCREENSHOT"
