#!/usr/bin/env bash
# Renders the committed PNG sizes of the icon from hexloader.svg. Run it after changing the drawing;
# it needs rsvg-convert (Debian package librsvg2-bin), which the build itself does not.
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" hexloader.svg --output "hexloader-$size.png"
done
