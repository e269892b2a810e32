#!/usr/bin/env bash
# Speed and memory of the converter, against references measured in the same run on the same files.
#  1. An 8 MiB random image as 16-byte records with extended linear address records (made by objcopy):
#     hexloader-cli convert against objcopy and srec_cat. Goal: at least 2x as fast as the faster of them.
#  2. A 128 MiB gap (extended linear address 0x0800, then one data record): hexloader-cli convert against
#     head -c writing as many bytes. Goal: within 1.5x of it, peak resident memory under 16 MiB.
# Times are the best of several runs (wall clock); memory is /usr/bin/time's peak RSS.
# Usage: run.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: run.sh BUILD_DIR}")
cli="$build/bin/hexloader-cli"
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
for tool in objcopy srec_cat head /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
runs=${BENCH_RUNS:-5}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

now_ns() { date +%s%N; }

# best_ms CLEANUP COMMAND...: the fastest of $runs runs in ms; CLEANUP runs before each, untimed.
best_ms() {
  local cleanup=$1; shift
  local best=""
  for _ in $(seq "$runs"); do
    eval "$cleanup"
    sync
    local t0 t1
    t0=$(now_ns)
    "$@" >/dev/null
    t1=$(now_ns)
    local ms=$(( (t1 - t0) / 1000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

# peak_kib COMMAND...: peak resident memory of one run in KiB.
peak_kib() {
  /usr/bin/time -f %M -o peak.txt "$@" >/dev/null
  cat peak.txt
}


# ---- 1. 8 MiB of random data as 16-byte records ----
head -c $((8 << 20)) /dev/urandom > random.bin
objcopy -I binary -O ihex random.bin random.hex
records=$(grep -c '^:10' random.hex)

ours=$(best_ms 'rm -f random.BIN random.BAK' "$cli" convert random.hex)
objcopy_ms=$(best_ms 'rm -f objcopy.bin' objcopy -I ihex -O binary --gap-fill 0xff random.hex objcopy.bin)
srec_ms=$(best_ms 'rm -f srec.bin' srec_cat random.hex -intel -fill 0xFF 0x0000 -maximum-address random.hex -intel \
  -o srec.bin -binary)
cmp -s random.BIN random.bin && cmp -s objcopy.bin random.bin && cmp -s srec.bin random.bin ||
  { echo "the three images differ from the data" >&2; exit 1; }
ours_kib=$(peak_kib "$cli" convert random.hex)

echo "8 MiB random image, $records records of 16 bytes, extended linear addresses (best of $runs):"
printf '  %-24s %9s ms   peak RSS %s KiB\n' "hexloader-cli convert" "$ours" "$ours_kib"
printf '  %-24s %9s ms\n' "objcopy --gap-fill 0xff" "$objcopy_ms" "srec_cat -fill 0xFF" "$srec_ms"
awk -v o="$ours" -v a="$objcopy_ms" -v s="$srec_ms" 'BEGIN {
  ref = (a < s) ? a : s; name = (a < s) ? "objcopy" : "srec_cat";
  r = ref / o;
  printf "  speed-up over the faster reference (%s): %.1fx   (goal >= 2x: %s)\n", name, r, (r >= 2) ? "met" : "MISSED";
  printf "  speed-up over objcopy %.1fx, over srec_cat %.1fx\n", a / o, s / o }'

# ---- 2. a 128 MiB gap ----
gap_bytes=$(( (128 << 20) + 16 ))
printf ':020000040800F2\n:10000000000102030405060708090A0B0C0D0E0F78\n:00000001FF\n' > gap.hex
ours=$(best_ms 'rm -f gap.BIN gap.BAK' "$cli" convert gap.hex)
[ "$(stat -c %s gap.BIN)" -eq "$gap_bytes" ] || { echo "gap image has the wrong size" >&2; exit 1; }
head_ms=$(best_ms 'rm -f head.bin' sh -c "head -c $gap_bytes /dev/zero > head.bin")
rm -f gap.BIN gap.BAK
ours_kib=$(peak_kib "$cli" convert gap.hex)
head_kib=$(peak_kib sh -c "head -c $gap_bytes /dev/zero > head.bin")

echo "128 MiB gap before one 16-byte record, $gap_bytes bytes written (best of $runs):"
printf '  %-24s %9s ms   peak RSS %s KiB\n' "hexloader-cli convert" "$ours" "$ours_kib" "head -c (same bytes)" \
  "$head_ms" "$head_kib"
awk -v o="$ours" -v h="$head_ms" -v kib="$ours_kib" 'BEGIN {
  r = o / h;
  printf "  time against head -c: %.2fx   (goal <= 1.5x: %s)\n", r, (r <= 1.5) ? "met" : "MISSED";
  printf "  peak RSS %.1f MiB   (goal < 16 MiB: %s)\n", kib / 1024, (kib < 16 * 1024) ? "met" : "MISSED" }'
