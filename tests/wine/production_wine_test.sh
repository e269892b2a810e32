#!/usr/bin/env bash
# The production library under wine against a real PostgreSQL server on the Linux side: the server is
# started for this test (tests/production/postgres-server.sh, a folder of its own), its ODBC driver
# configured through ODBCSYSINI and ODBCINI, which wine's odbc32 hands on to the host's unixODBC.
# Runs the Windows test program, then hexloader-cli.exe records against the same database.
# Usage: production_wine_test.sh TESTS.exe hexloader-cli.exe POSTGRES_SERVER_SH
set -euo pipefail
tests=$1 cli=$2 server=$3
here=$(dirname "$0")
: "${HEXLOADER_WINE_DIR:?}"
dir=$(mktemp -d /tmp/hexloader-pg-wine-XXXXXX)
trap 'bash "$server" stop "$dir" >/dev/null 2>&1 || rm -rf "$dir"' EXIT
rmdir "$dir"
bash "$server" start "$dir"
# shellcheck disable=SC1091
source "$dir/env"
HEXLOADER_STORE_PASSWORD=$(cat "$dir/password")
export HEXLOADER_STORE_PASSWORD
export HEXLOADER_TEST_STORE="DSN=hexloader-test"
"$here/wine-run.sh" "$HEXLOADER_WINE_DIR" "$tests"

out=$("$here/wine-run.sh" "$HEXLOADER_WINE_DIR" "$cli" records --store "$HEXLOADER_TEST_STORE" --result reply-error --csv)
echo "$out"
grep -q '^.*,участок-wine,COM5,изделие-[0-9]*,502,reply-error,C:\\прошивки\\плата.hex,600,' <<<"$out" || {
  echo "FAIL: hexloader-cli.exe records did not show the board recorded through wine" >&2
  exit 1
}
if "$here/wine-run.sh" "$HEXLOADER_WINE_DIR" "$cli" records --store "DSN=hexloader-test;PWD=x" >/dev/null 2>"$dir/err"; then
  echo "FAIL: a PWD= in --store was accepted" >&2
  exit 1
fi
grep -q -- '--store must not hold a password' "$dir/err" || { cat "$dir/err" >&2; exit 1; }
echo "production under wine: passed"
