# scripts/lib/postgres.sh (sh): a scratch PostgreSQL server for tests and benchmarks, reachable only by its Unix socket.
#
# The server listens on no TCP port at all (listen_addresses is empty): tests reach it through the socket
# in its folder, which works from inside the network namespaces the tests run in. The caller stops it
# (pg_stop from a trap), so that it never outlives the script that started it.

# pg_bin PROGRAM: the newest installed PostgreSQL's PROGRAM (initdb, pg_ctl, psql, ...).
pg_bin() {
  pg_bin_=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  [ -n "$pg_bin_" ] || { echo "postgres.sh: PostgreSQL is not installed" >&2; return 1; }
  echo "$pg_bin_/$1"
}

# as_pg_owner COMMAND...: runs COMMAND as the scratch server's owner. PostgreSQL refuses to run as root,
# so root runs it as the packages' postgres account; anyone else runs it as themselves.
as_pg_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# pg_launch_ DIR: starts the server made in DIR (an absolute path) and waits until it accepts connections;
# enough of them for three instances' pools, the tests' own and the checks'.
pg_launch_() {
  as_pg_owner "$(pg_bin pg_ctl)" -D "$1/data" -l "$1/server.log" -w -t 60 \
    -o "-k $(cat "$1/socket-dir") -c listen_addresses= -c max_connections=200" start >/dev/null
}

# pg_socket_dir_ DIR: where the server's socket goes: DIR itself, unless the socket's path would be longer
# than the system allows (107 bytes), as under a deep checkout; then a folder of its own in /tmp.
pg_socket_dir_() {
  if [ ${#1} -le 90 ]; then
    echo "$1"
  else
    mktemp -d /tmp/lumresults-pg.XXXXXX
  fi
}

# pg_start DIR: a new server in DIR (anything there before is removed), running once this returns;
# exports LUMRESULTS_TEST_POSTGRES, the URL of its postgres database as the superuser. fsync stays on:
# the tests that restart it rely on committed data surviving the way it would on a real server.
pg_start() {
  rm -rf "$1"
  mkdir -p "$1"
  pg_dir_=$(cd "$1" && pwd)
  pg_socket_dir_ "$pg_dir_" >"$pg_dir_/socket-dir"
  [ "$(id -u)" -ne 0 ] || chown postgres: "$pg_dir_" "$(cat "$pg_dir_/socket-dir")"
  as_pg_owner "$(pg_bin initdb)" -D "$pg_dir_/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$pg_dir_/initdb.log" 2>&1 ||
    { cat "$pg_dir_/initdb.log" >&2; return 1; }
  pg_launch_ "$pg_dir_" || { cat "$pg_dir_/server.log" >&2; return 1; }
  LUMRESULTS_TEST_POSTGRES="postgresql:///postgres?host=$(cat "$pg_dir_/socket-dir")&user=postgres"
  export LUMRESULTS_TEST_POSTGRES
}

# pg_restart DIR: stops the server at once, as a crash would (it recovers from its log at start), and
# starts it again; returns once it accepts connections.
pg_restart() {
  as_pg_owner "$(pg_bin pg_ctl)" -D "$1/data" -m immediate -w -t 60 stop >/dev/null
  pg_launch_ "$(cd "$1" && pwd)"
}

# pg_stop DIR: stops the server if it runs; harmless when it never started.
pg_stop() {
  [ -f "$1/data/postmaster.pid" ] || return 0
  as_pg_owner "$(pg_bin pg_ctl)" -D "$1/data" -m fast -w -t 60 stop >/dev/null 2>&1 || true
  case "$(cat "$1/socket-dir" 2>/dev/null)" in
    /tmp/lumresults-pg.*) rm -rf "$(cat "$1/socket-dir")" ;;
  esac
}
