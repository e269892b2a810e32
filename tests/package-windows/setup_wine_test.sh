#!/usr/bin/env bash
# The Windows setup under wine, as an administrator deploying it would run it: silently into Program
# Files, then the installed programs, an update over the installation, and the silent uninstall.
# Usage (under xvfb-run): setup_wine_test.sh SETUP.exe VERSION ANSWER_FIRST_RUN.exe SAMPLE.hex
#   (HEXLOADER_PACKAGE_WINE_DIR in the environment)
set -uo pipefail
setup_exe=$1
version=$2
answer_exe=$3
sample=$4
source "$(dirname "$0")/package-env.sh"
start_wine

title="Кварсел - Загрузчик"
program_files=$(windows_variable ProgramFiles)
install_dir="$program_files\\hexloader"
install_linux=$(linux_path "$install_dir")
shortcut=$(linux_path "$(windows_variable ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs\\$title.lnk")
settings=$(linux_path "$(windows_variable APPDATA)\\hexloader\\hexloader.ini")
for path in "$program_files" "$install_linux" "$shortcut" "$settings"; do
  [ -n "$path" ] || { echo "the prefix did not name its folders"; exit 1; }
done
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\hexloader'
installed_files="README.txt
copyright.txt
hexloader-cli.exe
hexloader.exe
samples/blink.hex
uninstall.exe"

file_list() { (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort); }
key_present() { wine reg query "$key" </dev/null >/dev/null 2>&1; }
# The Uninstall key as a .reg file (UTF-16) turned into UTF-8 lines.
key_values() {
  rm -f "$work/key.reg"
  wine reg export "$key" "$(windows_path "$work/key.reg")" /y </dev/null >/dev/null 2>&1
  [ -f "$work/key.reg" ] && iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r'
}
# A .reg file writes "\" as "\\".
reg_escape() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }

check_installation() {
  local when=$1
  [ "$(file_list "$install_linux")" = "$installed_files" ] ||
    fail "$when: installed files: $(file_list "$install_linux" | tr '\n' ' ')"
  [ -f "$shortcut" ] || fail "$when: no Start-menu shortcut $shortcut"
  # The link's target, working folder and icon, as the shell wrote them (UTF-16 strings in the file).
  local link
  link=$(strings -a -el "$shortcut" 2>/dev/null)
  grep -qxF "$install_dir" <<<"$link" || fail "$when: the shortcut's working folder: $link"
  grep -qF "$install_dir\\hexloader.exe" <<<"$link" || fail "$when: the shortcut's target/icon: $link"

  local values expected size_kb estimated
  values=$(key_values)
  local exe uninstaller
  exe=$(reg_escape "$install_dir\\hexloader.exe")
  uninstaller=$(reg_escape "$install_dir\\uninstall.exe")
  expected="\"DisplayIcon\"=\"$exe,0\"
\"DisplayName\"=\"$title\"
\"DisplayVersion\"=\"$version\"
\"InstallLocation\"=\"$(reg_escape "$install_dir")\"
\"NoModify\"=dword:00000001
\"NoRepair\"=dword:00000001
\"Publisher\"=\"hexloader developers\"
\"QuietUninstallString\"=\"\\\"$uninstaller\\\" /S\"
\"UninstallString\"=\"\\\"$uninstaller\\\"\""
  [ "$(grep '^"' <<<"$values" | grep -v '^"EstimatedSize"' | LC_ALL=C sort)" = "$expected" ] ||
    fail "$when: the Uninstall key holds:
$values
expected:
$expected"
  # In KiB: the installed files' sizes added up.
  size_kb=$(find "$install_linux" -type f -printf '%s\n' | awk '{ s += $1 } END { print int(s / 1024) }')
  estimated=$(sed -n 's/^"EstimatedSize"=dword:\([0-9a-f]*\)$/\1/p' <<<"$values")
  { [ -n "$estimated" ] && [ $(( 16#$estimated - size_kb )) -ge -8 ] && [ $(( 16#$estimated - size_kb )) -le 8 ]; } ||
    fail "$when: EstimatedSize '$estimated' for $size_kb KiB of files"

  local printed
  printed=$(wine "$install_dir\\hexloader-cli.exe" --version </dev/null 2>&1 | tr -d '\r')
  [ "$printed" = "hexloader-cli $version" ] || fail "$when: the installed hexloader-cli --version printed '$printed'"
}

# An installation an earlier run left behind (the prefix is kept) goes first, with the user's settings.
rm -rf "$install_linux" "$shortcut" "$(dirname "$settings")"
wine reg delete "$key" /f </dev/null >/dev/null 2>&1

echo "== a silent setup installs the programs, the shortcut and the Uninstall key"
wine "$setup_exe" /S </dev/null
status=$?
[ "$status" -eq 0 ] || fail "the setup exited with $status"
check_installation "first setup"

echo "== the installed window keeps its settings in the profile's AppData\\Roaming\\hexloader"
[[ "$settings" == */users/*/AppData/Roaming/hexloader/hexloader.ini ]] || fail "%APPDATA% is not the profile's: $settings"
first_start "$install_dir\\hexloader.exe" "$(windows_path "$sample")" "$settings" ||
  fail "the window's first start wrote no $settings"
[ "$(ini_text "$settings" 2>/dev/null)" = "[FileName]
Name=$(windows_path "$sample")" ] || fail "the settings file holds: $(ini_text "$settings" 2>/dev/null)"
[ "$(file_list "$install_linux")" = "$installed_files" ] ||
  fail "the window wrote into the installation folder: $(file_list "$install_linux" | tr '\n' ' ')"
cp "$settings" "$work/settings.ini"

echo "== a second setup over an older installation replaces it in place"
# Made to look older: another version in the key, another program in its place.
wine reg add "$key" /v DisplayVersion /d 0.0 /f </dev/null >/dev/null 2>&1 || fail "the key cannot be changed"
cp "$answer_exe" "$install_linux/hexloader-cli.exe"
wine "$setup_exe" /S </dev/null
status=$?
[ "$status" -eq 0 ] || fail "the second setup exited with $status"
check_installation "second setup"
cmp -s "$settings" "$work/settings.ini" || fail "the second setup changed the settings"

echo "== the silent uninstall removes everything it installed and leaves the settings"
wine "$install_dir\\uninstall.exe" /S </dev/null
status=$?
[ "$status" -eq 0 ] || fail "the uninstaller exited with $status"
# It goes on from a copy of itself in %TEMP%: wait for its last step, the key.
for _ in $(seq 100); do key_present || break; sleep 0.2; done
key_present && fail "the Uninstall key is still there"
[ -e "$install_linux" ] && fail "the installation folder is still there: $(file_list "$install_linux" | tr '\n' ' ')"
[ -e "$shortcut" ] && fail "the shortcut is still there"
cmp -s "$settings" "$work/settings.ini" || fail "the settings file is gone or changed"

echo "== /D= chooses the folder; the uninstall there leaves what the user put in"
custom='C:\Программы\Кварсел загрузчик'
custom_linux=$(linux_path "$custom")
[ -n "$custom_linux" ] || { echo "no Linux path for $custom"; exit 1; }
rm -rf "$(dirname "$custom_linux")"
# As a deployment script types it: /D= last and unquoted, spaces and all (wine would quote an argument
# with spaces, which the setup does not take). From a folder without spaces: cmd takes the line as it is.
cp "$setup_exe" "$work/setup.exe"
wine cmd /c "$(windows_path "$work/setup.exe") /S /D=$custom" </dev/null || fail "the setup with /D= exited with $?"
[ "$(file_list "$custom_linux")" = "$installed_files" ] ||
  fail "/D=: installed files: $(file_list "$custom_linux" 2>&1 | tr '\n' ' ')"
grep -qxF "\"InstallLocation\"=\"$(reg_escape "$custom")\"" <<<"$(key_values)" || fail "/D=: the key: $(key_values)"
[ -e "$install_linux" ] && fail "/D=: files went into $install_dir too"
echo "notes" > "$custom_linux/notes.txt"
wine "$custom\\uninstall.exe" /S </dev/null || fail "the uninstaller in the /D= folder exited with $?"
for _ in $(seq 100); do key_present || break; sleep 0.2; done
[ "$(file_list "$custom_linux")" = "notes.txt" ] ||
  fail "after the uninstall the folder holds: $(file_list "$custom_linux" 2>&1 | tr '\n' ' ')"
rm -rf "$(dirname "$custom_linux")"

finish_checks
