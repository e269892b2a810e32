#!/usr/bin/env bash
# The production line's record stores: what taking a board's serial number and writing its record costs
# per board, in the record file (on the build's disk, each line forced to it) and in a PostgreSQL server
# on the loopback (started here as the tests start theirs, with fsync on, so that a commit waits for the
# disk as on a real server), against the reference measured in the same run: one upload record appended
# to the record file, what a board costs today. Medians of ROUNDS runs (3) of BOARDS boards (200).
# Usage: run.sh BUILD_DIR [ROUNDS] [BOARDS]
set -euo pipefail
shopt -s inherit_errexit
build=$(realpath "${1:?usage: run.sh BUILD_DIR [ROUNDS] [BOARDS]}")
rounds=${2:-3}
boards=${3:-200}
bench="$build/bin/store_bench"
[ -x "$bench" ] || { echo "no $bench: build first" >&2; exit 1; }
here=$(dirname "$(realpath "$0")")
server="$here/../../tests/production/postgres-server.sh"

work=$(mktemp -d -p "$build" store-bench-XXXXXX)
BENCH=store
source "$here/../bench-lib.sh"
# The server's folder where its unprivileged account can reach it.
pg=$(mktemp -d /tmp/hexloader-pg-bench-XXXXXX)
cleanup() { bash "$server" stop "$pg" >/dev/null 2>&1 || true; rm -rf "$work" "$pg"; }
trap cleanup EXIT

HEXLOADER_PG_FSYNC=on bash "$server" start "$pg" >/dev/null
# shellcheck disable=SC1091
source "$pg/env"
HEXLOADER_STORE_PASSWORD=$(cat "$pg/password")
export HEXLOADER_STORE_PASSWORD

record=(); file=(); db=()
for r in $(seq "$rounds"); do
  rm -f "$work/a.jsonl" "$work/b.jsonl"
  record+=("$("$bench" record "$work/a.jsonl" "$boards")")
  file+=("$("$bench" file "$work/b.jsonl" "$boards")")
  bash "$server" createdb "$pg" "bench$r"
  db+=("$("$bench" db "DSN=hexloader-test;Database=bench$r" "$boards")")
done
rs=$(printf '%s\n' "${record[@]}" | median)
fs=$(printf '%s\n' "${file[@]}" | median)
ds=$(printf '%s\n' "${db[@]}" | median)
awk -v rs="$rs" -v fs="$fs" -v ds="$ds" -v n="$boards" -v r="$rounds" 'BEGIN {
  printf "record stores: %d boards, median of %d\n", n, r
  printf "  record line alone (today):      %.3f ms a board\n", 1000 * rs / n
  printf "  record file, number + record:   %.3f ms a board; ratio = %.2f\n", 1000 * fs / n, fs / rs
  printf "  database, number + record:      %.3f ms a board; ratio = %.2f\n", 1000 * ds / n, ds / rs
  printf "  (taken while the port waits for the hello, off the frames: no goal here; the production\n"
  printf "   line benchmark times the ports with a store once the upload command takes numbers)\n"
}'
