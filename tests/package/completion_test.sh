#!/usr/bin/env bash
# The bash completion of hexloader-cli against a real hexloader-cli: what Tab offers after each
# command line, with the bash-completion package's helpers loaded and without them.
# Usage: completion_test.sh BIN_DIR COMPLETION_FILE
set -uo pipefail
bin=$(cd "$1" && pwd)
completion=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch fw.hex OLD.HEX notes.txt
mkdir folder
ln -s /dev/null ttySIM
ports=$(PATH=$bin:$PATH hexloader-cli ports | sort | tr '\n' ' ')

# line (the cursor at its end) | the words offered, sorted
cases=(
  "hexloader-cli |convert help ports records upload"
  "hexloader-cli up|upload"
  "hexloader-cli --|--help --version"
  "hexloader-cli upload --|--baud --help --log --port --repeat --reply-timeout --strict --timeout"
  "hexloader-cli upload --ti|--timeout"
  "hexloader-cli upload --port |$ports"
  "hexloader-cli upload --port $work/tty|$work/ttySIM"
  "hexloader-cli upload --timeout |"
  "hexloader-cli upload --reply-timeout |"
  "hexloader-cli upload --baud |"
  "hexloader-cli upload --port ttyS0 |OLD.HEX folder fw.hex"
  "hexloader-cli upload --port ttyS0 --timeout 5 f|folder fw.hex"
  "hexloader-cli convert |OLD.HEX folder fw.hex"
  "hexloader-cli convert --|--help --strict"
  "hexloader-cli convert --strict |OLD.HEX folder fw.hex"
  "hexloader-cli upload --strict --port ttyS0 |OLD.HEX folder fw.hex"
  "hexloader-cli upload --port ttyS0 --port ttyS1 --repeat |OLD.HEX folder fw.hex"
  "hexloader-cli upload --port ttyS0 --log |OLD.HEX folder fw.hex notes.txt ttySIM"
  "hexloader-cli ports |"
  "hexloader-cli records --|--csv --help --json --log --port --result --serial --serial-name --since --store"
  "hexloader-cli records --log |OLD.HEX folder fw.hex notes.txt ttySIM"
  "hexloader-cli records --since |"
  "hexloader-cli help |convert help ports records upload"
  "hexloader-cli help upload |"
)

run_cases() {  # $1: "with" or "without" the bash-completion package
  bash --norc --noprofile -s "$1" "$completion" "$bin" "${cases[@]}" <<'SCRIPT'
mode=$1 completion=$2 bin=$3
shift 3
if [[ $mode == with ]]; then
  source /usr/share/bash-completion/bash_completion || exit 1
fi
source "$completion" || exit 1
PATH=$bin:$PATH
status=0
for c in "$@"; do
  line=${c%%|*} want=${c#*|}
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$line COMP_POINT=${#line} COMPREPLY=()
  _hexloader_cli
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sed 's|/$||' | grep -v '^$' | LC_ALL=C sort | tr '\n' ' ')
  want=$(tr ' ' '\n' <<<"$want" | grep -v '^$' | LC_ALL=C sort | tr '\n' ' ')
  if [[ $got != "$want" ]]; then
    echo "FAIL ($mode bash-completion) [$line]: offered '$got', expected '$want'"
    status=1
  fi
done
exit $status
SCRIPT
}

status=0
if [[ -r /usr/share/bash-completion/bash_completion ]]; then
  run_cases with || status=1
else
  echo "bash-completion is not installed: only the plain bash run"
fi
run_cases without || status=1
[[ $status == 0 ]] && echo "completion: all cases pass"
exit $status
