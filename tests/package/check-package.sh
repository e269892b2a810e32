#!/usr/bin/env bash
# Checks the Debian package that `make package` left in BUILD_DIR: its name and version, its file
# list, its dependencies, lintian, the menu entry, the manual pages, and the programs extracted
# from it. Usage: check-package.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
fail() { echo "check-package: $*" >&2; exit 1; }

shopt -s nullglob
debs=("$build"/hexloader_*.deb)
[[ ${#debs[@]} == 1 ]] || fail "expected one hexloader_*.deb in $build, found ${#debs[@]}"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "hexloader_${version}_${arch}.deb" ]] || fail "$(basename "$deb") is not named hexloader_${version}_${arch}.deb"
echo "package: $(basename "$deb")"

# --- file list: exactly these files, nothing else ---
expected=(
  usr/bin/hexloader usr/bin/hexloader-cli usr/bin/hexloader-sim
  usr/share/applications/hexloader.desktop
  usr/share/bash-completion/completions/hexloader-cli
  usr/share/doc/hexloader/changelog.gz usr/share/doc/hexloader/copyright
  usr/share/doc/hexloader/examples/blink.hex
  usr/share/icons/hicolor/scalable/apps/hexloader.svg
  usr/share/man/man1/hexloader.1.gz usr/share/man/man1/hexloader-cli.1.gz usr/share/man/man1/hexloader-sim.1.gz
)
for size in 16 24 32 48 64 128 256; do expected+=("usr/share/icons/hicolor/${size}x${size}/apps/hexloader.png"); done
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' | LC_ALL=C sort)
want=$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)
diff <(echo "$want") <(echo "$actual") >&2 || fail "file list differs (< expected, > in the package)"
# Nothing owned by anyone but root, nothing writable by others.
if dpkg-deb -c "$deb" | awk '$2 != "root/root" || $1 ~ /^.{8}w/' | grep .; then fail "bad owner or mode"; fi

# --- dependencies: computed from the binaries, plus the font the window asks for by name ---
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libjpeg62-turbo libc6 libodbc2 fonts-dejavu-core; do
  [[ $depends == *"$d"* ]] || fail "Depends lacks $d: $depends"
done

# --- lintian: no errors; warnings and notes are shown ---
lintian_out=$(lintian --pedantic --display-info "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[[ -n $lintian_out ]] && echo "$lintian_out"
! grep -q '^E:' <<<"$lintian_out" || fail "lintian reports errors"

# --- the extracted package ---
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

desktop-file-validate "$root/usr/share/applications/hexloader.desktop" || fail "desktop entry does not validate"
grep -qx 'Exec=hexloader' "$root/usr/share/applications/hexloader.desktop" || fail "desktop entry does not start hexloader"
grep -qx 'Name=Кварсел - Загрузчик' "$root/usr/share/applications/hexloader.desktop" || fail "desktop entry's name is not the window's title"
for size in 16 24 32 48 64 128 256; do
  file "$root/usr/share/icons/hicolor/${size}x${size}/apps/hexloader.png" | grep -q "PNG image data, $size x $size" ||
    fail "the ${size}x${size} icon is not a $size x $size PNG"
done

for program in hexloader hexloader-cli hexloader-sim; do
  if ldd "$root/usr/bin/$program" | grep 'not found'; then fail "$program needs a library that is missing"; fi
done
[[ $("$root/usr/bin/hexloader-cli" --version) == "hexloader-cli $version" ]] || fail "hexloader-cli --version is not $version"
[[ $("$root/usr/bin/hexloader-sim" --version) == "hexloader-sim $version" ]] || fail "hexloader-sim --version is not $version"
help=$("$root/usr/bin/hexloader-cli" --help) || fail "hexloader-cli --help failed"
for command in convert upload ports; do
  grep -q "^  $command " <<<"$help" || fail "hexloader-cli --help does not list $command"
done

# The manual pages render without warnings and hold the sections a reader looks for.
for page in hexloader hexloader-cli hexloader-sim; do
  file=$root/usr/share/man/man1/$page.1.gz
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$page.1: $warnings"
  text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null)
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
    grep -qx "$section" <<<"$text" || fail "$page.1 has no $section section"
  done
  grep -q "$version" <<<"$text" || fail "$page.1 does not name version $version"
done
for page in hexloader-cli hexloader-sim; do
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>/dev/null | grep -qx OPTIONS ||
    fail "$page.1 has no OPTIONS section"
done
LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/hexloader.1.gz" 2>/dev/null |
  grep -q 'XDG_CONFIG_HOME/hexloader/hexloader.ini' || fail "hexloader.1 does not tell where the settings live"

# The completion as installed, against the programs as installed.
bash "$here/completion_test.sh" "$root/usr/bin" "$root/usr/share/bash-completion/completions/hexloader-cli"
echo "check-package: all checks pass"
