#!/usr/bin/env bash
# Stands in for the Linux hexloader-cli in the Linux upload tests (HEXLOADER_TEST_CLI), so that the
# same cases run against hexloader-cli.exe under wine: a --port that names a pseudo-terminal is linked
# as the prefix's COM5 and passed on as COM5; every other argument passes unchanged.
# Needs HEXLOADER_WINE_DIR and HEXLOADER_WINE_CLI (the .exe) in the environment.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
args=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--port" ] && [ $# -ge 2 ] && [ -c "$2" ]; then
    ln -sfn "$(realpath "$2")" "$(wine_port_link COM5)"
    args+=(--port COM5)
    shift 2
    continue
  fi
  args+=("$1")
  shift
done
exec wine "$HEXLOADER_WINE_CLI" "${args[@]}"
