#!/usr/bin/env bash
# The real Win32 window under wine, driven by its test program (one wine start per case), with the
# simulated device each case needs behind the prefix's COM6. Needs an X display: it runs under
# scripts/on-xvfb.sh, each case on a wine virtual desktop of its own (wine-desktop-run.sh).
# Usage: win32_window_wine_test.sh TEST_EXE SIM   (HEXLOADER_WINE_DIR in the environment)
set -uo pipefail
test_exe=$1
sim=$2
source "$(dirname "$0")/wine-env.sh"
source "$(dirname "$0")/check-lib.sh"

port=COM6
link=$(wine_port_link "$port")
work=$(mktemp -d)
sim_pid=""
cleanup() {
  stop_process "$sim_pid"
  rm -rf "$work"
}
trap cleanup EXIT

export HEXLOADER_TEST_PORT=$port
HEXLOADER_TEST_MEMORY=$(wine winepath -w "$work/memory.bin" 2>/dev/null)
HEXLOADER_TEST_DEVICE_BACK=$(wine winepath -w "$work/device-back" 2>/dev/null)
export HEXLOADER_TEST_MEMORY HEXLOADER_TEST_DEVICE_BACK

# device ARGS...: becomes a simulated device behind the port (run it in a subshell of its own).
device() {
  rm -f "$link"
  exec "$sim" --hello-delay 0 --log short --link "$link" "$@" > /dev/null 2>> "$work/sim.log"
}
# A device that hangs the line up at frame 3 (and ends, taking its link along), then a plain one that
# writes its memory; the file device-back says when that one is behind the port.
hung_up_then_back() {
  ( device --hangup-at 3 ) &
  local current=$!
  trap 'kill "$current" 2>/dev/null; exit 0' TERM
  wait "$current"
  ( device --memory "$work/memory.bin" ) &
  current=$!
  wait_for_link && touch "$work/device-back"
  wait "$current"
}
wait_for_link() {
  for _ in $(seq 200); do [ -L "$link" ] && return 0; sleep 0.05; done
  echo "the simulated device did not start"
  return 1
}

# run_case CASE DEVICE_COMMAND...: one test case of the program with its device in the background.
run_case() {
  local name=$1
  shift
  rm -f "$work/memory.bin" "$work/sim.log" "$work/device-back"
  ( "$@" ) &  # the subshell becomes the device
  sim_pid=$!
  wait_for_link || { fail "$name: no device"; stop_process "$sim_pid"; return; }
  if ! "$(dirname "$0")/wine-desktop-run.sh" "$test_exe" --gtest_filter="Win32Window.$name"; then
    fail "$name"
    echo "== the device's log"
    cat "$work/sim.log"
  fi
  stop_process "$sim_pid"
  sim_pid=""
}

run_case FirstRunAsksForTheFileBeforeTheWindowWithThePortMessageOverTheDialog device
run_case FirstRunWithTheRealDialogsShowsThePortMessageOverTheOpenDialog device
run_case WholeUploadThroughThePortLeavesTheImageInTheDevice device --bit-rate 19200 --memory "$work/memory.bin"
run_case WrongReplyShowsTheNoticeAndResetsTheWindow device --wrong-reply-at 4
run_case SilentDeviceShowsTheNoticeAndTheNextStartWaitsForTheHello device --silent-from 5
run_case HungUpLineShowsOneBoxThenStartUploadsAgain hung_up_then_back
run_case ExitDuringAnUploadClosesTheWindowThePortAndTheImage device --silent-from 5
run_case TaskbarEntryCarriesTheTitleAndStandsForTheWindow device
run_case KeysRunTheCommandsAsTheButtonsDo device --silent-from 5

finish_checks
