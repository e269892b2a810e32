#!/usr/bin/env bash
# Runs every fuzz target (BUILD_DIR/bin/*_fuzzer) for a short, bounded time, about 40 s in all (shared
# among the targets), and fails when one finds a crash. Usage: run.sh BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: run.sh BUILD_DIR}")
here=$(dirname "$(realpath "$0")")
total_seconds=${FUZZ_SECONDS:-40}

# Seeds and dictionary of each target, where it has them.
seeds_of() {
  case "$1" in
    hex_to_bin_fuzzer) echo "$here/../image/data" ;;
    rfc2217_fuzzer) echo "$here/rfc2217-seeds" ;;
  esac
}
dict_of() {
  case "$1" in
    hex_to_bin_fuzzer) echo "$here/hex.dict" ;;
    rfc2217_fuzzer) echo "$here/rfc2217.dict" ;;
  esac
}

shopt -s nullglob
targets=("$build"/bin/*_fuzzer)
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build/bin" >&2
  exit 1
fi
per_target=$(( total_seconds / ${#targets[@]} ))
[ "$per_target" -ge 5 ] || per_target=5

status=0
for target in "${targets[@]}"; do
  name=$(basename "$target")
  corpus=$(mktemp -d)
  artifacts="$build/fuzz-artifacts/$name"
  mkdir -p "$artifacts"
  args=(-max_total_time="$per_target" -max_len=4096 -timeout=20 -rss_limit_mb=2048 -print_final_stats=1
        -artifact_prefix="$artifacts/")
  dict=$(dict_of "$name")
  [ -n "$dict" ] && args+=(-dict="$dict")
  seeds=$(seeds_of "$name")
  dirs=("$corpus")
  [ -n "$seeds" ] && [ -d "$seeds" ] && dirs+=("$seeds")
  echo "== $name for ${per_target}s"
  if ! "$target" "${args[@]}" "${dirs[@]}" > "$corpus.log" 2>&1; then
    status=1
    tail -n 60 "$corpus.log"
    echo "$name FAILED (artifacts in $artifacts)"
  else
    grep -E '^(stat::number_of_executed_units|Done)' "$corpus.log" || true
  fi
  rm -rf "$corpus" "$corpus.log"
done
exit $status
