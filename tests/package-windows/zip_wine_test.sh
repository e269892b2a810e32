#!/usr/bin/env bash
# The portable zip: its file list, and a copy unpacked where the user may write, run under wine as it
# is, keeping its settings beside itself.
# Usage (under scripts/on-xvfb.sh): zip_wine_test.sh ZIP VERSION ANSWER_FIRST_RUN.exe SAMPLE.hex CMAKE
#   (HEXLOADER_PACKAGE_WINE_DIR in the environment)
set -uo pipefail
zip=$1
version=$2
answer_exe=$3
sample=$4
cmake=$5
source "$(dirname "$0")/package-env.sh"

echo "== the zip holds the two programs, the sample and the texts in one folder"
top="hexloader-$version-win64"
expected="$top/hexloader.exe
$top/hexloader-cli.exe
$top/README.txt
$top/copyright.txt
$top/samples/blink.hex"
listed=$("$cmake" -E tar tf "$zip" 2>&1)
[ "$listed" = "$expected" ] || fail "the zip lists:
$listed"

# Unpacked on a "stick" whose folder names are Cyrillic.
copy="$work/флешка/$top"
mkdir -p "$work/флешка"
(cd "$work/флешка" && "$cmake" -E tar xf "$zip") || fail "the zip does not unpack"
for text in README.txt copyright.txt; do
  # UTF-8 with its byte order mark and Windows line ends, for Notepad.
  [ "$(head -c 3 "$copy/$text" | od -An -tx1 | tr -d ' ')" = "efbbbf" ] || fail "$text has no UTF-8 byte order mark"
  grep -q $'[^\r]$' "$copy/$text" && fail "$text has lines without CR LF"
done
head -c 200 "$copy/README.txt" | grep -q "для Windows" || fail "README.txt is not the Windows users' read-me"

start_wine
echo "== the unpacked programs run as they are"
printed=$(wine "$copy/hexloader-cli.exe" --version </dev/null 2>&1 | tr -d '\r')
[ "$printed" = "hexloader-cli $version" ] || fail "hexloader-cli --version printed '$printed'"

echo "== the unpacked window keeps its settings beside itself"
roaming=$(linux_path "$(windows_variable APPDATA)\\hexloader")
[ -n "$roaming" ] || { echo "the prefix did not name its AppData folder"; exit 1; }
rm -rf "$roaming"
first_start "$(windows_path "$copy/hexloader.exe")" "$(windows_path "$copy/samples/blink.hex")" "$copy/hexloader.ini" ||
  fail "the window's first start wrote no hexloader.ini beside itself"
[ "$(ini_text "$copy/hexloader.ini" 2>/dev/null)" = "[FileName]
Name=$(windows_path "$copy/samples/blink.hex")" ] || fail "the settings file holds: $(ini_text "$copy/hexloader.ini" 2>/dev/null)"
[ -e "$roaming" ] && fail "the portable copy wrote into $roaming"

finish_checks
