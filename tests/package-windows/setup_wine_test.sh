#!/usr/bin/env bash
# The Windows setup under wine, as an administrator deploying it would run it and as a user then meets
# the installed program: silently into Program Files; the installed files as Windows reads them; uploads
# from the installed window through COM6 with the installation folder unwritable, started from its
# Start-menu shortcut and from its folder, driven by the keys; the setup and the uninstaller meeting
# the programs running; an update over the installation through the wizard, whose last page starts the
# program; the silent uninstall.
# Usage (under scripts/on-xvfb.sh): setup_wine_test.sh SETUP.exe VERSION ANSWER_FIRST_RUN.exe SAMPLE.hex
#   (HEXLOADER_PACKAGE_WINE_DIR, HEXLOADER_MODEM_LINES_LIB, HEXLOADER_HOST_BUILD, HEXLOADER_WINDOW_DRIVER
#   and HEXLOADER_FILE_FACTS in the environment)
set -uo pipefail
setup_exe=$1
version=$2
answer_exe=$3
sample=$4
source "$(dirname "$0")/package-env.sh"
start_wine

title="Кварсел - Загрузчик"
publisher="Разработчики hexloader"
wizard="Установка $title"
open_dialog="Выбери файл (*.hex) для загрузки"
running_status=3
program_files=$(windows_variable ProgramFiles)
install_dir="$program_files\\hexloader"
install_linux=$(linux_path "$install_dir")
shortcut_windows="$(windows_variable ProgramData)\\Microsoft\\Windows\\Start Menu\\Programs\\$title.lnk"
shortcut=$(linux_path "$shortcut_windows")
settings=$(linux_path "$(windows_variable APPDATA)\\hexloader\\hexloader.ini")
profile=$(linux_path "$(windows_variable USERPROFILE)")
for path in "$program_files" "$install_linux" "$shortcut" "$settings" "$profile"; do
  [ -n "$path" ] || { echo "the prefix did not name its folders"; exit 1; }
done
settings_folder=$(dirname "$settings")
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
  # The link's target, working folder and icon, as the shell wrote them (UTF-16 strings in the file):
  # the program starts in the user's profile folder, which the shell names at the start.
  local link
  link=$(strings -a -el "$shortcut" 2>/dev/null)
  grep -qxF "%USERPROFILE%" <<<"$link" || fail "$when: the shortcut's working folder: $link"
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
\"Publisher\"=\"$publisher\"
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

# settings_for HEX: the installed window's settings, naming COM6 and the HEX file (a Windows path), in
# UTF-16 with its mark as the store starts a file.
settings_for() {
  mkdir -p "$settings_folder"
  printf '\xFF\xFE' > "$settings"
  printf '[PortName]\r\nName=%s\r\n[FileName]\r\nName=%s\r\n' "$package_port" "$1" | iconv -f UTF-8 -t UTF-16LE >> "$settings"
}

# upload_and_check WHEN FOLDER: after the window's upload (driven by the caller), the device holds the
# sample's image, and the window wrote that image into FOLDER (a Linux path) and nowhere else.
upload_and_check() {
  local when=$1 folder=$2
  for _ in $(seq 100); do [ -s "$work/memory.bin" ] && break; sleep 0.1; done
  same_start "$reference" "$work/memory.bin" || fail "$when: the device's memory differs from the image"
  cmp -s "$reference" "$folder/blink.BIN" || fail "$when: no image blink.BIN in $folder"
  [ "$(file_list "$install_linux")" = "$installed_files" ] ||
    fail "$when: the window wrote into the installation folder: $(file_list "$install_linux" | tr '\n' ' ')"
}

# A program whose window has gone still holds the mark for a moment, until its process has ended.
wait_for_programs_to_end() {
  for _ in $(seq 100); do pgrep -f 'hexloader(-cli)?\.exe' >/dev/null || return 0; sleep 0.1; done
  fail "a program of the installation still runs: $(pgrep -af 'hexloader(-cli)?\.exe')"
}

# The silent uninstaller goes on from a copy of itself in %TEMP%: wait until no copy runs.
wait_for_uninstaller_copy() {
  for _ in $(seq 100); do pgrep -f 'Au_\.exe' >/dev/null || return 0; sleep 0.2; done
  return 1
}

# An installation an earlier run left behind (the prefix is kept) goes first, with the user's settings
# and images.
[ -d "$install_linux" ] && chattr -i "$install_linux" 2>/dev/null
rm -rf "$install_linux" "$shortcut" "$settings_folder" "$profile/blink.BIN" "$profile/blink.BAK"
wine reg delete "$key" /f </dev/null >/dev/null 2>&1
reference=$(reference_image "$sample") || { echo "no reference image of $sample"; exit 1; }

echo "== a silent setup installs the programs, the shortcut and the Uninstall key"
wine "$setup_exe" /S </dev/null
status=$?
[ "$status" -eq 0 ] || fail "the setup exited with $status"
check_installation "first setup"

echo "== the installed programs and the uninstaller describe themselves, with their icons"
expect_facts() {
  local file=$1 description=$2 icons=$3 facts
  facts=$(file_facts "$install_dir\\$file")
  for line in "ProductName=$title" "FileDescription=$description" "CompanyName=$publisher" \
              "LegalCopyright=© 2026 $publisher" "Icons=$icons"; do
    grep -qxF "$line" <<<"$facts" || fail "$file: no '$line' in its version resource: $(tr '\n' ' ' <<<"$facts")"
  done
}
expect_facts hexloader.exe "$title" 6
expect_facts hexloader-cli.exe "$title: командная строка" 1
expect_facts uninstall.exe "Удаление: $title $version" 1
head -c 200 "$install_linux/README.txt" | grep -q "для Windows" || fail "README.txt is not the Windows users' read-me"

echo "== the installed window keeps its settings in the profile's AppData\\Roaming\\hexloader"
[[ "$settings" == */users/*/AppData/Roaming/hexloader/hexloader.ini ]] || fail "%APPDATA% is not the profile's: $settings"
first_start "$install_dir\\hexloader.exe" "$(windows_path "$sample")" "$settings" ||
  fail "the window's first start wrote no $settings"
[ "$(ini_text "$settings" 2>/dev/null)" = "[FileName]
Name=$(windows_path "$sample")" ] || fail "the settings file holds: $(ini_text "$settings" 2>/dev/null)"
[ "$(file_list "$install_linux")" = "$installed_files" ] ||
  fail "the window wrote into the installation folder: $(file_list "$install_linux" | tr '\n' ' ')"

echo "== with the installation folder unwritable, the window uploads from the shortcut and from its folder"
if ! make_immutable "$install_linux"; then
  # The window's own rule still keeps it out of the installation folder, which the checks below see.
  echo "NOTE: the installation folder cannot be made unwritable here (chattr +i needs CAP_LINUX_IMMUTABLE" \
       "and ext4, xfs or btrfs); the uploads run with it writable"
fi
settings_for "$install_dir\\samples\\blink.hex"
# From the Start menu: the shortcut's working folder is the user's profile, where the image lands.
# Ctrl+O opens the file dialog (cancelled), F5 starts the upload.
start_device "$work/memory.bin" || exit 1
wine start "$shortcut_windows" </dev/null
drive shown key ctrl+o dialog "$open_dialog" key f5 done exit || fail "the window from the shortcut did not upload"
upload_and_check "from the shortcut" "$profile"
# From its own folder (Explorer starts a program there): the window moves to its settings' folder. F5
# during the transfer, while Start is disabled, does nothing.
start_device "$work/memory.bin" --reply-delay 200 || exit 1
(cd "$install_linux" && exec wine hexloader.exe </dev/null >/dev/null 2>&1) &
drive shown key f5 shot "$(windows_path "$work/progress.bmp")" 10 key f5 noprompt done exit ||
  fail "the window from its folder did not upload"
upload_and_check "from its folder" "$settings_folder"
[ -e "$profile/blink.BAK" ] && fail "from its folder: the image went to the profile folder again"
make_mutable "$install_linux"

echo "== while the window runs, the setup and the uninstaller leave the installation as it is and say why"
wine start "$shortcut_windows" </dev/null
drive shown || fail "the window did not start"
wine "$setup_exe" /S </dev/null 2>"$work/why.txt"
status=$?
[ "$status" -eq "$running_status" ] || fail "the silent setup with the window running exited with $status"
grep -q "запущена" "$work/why.txt" || fail "the silent setup did not say why: $(cat "$work/why.txt")"
check_installation "silent setup, window running"
# The wizard asks; Cancel leaves everything as it is.
wine "$setup_exe" </dev/null &
wizard_pid=$!
drive dialog "$wizard" || fail "the wizard did not ask to close the program"
wait "$wizard_pid"
status=$?
[ "$status" -eq "$running_status" ] || fail "the wizard cancelled with the window running exited with $status"
check_installation "wizard cancelled, window running"
# The uninstaller as "Apps & features" runs it silently: it ends as soon as its copy in %TEMP% runs,
# and the copy stops before touching anything.
wine "$install_dir\\uninstall.exe" /S </dev/null
wait_for_uninstaller_copy || fail "the uninstaller's copy did not end"
check_installation "silent uninstall, window running"
# Run in place, as a deployment script does to get its status: that says why too.
cp "$install_linux/uninstall.exe" "$work/uninstall.exe"
wine cmd /c "$(windows_path "$work/uninstall.exe") /S _?=$install_dir" </dev/null 2>"$work/why.txt"
status=$?
[ "$status" -eq "$running_status" ] || fail "the uninstaller run in place with the window running exited with $status"
grep -q "запущена" "$work/why.txt" || fail "the uninstaller did not say why: $(cat "$work/why.txt")"
check_installation "uninstall in place, window running"
drive exit || fail "the window did not close"
wait_for_programs_to_end

echo "== while the command line uploads (a production run), the setup leaves the installation as it is"
start_device "$work/memory.bin" --hello-on-enter || exit 1  # never switched on: the tool waits
wine "$install_dir\\hexloader-cli.exe" upload --port "$package_port" "$install_dir\\samples\\blink.hex" \
  </dev/null >/dev/null 2>&1 &
cli_pid=$!
for _ in $(seq 100); do grep -q "port opened" "$work/sim.log" && break; sleep 0.1; done
wine "$setup_exe" /S </dev/null 2>/dev/null
status=$?
[ "$status" -eq "$running_status" ] || fail "the silent setup with hexloader-cli running exited with $status"
check_installation "silent setup, hexloader-cli running"
stop_process "$cli_pid"
stop_process "$device_pid"
wait_for_programs_to_end

echo "== the wizard over an older installation replaces it in place; its last page starts the program"
cp "$settings" "$work/settings.ini"
# Made to look older: another version in the key, another program in its place.
wine reg add "$key" /v DisplayVersion /d 0.0 /f </dev/null >/dev/null 2>&1 || fail "the key cannot be changed"
cp "$answer_exe" "$install_linux/hexloader-cli.exe"
rm -f "$profile/blink.BIN" "$profile/blink.BAK"
start_device "$work/memory.bin" || exit 1
wine "$setup_exe" </dev/null &
wizard_pid=$!
# Welcome, the folder, then Finish with "Запустить" checked once the files are in.
drive press "$wizard" "Далее >" press "$wizard" "Установить" press "$wizard" "Готово" ||
  fail "the wizard's pages did not go by"
wait "$wizard_pid"
status=$?
[ "$status" -eq 0 ] || fail "the wizard exited with $status"
check_installation "wizard over an older installation"
cmp -s "$settings" "$work/settings.ini" || fail "the update changed the settings"
# Started as the user, from the shortcut: in the profile folder.
drive shown key f5 done exit || fail "the program the wizard started did not upload"
upload_and_check "started by the wizard" "$profile"
wait_for_programs_to_end

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
