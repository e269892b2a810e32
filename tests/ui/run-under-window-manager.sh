#!/usr/bin/env bash
# Runs a test on the current X display with openbox managing its windows, so that frames, their
# buttons and their sizes are the window manager's own. Used inside scripts/on-xvfb.sh.
set -euo pipefail
command -v openbox >/dev/null || { echo "openbox is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
trap 'kill "$wm" 2>/dev/null || true' EXIT
# Ready once it names itself on the root window.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done
"$@"
