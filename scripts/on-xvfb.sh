#!/usr/bin/env bash
# Runs a command on a private Xvfb display (1024x768, 24 bits) and stops the display afterwards; the
# command's status is the script's. Xvfb chooses a free display number itself (-displayfd), so runs
# started at the same moment never take the same one, as xvfb-run's guess (-a) can. The display
# listens on its local socket only; it needs no cookie.
# Usage: on-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: on-xvfb.sh COMMAND [ARGS...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }

dir=$(mktemp -d "${TMPDIR:-/tmp}/on-xvfb.XXXXXX")
xvfb=""
cleanup() {
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mkfifo "$dir/display"
Xvfb -displayfd 3 -nolisten tcp -ac -screen 0 1024x768x24 3>"$dir/display" >"$dir/log" 2>&1 &
xvfb=$!
number=""
read -r -t 30 number <"$dir/display" || true
if [ -z "$number" ]; then
  echo "on-xvfb.sh: Xvfb did not start:" >&2
  cat "$dir/log" >&2
  exit 1
fi
export DISPLAY=":$number"
unset XAUTHORITY
status=0
"$@" || status=$?
exit "$status"
