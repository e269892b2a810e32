#!/usr/bin/env bash
# Makes, on the Linux side, what the Windows converter tests compare with: srec_cat's image (0xFF fill
# from address 0) of each HEX fixture, and a large objcopy HEX file with its image.
# Usage: make-image-references.sh OUT_DIR FIXTURE_DIR
set -euo pipefail
out=$1
fixtures=$2
mkdir -p "$out"
reference() {  # HEX_FILE -> OUT_DIR/<stem>.bin
  local stem
  stem=$(basename "$1" .hex)
  srec_cat "$1" -intel -fill 0xFF 0x0000 -maximum-address "$1" -intel -o "$out/$stem.bin" -binary 2>/dev/null
}
for hex in "$fixtures"/*.hex; do reference "$hex"; done
# Above 1 MiB (extended linear address records), 16-byte records, a short final record.
seq 1 60000 > "$out/objcopy_large.seq"
head -c 300001 "$out/objcopy_large.seq" > "$out/objcopy_large.data"
objcopy -I binary -O ihex --change-addresses 0xF8000 "$out/objcopy_large.data" "$out/objcopy_large.hex"
reference "$out/objcopy_large.hex"
