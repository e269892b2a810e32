#!/usr/bin/env bash
# Serial component turnaround over a pseudo-terminal, printed as ratios against a plain blocking
# read/write loop measured in the same run, and CPU use of an idle open port.
# Usage: run.sh BUILD_DIR [EXCHANGES]
set -euo pipefail
build=$(realpath "${1:?usage: run.sh BUILD_DIR [EXCHANGES]}")
bench="$build/bin/serial_roundtrip_bench"
[ -x "$bench" ] || { echo "no $bench: build first" >&2; exit 1; }
"$bench" "${2:-3000}"
