#!/usr/bin/env bash
# Runs every area's benchmark script (bench/<area>/run.sh BUILD_DIR) and fails when one fails.
set -uo pipefail
build=$(realpath "${1:-build-bench}")
here=$(dirname "$(realpath "$0")")
status=0
for script in "$here"/*/run.sh; do
  [ -f "$script" ] || continue
  echo "== $(basename "$(dirname "$script")")"
  bash "$script" "$build" || status=1
done
exit $status
