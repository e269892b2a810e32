#!/usr/bin/env bash
# Ends the wineserver of the harness (and with it every wine program still running in the prefix).
# Usage: wine-stop.sh HARNESS_DIR
set -uo pipefail
export HEXLOADER_WINE_DIR="$1"
source "$(dirname "$0")/wine-env.sh"
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
exit 0
