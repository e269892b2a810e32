#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the demos need.
# Does nothing when all of them are already present; needs root (or sudo) otherwise.
set -euo pipefail

PACKAGES=(
  # toolchain and build
  build-essential cmake make pkg-config
  nettle-dev nlohmann-json3-dev      # SHA-256 and JSON for the command line's upload record
  unixodbc-dev                      # ODBC: the record store a line of stations shares
  clang libclang-rt-14-dev          # libFuzzer and the sanitizer runtimes for clang
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev
  ser2net                           # a device server on the loopback for the network ports' tests
  srecord binutils time             # independent converters, peak-memory measurement
  postgresql odbc-postgresql        # a real database server and its ODBC driver for the store's tests
  # GUI
  qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg-dev
  libxcb1-dev                       # the window's empty title on X11
  qt6-translations-l10n             # Qt's own dialogs and buttons in Russian
  fonts-dejavu-core                 # a sans-serif font with Cyrillic glyphs
  xvfb xauth x11-apps x11-utils imagemagick   # screenshots of the real window; xprop
  openbox                           # a window manager framing the windows in their tests
  # the 8051 device program and the instruction-level 8051 simulator its tests run it in
  sdcc sdcc-ucsim
  # the AVR bootloader (ATmega328P) and the instruction-level AVR simulator its tests run it in
  gcc-avr avr-libc libsimavr-dev libelf-dev   # simavr as a library, linked into hexloader-sim
  # the Debian package and its checks
  dpkg-dev help2man lintian desktop-file-utils file man-db bash-completion
  # Windows: the cross compiler and wine for the Windows build's tests
  g++-mingw-w64-x86-64-posix wine wine64
  fonts-wine                        # wine's own fonts: caption buttons (Marlett) and dialog text in the Win32 window
  nsis                              # makensis: the Windows setup program
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
