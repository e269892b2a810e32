#!/usr/bin/env bash
# hexloader-cli.exe upload under wine where a Windows user's paths are in Cyrillic: the HEX file and its
# folder, the temporary folder (%TEMP% under a user folder named in Cyrillic) and the record file; then
# the system's own error texts for a record path and a HEX file that cannot be opened.
# Usage: cli_paths_wine_test.sh CLI_EXE LINUX_BUILD HOLD_FILE_EXE   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
cli_exe=$1
linux_build=$2
hold_file_exe=$3
source "$(dirname "$0")/wine-env.sh"
source "$(dirname "$0")/check-lib.sh"

work=$(mktemp -d)
sim_pid=""
saved_temp=""
saved_type=""
cleanup() {
  stop_process "$sim_pid"
  [ -n "$saved_temp" ] && wine reg add 'HKCU\Environment' /v TEMP /t "$saved_type" /d "$saved_temp" /f > /dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

# A 600-byte image in HEX form, the same for every case.
random_image 600 "$work/image.bin" "$work/image.hex"

# upload_case NAME FOLDER HEX [OPTIONS...]: one upload against the simulated device on COM5, which must
# end with status 0 and the device's memory equal to the image.
upload_case() {
  local name=$1 folder=$2 hex=$3
  shift 3
  rm -f "$work/memory.bin" "$work/sim.out"
  "$linux_build/bin/hexloader-sim" --once --hello-delay 0 --log none --link "$(wine_port_link COM5)" \
    --memory "$work/memory.bin" > "$work/sim.out" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
  (cd "$folder" && wine "$cli_exe" upload --port COM5 --timeout 10 "$@" "$hex" > "$work/out.txt" 2> "$work/err.txt")
  local status=$?
  for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=""
  [ "$status" -eq 0 ] || fail "$name: status $status: $(cat "$work/err.txt")"
  cmp -s -n 600 "$work/memory.bin" "$work/image.bin" || fail "$name: the device's memory differs from the image"
}

echo "== a HEX file with a Cyrillic name in a Cyrillic folder"
folder="$work/прошивки Иван"
mkdir -p "$folder"
cp "$work/image.hex" "$folder/счётчик.hex"
upload_case "Cyrillic file" "$folder" "счётчик.hex"
upload_case "Cyrillic file, absolute" "$work" "$folder/счётчик.hex"

echo "== %TEMP% in a Cyrillic folder"
temp_folder="$work/Иван/Temp"
mkdir -p "$temp_folder"
# The prefix's own value, type and all, is put back afterwards (also when the test fails).
saved=$(wine reg query 'HKCU\Environment' /v TEMP 2>/dev/null | tr -d '\r' | sed -n 's/^[[:space:]]*TEMP[[:space:]]*\(REG_[A-Z_]*\)[[:space:]]*/\1 /p')
saved_type=${saved%% *}
saved_temp=${saved#* }
[ -n "$saved" ] || fail "Cyrillic TEMP: the prefix has no TEMP to restore"
wine reg add 'HKCU\Environment' /v TEMP /t REG_EXPAND_SZ /d "$(wine winepath -w "$temp_folder" 2>/dev/null)" /f > /dev/null 2>&1
upload_case "Cyrillic TEMP" "$folder" "счётчик.hex"
wine reg add 'HKCU\Environment' /v TEMP /t "$saved_type" /d "$saved_temp" /f > /dev/null 2>&1
saved_temp=""
[ -z "$(ls -A "$temp_folder")" ] || fail "Cyrillic TEMP: files left behind: $(ls -A "$temp_folder")"

echo "== a record file with a Cyrillic name"
upload_case "Cyrillic --log" "$folder" "счётчик.hex" --log "журнал прошивки.jsonl"
[ -f "$folder/журнал прошивки.jsonl" ] || fail "Cyrillic --log: no file of that name: $(ls "$folder")"
[ "$(wc -l < "$folder/журнал прошивки.jsonl" 2>/dev/null)" = 1 ] || fail "Cyrillic --log: not one line"
grep -q '^{.*}$' "$folder/журнал прошивки.jsonl" 2>/dev/null || fail "Cyrillic --log: not a JSON line"

echo "== the system's own texts for a record path that cannot be opened"
mkdir -p "$work/records"
# error_case NAME LOG_PATH EXPECTED_TEXT: the upload refuses before it opens the port.
error_case() {
  (cd "$folder" && wine "$cli_exe" upload --port COM5 --log "$2" "счётчик.hex" > "$work/out.txt" 2> "$work/err.txt")
  local status=$?
  [ "$status" -eq 1 ] || fail "$1: status $status"
  grep -q "^hexloader-cli: Cannot open file .*\. $3\$" "$work/err.txt" || fail "$1: '$(cat "$work/err.txt")', expected '$3'"
  ! grep -Eqi 'printer|paper|data is invalid' "$work/err.txt" || fail "$1: a wrong system text: $(cat "$work/err.txt")"
}
error_case "a folder" "$work/records" "Access denied."
error_case "a missing folder" "$work/nowhere/record.jsonl" "Path not found."
error_case "the NUL device" "NUL" "Not a regular file: upload records go to a regular file only."

echo "== the system's own text for a HEX file another program holds open without sharing"
coproc holder { wine "$hold_file_exe" "$folder/счётчик.hex"; }
read -r -t 20 held <&"${holder[0]}"
held=${held%$'\r'}
[ "$held" = held ] || fail "the helper did not hold the file"
(cd "$folder" && wine "$cli_exe" upload --port COM5 "счётчик.hex" > "$work/out.txt" 2> "$work/err.txt")
status=$?
exec {holder[1]}>&-
wait "$holder_PID" 2>/dev/null
[ "$status" -eq 1 ] || fail "a held file: status $status"
grep -q "^hexloader-cli: Cannot open file .*счётчик.hex\"\. Sharing violation\.\$" "$work/err.txt" ||
  fail "a held file: '$(cat "$work/err.txt")'"

finish_checks
