#!/usr/bin/env bash
# Gathers what the Windows setup and the portable zip ship, laid out as they ship it:
#   hexloader.exe, hexloader-cli.exe (stripped of their debug information), README.txt (the Windows
#   users' read-me, docs/windows-readme.ru.md), copyright.txt, samples/blink.hex
# The texts get Windows line ends and a UTF-8 byte order mark, so that every Windows editor shows the
# Cyrillic.
# Usage: make-dist.sh DIST STRIP SOURCE_DIR HEXLOADER_EXE HEXLOADER_CLI_EXE
set -euo pipefail
dist=$1 strip=$2 source=$3 window=$4 cli=$5

rm -rf "$dist"
mkdir -p "$dist/samples"
"$strip" -o "$dist/hexloader.exe" "$window"
"$strip" -o "$dist/hexloader-cli.exe" "$cli"
windows_text() { { printf '\xEF\xBB\xBF'; sed 's/\r*$/\r/' "$1"; } > "$2"; }
windows_text "$source/docs/windows-readme.ru.md" "$dist/README.txt"
windows_text "$source/packaging/copyright" "$dist/copyright.txt"
cp "$source/samples/blink.hex" "$dist/samples/blink.hex"
