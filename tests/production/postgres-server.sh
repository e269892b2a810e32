#!/usr/bin/env bash
# A PostgreSQL server of the tests' own, in a folder of its own, reached through unixODBC and the
# PostgreSQL ODBC driver configured in that folder (no system configuration is read or changed).
#
#   postgres-server.sh start DIR    makes DIR, a cluster in DIR/data, starts the server on a free
#                                   loopback port and its socket in DIR; writes DIR/env (sourced by
#                                   scripts, read by the C++ fixture) and DIR/password
#   postgres-server.sh kill DIR     ends the server and its back ends at once (SIGKILL), as a crash
#   postgres-server.sh restart DIR  starts the server again on the same cluster and port
#   postgres-server.sh stop DIR     stops the server and removes DIR
#   postgres-server.sh createdb DIR NAME   makes an empty database NAME (over the socket)
#
# The server runs as the unprivileged account "postgres" when the caller is root (as in CI), otherwise
# as the caller. The role "hexloader" owns the cluster: over the socket it needs no password (the
# fixture's own work), over TCP it needs the password in DIR/password, which is never put on a command
# line (initdb reads it from the file; clients take it from HEXLOADER_STORE_PASSWORD).
# DIR/env holds: ODBCSYSINI, ODBCINI (the DSN "hexloader-test": TCP, database "hexloader", role
# "hexloader", no password), HEXLOADER_TEST_PG_PORT, HEXLOADER_TEST_PG_SOCKET_DIR, HEXLOADER_TEST_PG_DRIVER.
set -euo pipefail

usage="usage: postgres-server.sh start|kill|restart|stop DIR, or createdb DIR NAME"
command=${1:?$usage}
dir=${2:?$usage}

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bindir/postgres" ] || { echo "postgres-server.sh: no PostgreSQL server (Debian package postgresql)" >&2; exit 1; }

as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=postgres --regid=postgres --init-groups -- "$@"
  else
    "$@"
  fi
}

port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

start_server() {
  local port=$1
  : >>"$dir/server.log"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir/server.log"
  # fsync off (unless HEXLOADER_PG_FSYNC=on, for the benchmarks): the tests kill the server, never the
  # machine, and the system keeps what was written. A commit still waits for its write
  # (synchronous_commit stays on): a number given out survives a kill.
  local fsync=${HEXLOADER_PG_FSYNC:-off}
  local run=("$bindir/postgres" -D "$dir/data" -k "$dir" -h 127.0.0.1 -p "$port"
    -c fsync="$fsync" -c full_page_writes="$fsync" -c shared_buffers=16MB
    -c max_connections=40 -c max_wal_senders=0 -c wal_level=minimal -c log_min_messages=warning)
  if [ "$(id -u)" -eq 0 ]; then
    run=(setpriv --reuid=postgres --regid=postgres --init-groups -- "${run[@]}")
  fi
  # Not a process-group leader (no job control here), so setsid makes the session without forking and
  # the server's pid is $!: a signal to the test's process group never reaches the server.
  setsid "${run[@]}" >>"$dir/server.log" 2>&1 </dev/null &
  local pid=$!
  echo "$pid" >"$dir/server.pid"
  for _ in $(seq 300); do
    if ! kill -0 "$pid" 2>/dev/null; then return 1; fi
    if "$bindir/pg_isready" -q -h "$dir" -p "$port" -U hexloader -d postgres; then return 0; fi
    sleep 0.05
  done
  kill_all "$pid"
  return 1
}

# SIGKILL for the server and each of its children, then waits until they are gone.
kill_all() {
  local pid=$1 children
  children=$(ps -o pid= --ppid "$pid" 2>/dev/null || true)
  # shellcheck disable=SC2086
  kill -KILL "$pid" $children 2>/dev/null || true
  for _ in $(seq 200); do
    local alive=0 p
    for p in $pid $children; do kill -0 "$p" 2>/dev/null && alive=1; done
    [ $alive -eq 0 ] && return 0
    sleep 0.05
  done
}

write_config() {
  local port=$1 driver
  driver=$(ls /usr/lib/*/odbc/psqlodbcw.so /usr/lib/odbc/psqlodbcw.so 2>/dev/null | head -n 1 || true)
  [ -n "$driver" ] || { echo "postgres-server.sh: no PostgreSQL ODBC driver (Debian package odbc-postgresql)" >&2; exit 1; }
  cat >"$dir/odbcinst.ini" <<INI
[HexloaderPostgreSQL]
Description=PostgreSQL Unicode driver of the tests
Driver=$driver
INI
  cat >"$dir/odbc.ini" <<INI
[hexloader-test]
Driver=HexloaderPostgreSQL
Servername=127.0.0.1
Port=$port
Database=hexloader
Username=hexloader
INI
  cat >"$dir/env" <<ENV
export ODBCSYSINI=$dir
export ODBCINI=$dir/odbc.ini
export HEXLOADER_TEST_PG_PORT=$port
export HEXLOADER_TEST_PG_SOCKET_DIR=$dir
export HEXLOADER_TEST_PG_DRIVER=HexloaderPostgreSQL
ENV
}

case $command in
  start)
    # What an earlier run left (a test run cut short) goes first.
    [ ! -e "$dir/.hexloader-postgres" ] || "$0" stop "$dir"
    [ ! -e "$dir" ] || [ -z "$(ls -A "$dir")" ] || { echo "postgres-server.sh: $dir is not empty" >&2; exit 1; }
    mkdir -p "$dir"
    touch "$dir/.hexloader-postgres"
    head -c 24 /dev/urandom | base64 | tr -d '/+=' >"$dir/password"
    chmod 600 "$dir/password"
    [ "$(id -u)" -eq 0 ] && chown -R postgres: "$dir"
    as_server_user "$bindir/initdb" -D "$dir/data" -U hexloader --pwfile="$dir/password" -E UTF8 --locale=C \
      --auth-local=trust --auth-host=scram-sha-256 --no-sync >"$dir/initdb.log" 2>&1 ||
      { cat "$dir/initdb.log" >&2; exit 1; }
    for _ in $(seq 20); do
      port=$((20000 + RANDOM % 30000))
      port_taken "$port" && continue
      if start_server "$port"; then
        write_config "$port"
        as_server_user "$bindir/createdb" -h "$dir" -p "$port" -U hexloader hexloader
        exit 0
      fi
    done
    echo "postgres-server.sh: the server did not start; its log:" >&2
    cat "$dir/server.log" >&2
    exit 1
    ;;
  kill)
    # The back ends are sessions of their own (the server makes them so): each is ended by its id.
    pid=$(cat "$dir/server.pid")
    kill_all "$pid"
    ;;
  restart)
    # shellcheck disable=SC1091
    source "$dir/env"
    start_server "$HEXLOADER_TEST_PG_PORT" || { cat "$dir/server.log" >&2; exit 1; }
    ;;
  stop)
    [ -e "$dir/.hexloader-postgres" ] || exit 0
    if [ -f "$dir/server.pid" ]; then
      pid=$(cat "$dir/server.pid")
      # Fast shutdown: clients are disconnected, the server ends within moments.
      kill -INT "$pid" 2>/dev/null || true
      for _ in $(seq 200); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
      kill_all "$pid"
    fi
    rm -rf "$dir"
    ;;
  createdb)
    # shellcheck disable=SC1091
    source "$dir/env"
    as_server_user "$bindir/createdb" -h "$dir" -p "$HEXLOADER_TEST_PG_PORT" -U hexloader "${3:?$usage}"
    ;;
  *)
    echo "$usage" >&2
    exit 1
    ;;
esac
