# Sourced by the wine test scripts: what every one of them does the same way.

# A failed check is counted and the script goes on, so that one run names every fault.
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# Ends the script with the verdict of its checks.
finish_checks() {
  [ "$failures" -eq 0 ] && echo "all passed"
  exit $((failures > 0))
}

# Ends a background process the script started, when it still runs.
stop_process() {
  if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then kill "$1"; wait "$1" 2>/dev/null; fi
}

# random_image BYTES BIN HEX: BYTES random bytes in BIN, and the same as Intel HEX in HEX.
random_image() {
  head -c "$1" /dev/urandom > "$2"
  srec_cat "$2" -binary -o "$3" -intel -obs=32
}
