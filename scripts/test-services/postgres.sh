# Starts a throwaway PostgreSQL 15 server for the ODBC tests. Sourced by scripts/test.sh (bash,
# with `set -euo pipefail`) before ctest runs.
#
# The server listens on a unix socket in a temporary directory only (no TCP), with a SQL_ASCII
# database so that Windows-1251 bytes pass unchanged. A role and a database named after the
# user running the tests are created. Exports:
#   PGHOST (the socket directory), PGDATABASE, PGUSER, PGCLIENTENCODING=SQL_ASCII,
#   VESTIBO_PG_SOCKET (the socket directory; set only when the server is up).
# If the server cannot start, the reason is printed and the tests that need it skip (or fail
# when CI=true). The server is stopped and its directory removed when the shell exits.

vestibo_pg_stop() {
  [[ -n "${VESTIBO_PG_DIR:-}" && -d "$VESTIBO_PG_DIR" ]] || return 0
  if [[ -f "$VESTIBO_PG_DIR/data/postmaster.pid" ]]; then
    "${VESTIBO_PG_RUNAS[@]}" "$VESTIBO_PG_BIN/pg_ctl" -D "$VESTIBO_PG_DIR/data" -m immediate -w \
      stop >/dev/null 2>&1 || true
  fi
  rm -rf "$VESTIBO_PG_DIR"
  VESTIBO_PG_DIR=
}

vestibo_pg_start() {
  VESTIBO_PG_BIN=/usr/lib/postgresql/15/bin
  VESTIBO_PG_RUNAS=()
  local me
  me=$(whoami)

  if [[ ! -x "$VESTIBO_PG_BIN/initdb" || ! -x "$VESTIBO_PG_BIN/pg_ctl" ]]; then
    echo "postgres.sh: PostgreSQL 15 not found in $VESTIBO_PG_BIN" >&2
    return 1
  fi
  VESTIBO_PG_DIR=$(mktemp -d "${TMPDIR:-/tmp}/vestibo-pg.XXXXXX") || {
    echo "postgres.sh: cannot create a temporary directory" >&2
    return 1
  }

  # initdb and pg_ctl refuse to run as root: the postgres account owns the server then.
  local superuser=$me
  if [[ $(id -u) -eq 0 ]]; then
    if ! id postgres >/dev/null 2>&1; then
      echo "postgres.sh: running as root and there is no postgres account" >&2
      return 1
    fi
    chown postgres: "$VESTIBO_PG_DIR"
    chmod 755 "$VESTIBO_PG_DIR"
    VESTIBO_PG_RUNAS=(runuser -u postgres --)
    superuser=postgres
  fi
  local dir=$VESTIBO_PG_DIR sock=$VESTIBO_PG_DIR/sock
  "${VESTIBO_PG_RUNAS[@]}" mkdir -m 700 "$sock" "$dir/data" || return 1
  chmod 755 "$sock"  # the tests' user must reach the socket

  if ! "${VESTIBO_PG_RUNAS[@]}" "$VESTIBO_PG_BIN/initdb" -D "$dir/data" -U "$superuser" -A trust \
      -E SQL_ASCII --locale=C >"$dir/initdb.log" 2>&1; then
    echo "postgres.sh: initdb failed:" >&2
    sed 's/^/  /' "$dir/initdb.log" >&2
    return 1
  fi
  if ! "${VESTIBO_PG_RUNAS[@]}" "$VESTIBO_PG_BIN/pg_ctl" -D "$dir/data" -l "$dir/data/server.log" \
      -w -t 60 -o "-k $sock -c listen_addresses=''" start >/dev/null 2>&1; then
    echo "postgres.sh: the server did not start:" >&2
    sed 's/^/  /' "$dir/data/server.log" >&2 2>/dev/null || true
    return 1
  fi

  local psql=("${VESTIBO_PG_RUNAS[@]}" "$VESTIBO_PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h "$sock" \
    -U "$superuser" -d postgres)
  if [[ "$me" != "$superuser" ]]; then
    # Superuser, so that tests may create event triggers in their database.
    "${psql[@]}" -c "CREATE ROLE \"$me\" LOGIN SUPERUSER" >/dev/null || return 1
  fi
  if [[ "$me" != "postgres" ]]; then
    "${psql[@]}" -c "CREATE DATABASE \"$me\" OWNER \"$me\" ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0" \
      >/dev/null || return 1
  fi

  export PGHOST=$sock PGDATABASE=$me PGUSER=$me PGCLIENTENCODING=SQL_ASCII
  export VESTIBO_PG_SOCKET=$sock
  echo "postgres.sh: PostgreSQL 15 running on socket $sock (database $me)"
}

# Run the cleanup at exit, after whatever exit trap is already there.
vestibo_pg_install_trap() {
  local previous
  previous=$(trap -p EXIT)
  if [[ -n "$previous" ]]; then
    eval "set -- ${previous#trap -- }"
    trap "vestibo_pg_stop; $1" EXIT
  else
    trap vestibo_pg_stop EXIT
  fi
}

vestibo_pg_install_trap
if ! vestibo_pg_start; then
  echo "postgres.sh: continuing without PostgreSQL; the tests that need it will skip (fail under CI)" >&2
  vestibo_pg_stop
  unset VESTIBO_PG_SOCKET
fi
