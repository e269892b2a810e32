#!/usr/bin/env bash
# Rebuilds samples/blink.hex from blink.c with SDCC (Debian package sdcc). Only needed after changing
# blink.c: the HEX file is committed, so the demo and CI never need the compiler.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v sdcc >/dev/null || { echo "build-sample.sh: sdcc is not installed (apt-get install sdcc)" >&2; exit 1; }
sdcc -mmcs51 --code-loc 0x0000 -o "$work/" "$here/blink.c"
cp "$work/blink.ihx" "$here/blink.hex"
echo "wrote $here/blink.hex"
