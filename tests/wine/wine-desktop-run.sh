#!/usr/bin/env bash
# Runs a Windows GoogleTest program of the build under wine on a virtual desktop of its own, made on
# the current X display (run it under scripts/on-xvfb.sh). The session's own desktop was started by
# wine-setup.sh without a display, and windows cannot be made on it. The desktop's explorer does not
# pass the program's status on: the verdict is the program's XML report's.
# Usage: wine-desktop-run.sh TEST_EXE [ARGS...]   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
test_exe=$1
shift
source "$(dirname "$0")/wine-env.sh"

report_dir=$(mktemp -d)
report="$report_dir/report.xml"
# In a process group of its own: the desktop's explorer and the program it starts go together if
# this script is stopped (a test's time-out).
setsid wine explorer /desktop="hexloader-test-$$-$RANDOM,1024x768" \
  "$test_exe" "$@" --gtest_output="xml:$(wine winepath -w "$report" 2>/dev/null)" &
program=$!
trap 'kill -- -"$program" 2>/dev/null; rm -rf "$report_dir"' EXIT
trap 'exit 1' TERM INT
wait "$program"
# Every case ran and none failed.
grep -Eq '<testsuites tests="[1-9][0-9]*" failures="0" disabled="0" errors="0"' "$report" 2>/dev/null
