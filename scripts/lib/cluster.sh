# scripts/lib/cluster.sh (sh): the balanced topology: nginx in front of several lumresults instances that share one PostgreSQL database.
#
#   LUM_ROOT=<the repository's folder>; . "$LUM_ROOT/scripts/lib/cluster.sh"
#   trap cluster_stop EXIT
#   cluster_start DIR LUMRESULTS N LISTEN_ADDR:PORT
#   cluster_kill_instance I; cluster_restart_instance I     (I from 1 to N)
#   cluster_stop
#
# cluster_start is cluster_start_database (a scratch PostgreSQL in DIR/postgres and its database
# "lumresults", CLUSTER_DATABASE its URL) and then cluster_start_servers, which can also serve a database
# started elsewhere (CLUSTER_DATABASE set by the caller). Every file is under DIR: the instances' logs
# (DIR/instance-I.log) and temporary folders, nginx's configuration, logs and pid (DIR/nginx).
# Settings, read when the servers start:
#   CLUSTER_RUN            a command that the instances and nginx run through ("ip netns exec results"),
#                          so that their loopback is another network namespace's;
#   CLUSTER_MAX_UPLOAD     lumresults' --max-upload (16 MiB by default); nginx allows a little more;
#   CLUSTER_SERVE_OPTIONS  more options for every instance ("--threads 8").
# Nothing started here outlives cluster_stop, which the caller runs from a trap.

: "${LUM_ROOT:?cluster.sh needs LUM_ROOT, the repository's folder}"
. "$LUM_ROOT/scripts/lib/postgres.sh"

# cluster_start DIR LUMRESULTS N LISTEN_ADDR:PORT: everything, running once this returns.
cluster_start() {
  cluster_start_database "$1" && cluster_start_servers "$@"
}

# cluster_start_database DIR: a scratch PostgreSQL in DIR/postgres with an empty database "lumresults";
# exports CLUSTER_DATABASE, its URL.
cluster_start_database() {
  mkdir -p "$1"
  cluster_pg_dir=$(cd "$1" && pwd)/postgres
  pg_start "$cluster_pg_dir" || return 1
  "$(pg_bin psql)" -X -q -v ON_ERROR_STOP=1 -d "$LUMRESULTS_TEST_POSTGRES" -c 'CREATE DATABASE lumresults' || return 1
  CLUSTER_DATABASE=$(printf '%s\n' "$LUMRESULTS_TEST_POSTGRES" | sed 's|:///postgres?|:///lumresults?|')
  export CLUSTER_DATABASE
}

# cluster_start_servers DIR LUMRESULTS N LISTEN_ADDR:PORT: N instances on 127.0.0.1 serving
# CLUSTER_DATABASE, then nginx in front of them on LISTEN_ADDR:PORT.
cluster_start_servers() {
  : "${CLUSTER_DATABASE:?cluster_start_servers needs CLUSTER_DATABASE}"
  mkdir -p "$1/nginx"
  cluster_dir=$(cd "$1" && pwd)
  # nginx's workers run as www-data and must reach their temporary folders under DIR.
  chmod 755 "$cluster_dir" "$cluster_dir/nginx"
  cluster_lumresults=$2 cluster_count=$3 cluster_listen=$4
  cluster_max_upload=${CLUSTER_MAX_UPLOAD:-16777216}
  local i=1
  while [ "$i" -le "$cluster_count" ]; do
    # Port 0 the first time: the kernel picks a free one, which a restart then takes again.
    cluster_launch "$i" 0 || return 1
    i=$((i + 1))
  done
  cluster_start_nginx
}

# cluster_launch I PORT: instance I on 127.0.0.1:PORT, returning once it listens; sets cluster_pid_I and
# cluster_port_I. Its log is appended to, so that a restart keeps what the killed one wrote.
cluster_launch() {
  local log=$cluster_dir/instance-$1.log before tries=0
  # Its private spool folder goes under DIR, so that a killed instance leaves nothing behind elsewhere.
  mkdir -p "$cluster_dir/instance-$1"
  touch "$log"
  before=$(grep -c 'listening on' "$log" || true)
  TMPDIR=$cluster_dir/instance-$1 ${CLUSTER_RUN:-} "$cluster_lumresults" serve --listen "127.0.0.1:$2" \
    --database "$CLUSTER_DATABASE" --trusted-proxy 127.0.0.1 --max-upload "$cluster_max_upload" \
    ${CLUSTER_SERVE_OPTIONS:-} >>"$log" 2>&1 &
  eval "cluster_pid_$1=$!"
  until [ "$(grep -c 'listening on' "$log")" -gt "$before" ]; do
    tries=$((tries + 1))
    if [ "$tries" -ge 600 ] || ! cluster_alive "$(cluster_pid "$1")"; then
      echo "cluster.sh: lumresults instance $1 did not start:" >&2
      tail -n 20 "$log" >&2
      return 1
    fi
    sleep 0.05
  done
  eval "cluster_port_$1=$(sed -n 's/^lumresults: listening on .*://p' "$log" | tail -n 1)"
}

cluster_pid() { eval "echo \"\${cluster_pid_$1:-}\""; }
cluster_port() { eval "echo \"\${cluster_port_$1:-}\""; }

# cluster_alive PID: the process runs (a zombie, dead but not yet waited for, does not).
cluster_alive() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] && [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" != Z ]
}

# cluster_start_nginx: the configuration from tests/cluster/nginx.conf.in, checked, then nginx in the
# foreground (as the script's child), returning once it listens.
cluster_start_nginx() {
  local conf=$cluster_dir/nginx/nginx.conf i=1 port=${cluster_listen##*:} tries=0
  : >"$conf.servers"
  while [ "$i" -le "$cluster_count" ]; do
    printf '        server 127.0.0.1:%s max_fails=1 fail_timeout=10s;\n' "$(cluster_port "$i")" >>"$conf.servers"
    i=$((i + 1))
  done
  sed -e "s|@LISTEN@|$cluster_listen|" -e "s|@MAX_BODY@|$((cluster_max_upload + 1048576))|" \
    -e "/^@SERVERS@\$/{r $conf.servers" -e 'd}' "$LUM_ROOT/tests/cluster/nginx.conf.in" >"$conf"
  set -- -p "$cluster_dir/nginx" -c "$conf" -e "$cluster_dir/nginx/error.log" -g 'daemon off;'
  ${CLUSTER_RUN:-} nginx -t -q "$@" || { echo "cluster.sh: nginx refused $conf" >&2; return 1; }
  ${CLUSTER_RUN:-} nginx "$@" &
  cluster_nginx_pid=$!
  until ${CLUSTER_RUN:-} ss -ltnH "sport = :$port" | grep -q .; do
    tries=$((tries + 1))
    if [ "$tries" -ge 600 ] || ! cluster_alive "$cluster_nginx_pid"; then
      echo "cluster.sh: nginx did not start:" >&2
      cat "$cluster_dir/nginx/error.log" >&2
      return 1
    fi
    sleep 0.05
  done
}

# cluster_kill_instance I: SIGKILL, as a crash or the OOM killer would end it: uploads it was storing get
# no answer from it.
cluster_kill_instance() {
  local pid
  pid=$(cluster_pid "$1")
  [ -n "$pid" ] || return 0
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  eval "cluster_pid_$1="
}

# cluster_restart_instance I: instance I again, on the port nginx knows it by.
cluster_restart_instance() {
  cluster_kill_instance "$1"
  cluster_launch "$1" "$(cluster_port "$1")"
}

# cluster_end PID NAME: SIGTERM, then SIGKILL if it is still running after 30 s; fails unless it exited 0.
cluster_end() {
  local tries=0 status=0
  kill -TERM "$1" 2>/dev/null || true
  while cluster_alive "$1" && [ "$tries" -lt 300 ]; do
    tries=$((tries + 1))
    sleep 0.1
  done
  if cluster_alive "$1"; then
    echo "cluster.sh: $2 did not stop on SIGTERM" >&2
    kill -KILL "$1" 2>/dev/null || true
  fi
  wait "$1" || status=$?
  [ "$status" = 0 ] || echo "cluster.sh: $2 ended with status $status" >&2
  return "$status"
}

# cluster_stop: nginx first (no new requests), then each instance (which finishes what it received),
# then PostgreSQL. Harmless when nothing or only part was started, and when run twice. Fails when a
# server did not end cleanly (a sanitizer's report, say).
cluster_stop() {
  local failed=0 i=1 pid
  if [ -n "${cluster_nginx_pid:-}" ]; then
    cluster_end "$cluster_nginx_pid" nginx || failed=1
    cluster_nginx_pid=
  fi
  while [ "$i" -le "${cluster_count:-0}" ]; do
    pid=$(cluster_pid "$i")
    if [ -n "$pid" ]; then
      cluster_end "$pid" "lumresults instance $i" || failed=1
      eval "cluster_pid_$i="
    fi
    i=$((i + 1))
  done
  if [ -n "${cluster_pg_dir:-}" ]; then
    pg_stop "$cluster_pg_dir"
    cluster_pg_dir=
  fi
  return "$failed"
}
