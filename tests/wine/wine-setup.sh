#!/usr/bin/env bash
# Makes the wine prefix of the Windows build once (about ten seconds), maps its COM ports to links in
# the harness folder, and starts a persistent wineserver so that each program start is cheap.
# Usage: wine-setup.sh HARNESS_DIR
set -euo pipefail
export HEXLOADER_WINE_DIR="$1"
source "$(dirname "$0")/wine-env.sh"

if [ ! -f "$WINEPREFIX/.hexloader-ready" ]; then
  rm -rf "$WINEPREFIX"
  wineboot -i </dev/null >/dev/null 2>&1
  for port in $HEXLOADER_WINE_PORTS; do
    wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$(wine_port_link "$port")" /f </dev/null >/dev/null 2>&1
  done
  # The device manager reads the port mapping when it starts: end this session so that the next one
  # (below) starts with the ports in place.
  wineserver -k || true
  wineserver -w
  touch "$WINEPREFIX/.hexloader-ready"
fi
# Kept for 30 s after the last wine program ends: long enough to span the gaps between tests, and an
# interrupted run (where wine-stop.sh never comes) still leaves nothing running for long.
# A server still running for this prefix (a demo or a screenshot just before) serves as well.
wineserver -p30 </dev/null >/dev/null 2>&1 || true
# Starts the system's services now, not inside the first test's time.
wine cmd /c exit </dev/null >/dev/null 2>&1
