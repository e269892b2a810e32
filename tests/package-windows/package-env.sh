# Sourced by the tests of the Windows setup and zip. They run in a wine prefix of their own, apart from
# the other wine tests' one: the window needs its test's Xvfb display from the session's first program
# on (wine's desktop process keeps the display it started with), and installing and uninstalling must
# meet nothing of the other tests.
# $HEXLOADER_PACKAGE_WINE_DIR is the folder of that prefix inside the Windows build folder;
# $HEXLOADER_MODEM_LINES_LIB, when set, the modem-line library of the wine harness (tests/wine), for
# the installed programs' uploads through COM6.
: "${HEXLOADER_PACKAGE_WINE_DIR:?}"
export WINEPREFIX="$HEXLOADER_PACKAGE_WINE_DIR/prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No .NET or HTML engine offered when the prefix is made; no host menu entries for the shortcuts made.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
if [ -n "${HEXLOADER_MODEM_LINES_LIB:-}" ]; then
  export LD_PRELOAD="$HEXLOADER_MODEM_LINES_LIB${LD_PRELOAD:+:$LD_PRELOAD}"
fi
source "$(dirname "${BASH_SOURCE[0]}")/../wine/check-lib.sh"

# The prefix's COM6 leads to this link, which a test points at a simulated device's pseudo-terminal.
package_port=COM6
package_port_link="$HEXLOADER_PACKAGE_WINE_DIR/ttyCOM6"

# Makes the prefix once (about ten seconds) and starts this test's wine session on its display.
start_wine() {
  if [ ! -f "$WINEPREFIX/.hexloader-ready-2" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$HEXLOADER_PACKAGE_WINE_DIR"
    wineboot -i </dev/null >/dev/null 2>&1
    wine reg add 'HKLM\Software\Wine\Ports' /v "$package_port" /d "$package_port_link" /f </dev/null >/dev/null 2>&1
    # The device manager reads the port mapping when it starts: the next session has the port.
    wineserver -k 2>/dev/null
    wineserver -w
    touch "$WINEPREFIX/.hexloader-ready-2"
  fi
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Ends the session with every program still running in it (the next test starts on another display).
stop_wine() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

# The test's scratch folder, and the session and the simulated device ended with it, however the test
# ends; a folder made immutable (make_immutable) is given back first.
work=$(mktemp -d)
device_pid=""
immutable=""
cleanup() {
  [ -n "$immutable" ] && chattr -i "$immutable" 2>/dev/null
  stop_process "$device_pid"
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT

# The Linux programs of $HEXLOADER_HOST_BUILD (the simulated device, the converter for the reference
# image) and the Windows helpers named by $HEXLOADER_WINDOW_DRIVER and $HEXLOADER_FILE_FACTS.
host_sim="${HEXLOADER_HOST_BUILD:-}/bin/hexloader-sim"
host_cli="${HEXLOADER_HOST_BUILD:-}/bin/hexloader-cli"

# start_device MEMORY [OPTION...]: a simulated device behind COM6 that writes what it received into
# MEMORY (a Linux path) once the end frame came, then ends.
start_device() {
  local memory=$1
  shift
  stop_process "$device_pid"
  rm -f "$package_port_link" "$memory"
  "$host_sim" --link "$package_port_link" --memory "$memory" --once "$@" </dev/null >/dev/null 2>>"$work/sim.log" &
  device_pid=$!
  for _ in $(seq 100); do [ -L "$package_port_link" ] && return 0; sleep 0.05; done
  echo "the simulated device did not start: $(cat "$work/sim.log")"
  return 1
}

# drive STEP...: window_driver.exe's steps (tests/wine/window_driver.cpp) on the installed window.
drive() { wine "$HEXLOADER_WINDOW_DRIVER" "$@" </dev/null; }

# The image the Linux converter makes of HEX (a Linux path), for comparing with what a device got.
reference_image() {
  mkdir -p "$work/reference"
  (cd "$work/reference" && "$host_cli" convert "$1" >/dev/null) || return 1
  echo "$work/reference/$(basename "${1%.*}").BIN"
}

# same_start IMAGE MEMORY: the device's memory begins with the image (it fills the last frame up).
same_start() { [ -s "$1" ] && [ -s "$2" ] && cmp -s -n "$(stat -c %s "$1")" "$1" "$2"; }

# make_immutable FOLDER: nobody may make or remove a file in FOLDER, root included (wine runs as root,
# which mode bits do not stop), until the test ends. False when this file system or this process
# cannot do that (chattr +i needs CAP_LINUX_IMMUTABLE and ext4, xfs or btrfs).
make_immutable() {
  chattr +i "$1" 2>/dev/null || return 1
  immutable=$1
  if touch "$1/.probe" 2>/dev/null; then
    rm -f "$1/.probe"
    return 1
  fi
}
make_mutable() {
  chattr -i "$1" 2>/dev/null
  immutable=""
}

# file_facts FILE: what Windows reads from a program file, "key=value" lines (file_facts.cpp).
file_facts() { wine "$HEXLOADER_FILE_FACTS" "$1" </dev/null 2>/dev/null | tr -d '\r'; }

# The value of a Windows environment variable in the prefix.
windows_variable() { wine cmd /c echo "%$1%" </dev/null 2>/dev/null | tr -d '\r'; }
# A Windows path as a Linux path, and back.
linux_path() { wine winepath -u "$1" </dev/null 2>/dev/null; }
windows_path() { wine winepath -w "$1" </dev/null 2>/dev/null; }

# first_start EXE HEX SETTINGS: starts the window EXE (a Windows path) as an operator does the first time:
# picks HEX (a Windows path) in the open dialog and confirms the notice that no port is chosen, then
# waits until the settings file SETTINGS (a Linux path) holds the file, and ends the window. Needs
# $answer_exe, the helper that plays the operator. Fails when the window did not get that far.
first_start() {
  wine "$1" </dev/null >/dev/null 2>&1 &
  local window=$! status=0
  wine "$answer_exe" "$2" 30 </dev/null || status=1
  for _ in $(seq 100); do [ -f "$3" ] && break; sleep 0.1; done
  [ -f "$3" ] || status=1
  stop_process "$window"
  return $status
}

# The INI file's text as UTF-8 (a new one is UTF-16 with its byte order mark), with Linux line ends.
ini_text() { iconv -f UTF-16 -t UTF-8 "$1" | tr -d '\r'; }
