# Sourced by the tests of the Windows setup and zip. They run in a wine prefix of their own, apart from
# the other wine tests' one: the window needs its test's Xvfb display from the session's first program
# on (wine's desktop process keeps the display it started with), and installing and uninstalling must
# meet nothing of the other tests.
# $HEXLOADER_PACKAGE_WINE_DIR is the folder of that prefix inside the Windows build folder.
: "${HEXLOADER_PACKAGE_WINE_DIR:?}"
export WINEPREFIX="$HEXLOADER_PACKAGE_WINE_DIR/prefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No .NET or HTML engine offered when the prefix is made; no host menu entries for the shortcuts made.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
source "$(dirname "${BASH_SOURCE[0]}")/../wine/check-lib.sh"

# Makes the prefix once (about ten seconds) and starts this test's wine session on its display.
start_wine() {
  if [ ! -f "$WINEPREFIX/.hexloader-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$HEXLOADER_PACKAGE_WINE_DIR"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.hexloader-ready"
  fi
  wine cmd /c exit </dev/null >/dev/null 2>&1
}

# Ends the session with every program still running in it (the next test starts on another display).
stop_wine() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

# The test's scratch folder, and the session ended with it, however the test ends.
work=$(mktemp -d)
cleanup() {
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT

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
