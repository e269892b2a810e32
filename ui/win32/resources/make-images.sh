#!/usr/bin/env bash
# Makes the committed Windows icons: the application icon from the package's PNG sizes, and the
# toolbar's and Port menu's images from the Linux window's own drawing (ui/app_icons.cpp), each at
# 16, 24 and 32 pixels (100, 150 and 200 % screens). Run it after changing a drawing; it needs Qt's
# development files and ImageMagick, which the Windows build itself does not.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

g++ -std=c++20 -fPIC -I"$root" "$here/render_tool_images.cpp" "$root/ui/app_icons.cpp" -o "$work/render" \
  $(pkg-config --cflags --libs Qt6Gui)
QT_QPA_PLATFORM=offscreen "$work/render" "$work"
for name in select-file port begin exit port-item; do
  convert "$work/$name-16.png" "$work/$name-24.png" "$work/$name-32.png" "$here/$name.ico"
done

icons="$root/packaging/icons"
convert "$icons/hexloader-16.png" "$icons/hexloader-24.png" "$icons/hexloader-32.png" "$icons/hexloader-48.png" \
  "$icons/hexloader-64.png" "$icons/hexloader-256.png" "$here/hexloader.ico"
