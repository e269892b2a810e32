#!/usr/bin/env bash
# hexloader-cli.exe under wine, what the Linux upload tests cannot see: the ports it lists, the
# converter on a HEX file in a Cyrillic folder (byte for byte as the Linux tool makes it), and the
# modem lines an upload leaves (DTR and RTS off, as the preloaded modem-line library records them).
# The help as Windows users read it, and a conversion error naming the file and the line.
# Usage: cli_wine_test.sh CLI_EXE LINUX_BUILD   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
cli_exe=$1
linux_build=$2
source "$(dirname "$0")/wine-env.sh"
source "$(dirname "$0")/check-lib.sh"

work=$(mktemp -d)
sim_pid=""
cleanup() {
  stop_process "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT
# The device ends by itself at the end frame (--once) or when it hangs up; it is stopped otherwise.
stop_sim() {
  for _ in $(seq 50); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null
  sim_pid=""
}

echo "== ports lists the prefix's COM ports in menu order"
if ! ports=$(wine "$cli_exe" ports); then fail "ports exited with $?"; fi
expected="COM1 $HEXLOADER_WINE_PORTS"
[ "$(echo $ports)" = "$expected" ] || fail "ports printed '$(echo $ports)', expected '$expected'"

echo "== the help speaks Windows: COM ports, Ctrl+C and Ctrl+Break, no port groups; /? shows it"
help=$(wine "$cli_exe" --help 2>&1 | tr -d '\r') || fail "--help exited with $?"
for said in "--port COM3" "a COM name, such as COM3" "Ctrl+C or Ctrl+Break" "/? show this help"; do
  grep -qF -- "$said" <<<"$help" || fail "the help does not say '$said'"
done
for unsaid in /dev ttyUSB SIGINT SIGTERM group; do
  grep -qF -- "$unsaid" <<<"$help" && fail "the help says '$unsaid': $(grep -F -- "$unsaid" <<<"$help")"
done
[ "$(wine "$cli_exe" '/?' 2>&1 | tr -d '\r')" = "$help" ] || fail "/? does not show the help"
wine "$cli_exe" upload '/?' 2>&1 | tr -d '\r' | head -n 1 | grep -q '^hexloader-cli upload --port DEVICE' ||
  fail "upload /? does not show the upload command's help"

echo "== a conversion error names the file and the line"
printf ':0100000001FE\r\n:02001000ZZ01ED\r\n' > "$work/bad.hex"
(cd "$work" && wine "$cli_exe" convert bad.hex > bad.out 2> bad.err)
status=$?
[ "$status" -eq 1 ] || fail "convert of a bad file exited with $status"
[ "$(tr -d '\r' < "$work/bad.err")" = "bad.hex:2: '\$ZZ' is not a valid integer value." ] ||
  fail "conversion error: '$(cat "$work/bad.err")'"

echo "== convert in a Cyrillic folder gives the Linux converter's image"
folder="$work/прошивки для прибора"
mkdir -p "$folder/windows" "$folder/linux"
cp "$(dirname "$0")/../image/data/counter_stm8.hex" "$folder/счётчик.hex"
(cd "$folder/windows" && wine "$cli_exe" convert "$folder/счётчик.hex" > out.txt 2> err.txt) || fail "convert exited with $?: $(cat "$folder/windows/err.txt")"
(cd "$folder/linux" && "$linux_build/bin/hexloader-cli" convert "$folder/счётчик.hex" > out.txt)
[ "$(cat "$folder/windows/out.txt")" = "счётчик.BIN" ] || fail "convert printed '$(cat "$folder/windows/out.txt")'"
cmp "$folder/windows/счётчик.BIN" "$folder/linux/счётчик.BIN" || fail "the images differ"

echo "== a missing HEX file is named as Windows names it, with the system's text"
(cd "$work" && wine "$cli_exe" upload --port COM5 none.hex > missing.out 2> missing.err)
status=$?
[ "$status" -eq 1 ] || fail "upload of a missing file exited with $status"
expected="hexloader-cli: Cannot open file \"$(wine winepath -w "$work/none.hex" 2>/dev/null)\". File not found."
[ "$(cat "$work/missing.err")" = "$expected" ] || fail "missing file: '$(cat "$work/missing.err")', expected '$expected'"

echo "== a device that goes away mid-upload ends it with status 1 and one message"
head -c 1024 /dev/zero | tr '\0' 'U' > "$work/lost.bin"
srec_cat "$work/lost.bin" -binary -o "$work/lost.hex" -intel -obs=32
"$linux_build/bin/hexloader-sim" --hello-delay 0 --log none --hangup-at 3 --link "$(wine_port_link COM5)" \
  > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
(cd "$work" && wine "$cli_exe" upload --port COM5 --timeout 10 lost.hex > lost.out 2> lost.err)
status=$?
stop_sim
[ "$status" -eq 1 ] || fail "lost device: status $status: $(cat "$work/lost.err")"
[ "$(grep -c '^hexloader-cli: ' "$work/lost.err")" -eq 1 ] || fail "lost device: not one message: $(cat "$work/lost.err")"
grep -Eq '^hexloader-cli: .*\([0-9]+\), .+' "$work/lost.err" || fail "lost device: no system text: $(cat "$work/lost.err")"

echo "== an upload leaves DTR and RTS off"
export HEXLOADER_MODEM_LOG="$work/modem.log"
printf ':20000000000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F F0\n:00000001FF\n' \
  | tr -d ' ' > "$work/fw.hex"
"$linux_build/bin/hexloader-sim" --once --hello-delay 0 --log none --link "$(wine_port_link COM5)" \
  --memory "$work/memory.bin" > "$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
(cd "$work" && wine "$cli_exe" upload --port COM5 --timeout 10 fw.hex > upload.out 2> upload.err) ||
  fail "upload exited with $?: $(cat "$work/upload.err")"
stop_sim
cmp -n 32 "$work/memory.bin" "$work/fw.BIN" || fail "the device's memory differs from the image"
[ "$(tail -n 1 "$work/modem.log" 2>/dev/null)" = "DTR=0 RTS=0" ] ||
  fail "modem lines at the end: '$(tail -n 1 "$work/modem.log" 2>/dev/null)'"

finish_checks
