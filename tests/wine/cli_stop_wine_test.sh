#!/usr/bin/env bash
# Ctrl+C twice during a two-port --repeat run of hexloader-cli.exe under wine. Wine turns SIGINT to
# the process into the console's Ctrl+C event, which reaches the program's console handler as a
# keyboard Ctrl+C does. The first asks for a clean stop, the second abandons the uploads under way: the
# program must then end by itself, print its summary and leave one record for every board it finished.
# Usage: cli_stop_wine_test.sh CLI_EXE LINUX_BUILD   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
cli_exe=$1
linux_build=$2
source "$(dirname "$0")/wine-env.sh"
source "$(dirname "$0")/check-lib.sh"

work=$(mktemp -d)
sim_pid=""
cli_pid=""
cleanup() {
  [ -n "$cli_pid" ] && kill -9 "$cli_pid" 2>/dev/null
  stop_process "$sim_pid"
  rm -f "$(wine_port_link COM5)" "$(wine_port_link COM7)"
  rm -rf "$work"
}
trap cleanup EXIT

# 2 KiB at the real line rate: about 1.3 s per board, so that uploads are under way when asked to stop.
random_image 2048 "$work/image.bin" "$work/fw.hex"
"$linux_build/bin/hexloader-sim" --devices 2 --boards 100 --hello-delay 100 --bit-rate 19200 --log none \
  --link "$work/dev" > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ "$(wc -l < "$work/sim.out")" -ge 2 ] && break; sleep 0.05; done
ln -sfn "$work/dev-1" "$(wine_port_link COM5)"
ln -sfn "$work/dev-2" "$(wine_port_link COM7)"

(cd "$work" && exec wine "$cli_exe" upload --port COM5 --port COM7 --repeat --log record.jsonl fw.hex \
  > "$work/out.txt" 2> "$work/err.txt") &
cli_pid=$!
# Ask once a few boards are done, and again while the next uploads run.
for _ in $(seq 200); do [ "$({ wc -l < "$work/record.jsonl"; } 2>/dev/null || echo 0)" -ge 2 ] && break; sleep 0.05; done
sleep 0.4
kill -INT "$cli_pid"
sleep 0.3
kill -INT "$cli_pid"
for _ in $(seq 100); do kill -0 "$cli_pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$cli_pid" 2>/dev/null; then
  fail "still running 5 s after the second request"
else
  wait "$cli_pid"
  status=$?
  cli_pid=""
  # An abandoned upload makes the run's status 1; a status above 128 would be a death by the signal.
  [ "$status" -eq 1 ] || fail "status $status: $(cat "$work/err.txt")"
fi
grep -q 'ask again to abandon' "$work/out.txt" "$work/err.txt" || fail "the first request was not acknowledged"
grep -qi 'summary\|uploads' "$work/out.txt" || fail "no summary: $(cat "$work/out.txt")"
ok_boards=$(grep -c '"result":"ok"' "$work/record.jsonl")
[ "$ok_boards" -ge 2 ] || fail "only $ok_boards finished boards recorded"
grep -q '"result":"interrupted"' "$work/record.jsonl" || fail "no abandoned upload recorded: $(cat "$work/record.jsonl")"
echo "out: $(cat "$work/out.txt")"
echo "record: $(cat "$work/record.jsonl")"

finish_checks
