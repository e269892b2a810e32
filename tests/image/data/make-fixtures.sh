#!/usr/bin/env bash
# Regenerates the HEX fixtures in this folder from the sources in src/, with the real toolchains that
# produce them: sdcc (8051 and STM8; its raw .ihx output goes backwards in address and ends with short
# records) and binutils objcopy (re-emitted with extended segment address records and a short final record).
# Needs: apt-get install sdcc binutils. Not run by the build; the fixtures are committed.
set -euo pipefail
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 8051: interrupt vectors, code and a const table in link order, records of 2 to 32 bytes.
sdcc -mmcs51 "$here/src/blink_mcs51.c" -o blink_mcs51.ihx
cp blink_mcs51.ihx "$here/blink_mcs51.hex"

# STM8 with its code placed just below 64 KiB, so that it runs past 0x10000: extended linear address
# records, and a table placed after them back below 0x10000.
sdcc -mstm8 --code-loc 0xFF80 "$here/src/counter_stm8.c" -o counter_stm8.ihx
cp counter_stm8.ihx "$here/counter_stm8.hex"

# The same image as objcopy writes it: ascending, 16-byte records, extended segment address records.
objcopy -I ihex -O ihex counter_stm8.ihx "$here/counter_stm8_objcopy.hex"

echo "fixtures written to $here"
