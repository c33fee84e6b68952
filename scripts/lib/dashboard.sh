# scripts/lib/dashboard.sh (bash): lumresults serving a data folder on loopback for a browser, with an account to sign in with.

# new_password: 32 random hex digits.
new_password() { od -An -tx1 -N16 /dev/urandom | tr -d ' \n'; }

# add_staff LUMRESULTS DATA NAME PASSWORD [--role ROLE]...: an account of the dashboard (support only unless
# roles are named).
add_staff() { printf '%s\n' "$4" | "$1" user add --data "$2" "$3" "${@:5}"; }

# start_dashboard LUMRESULTS DATA PORT LOG [ADDRESS [OPTION...]]: serves DATA on ADDRESS:PORT (127.0.0.1
# unless named) with serve's OPTIONs, its log in LOG, and returns once it accepts connections; dashboard_pid
# is the server's process.
start_dashboard() {
  local tries=0
  "$1" serve --listen "${5:-127.0.0.1}:$3" --data "$2" "${@:6}" 2>"$4" &
  dashboard_pid=$!
  until (exec 3<>"/dev/tcp/127.0.0.1/$3") 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -ge 100 ] || ! kill -0 "$dashboard_pid" 2>/dev/null; then
      echo "lumresults did not start serving:" >&2
      cat "$4" >&2
      return 1
    fi
    sleep 0.1
  done
}

# stop_dashboard: ends the server as its service manager would (SIGTERM); fails unless it exits 0.
stop_dashboard() {
  [ -n "${dashboard_pid:-}" ] || return 0
  kill -TERM "$dashboard_pid" 2>/dev/null
  wait "$dashboard_pid"
  local status=$?
  dashboard_pid=
  return "$status"
}
