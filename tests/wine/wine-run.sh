#!/usr/bin/env bash
# Runs a Windows program of the build under wine in the harness's prefix (CTest's emulator).
# Usage: wine-run.sh HARNESS_DIR PROGRAM.exe [ARGS...]
set -euo pipefail
export HEXLOADER_WINE_DIR="$1"
shift
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
