#!/usr/bin/env bash
# Serves serial devices over RFC 2217 with Debian's ser2net, for tests, benchmarks and demos: each
# DEVICE on a free port of 127.0.0.1, configured as docs/network-ports.md recommends (no Nagle delay on
# the TCP side, chardelay off). --chardelay keeps ser2net's chardelay (bytes from the device held for
# two characters' time, at least 1 ms), --nagle its default TCP behaviour (small segments held until
# the previous one is acknowledged): for measuring what each costs. Once ser2net listens on every port
# it prints them, one line per device in the order given; then it runs until SIGTERM, SIGINT or SIGHUP
# (or until ser2net ends), stops ser2net and removes the configuration from its temporary folder.
#
# Usage: ser2net-serve.sh [--chardelay] [--nagle] DEVICE...
#   build/bin/hexloader-sim > /tmp/ports & ...; tests/network/ser2net-serve.sh $(cat /tmp/ports) > /tmp/net &
#   then rfc2217://127.0.0.1:$(head -1 /tmp/net) is the first device.
set -euo pipefail

chardelay=false
tcp="tcp(nodelay)"
while [ $# -gt 0 ]; do
  case "$1" in
    --chardelay) chardelay=true ;;
    --nagle) tcp=tcp ;;
    *) break ;;
  esac
  shift
done
if [ $# -eq 0 ]; then
  echo "usage: $0 [--chardelay] [--nagle] DEVICE..." >&2
  exit 2
fi
# ser2net lies in /usr/sbin, which an ordinary user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
if ! command -v ser2net > /dev/null; then
  echo "$0: ser2net is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi

work=$(mktemp -d)
pid=""
stop_ser2net() {
  if [ -n "$pid" ]; then
    kill "$pid" 2> /dev/null || true
    wait "$pid" 2> /dev/null || true
    pid=""
  fi
}
trap 'stop_ser2net; rm -rf "$work"' EXIT
trap 'exit 0' TERM INT HUP

devices=()
for device in "$@"; do devices+=("$(realpath "$device")"); done

# The kernel's TCP tables, read whole (read line by line, /proc makes them anew for every read).
tcp_tables() { cat /proc/net/tcp /proc/net/tcp6 2> /dev/null || true; }

# Ports any socket of this machine holds.
used_ports() {
  local local_address
  while read -r _ local_address _; do
    [ "$local_address" = local_address ] && continue
    echo $((16#${local_address##*:}))
  done <<< "$(tcp_tables)"
}

# True when ser2net (pid) listens on every port given: listening sockets of those ports among its own.
listens_on() {
  local inodes tables port hex local_address state inode found
  inodes=" $(ls -l /proc/"$pid"/fd 2> /dev/null | sed -n 's/.*socket:\[\([0-9]*\)\]$/\1/p' | tr '\n' ' ') "
  tables=$(tcp_tables)
  for port in "$@"; do
    hex=$(printf '%04X' "$port")
    found=no
    while read -r _ local_address _ state _ _ _ _ _ inode _; do
      [ "$state" = 0A ] && [ "${local_address##*:}" = "$hex" ] || continue
      case "$inodes" in *" $inode "*) found=yes ;; esac
    done <<< "$tables"
    [ $found = yes ] || return 1
  done
}

# A port taken by someone else between the choice and ser2net's start shows as one ser2net does not
# listen on: then everything is tried again with other ports.
for attempt in 1 2 3 4 5; do
  used=" $(used_ports | tr '\n' ' ') "
  ports=()
  while [ ${#ports[@]} -lt ${#devices[@]} ]; do
    port=$((20000 + RANDOM % 40000))
    case "$used ${ports[*]} " in *" $port "*) continue ;; esac
    ports+=("$port")
  done
  {
    echo "%YAML 1.1"
    echo "---"
    for i in "${!devices[@]}"; do
      cat << EOF
connection: &port$((i + 1))
  accepter: telnet(rfc2217),$tcp,127.0.0.1,${ports[i]}
  connector: serialdev,${devices[i]},19200n81,local
  options:
    chardelay: $chardelay
EOF
    done
  } > "$work/ser2net.yaml"
  # -d: in the foreground, its log to standard output (kept here); -u: no UUCP lock files.
  ser2net -d -u -c "$work/ser2net.yaml" > "$work/ser2net.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    if ! kill -0 "$pid" 2> /dev/null; then
      echo "$0: ser2net ended at start:" >&2
      cat "$work/ser2net.log" >&2
      exit 1
    fi
    listening=no
    listens_on "${ports[@]}" && listening=yes && break
    sleep 0.02
  done
  if [ $listening = yes ]; then
    printf '%s\n' "${ports[@]}"
    # Until a signal (the trap ends the script and ser2net with it) or ser2net's own end.
    wait "$pid" || true
    pid=""
    exit 0
  fi
  stop_ser2net
done
echo "$0: ser2net did not listen on its ports:" >&2
cat "$work/ser2net.log" >&2
exit 1
