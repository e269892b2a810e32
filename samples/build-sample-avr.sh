#!/usr/bin/env bash
# Rebuilds samples/blink-avr.hex from blink-avr.c with avr-gcc (Debian packages gcc-avr, avr-libc). Only
# needed after changing blink-avr.c: the HEX file is committed, so the demo never needs the compiler.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
command -v avr-gcc >/dev/null || { echo "build-sample-avr.sh: avr-gcc is not installed (apt-get install gcc-avr avr-libc)" >&2; exit 1; }
avr-gcc -mmcu=atmega328p -DF_CPU=16000000UL -Os -Wall -Wextra -o "$work/blink-avr.elf" "$here/blink-avr.c"
avr-objcopy -O ihex -j .text -j .data "$work/blink-avr.elf" "$here/blink-avr.hex"
echo "wrote $here/blink-avr.hex"
