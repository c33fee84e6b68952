# scripts/lib/lab_session.sh (bash): the lab subscriber's RADIUS session, as its access node would account it to lumresults.

# The lab's subscriber (tests/lab/network/lab-network's default --client-ip) and the access node it hangs off.
lab_subscriber=lab-subscriber-0042
lab_subscriber_address=100.102.3.4
lab_node_address=100.102.0.1 lab_node_name=lab-bng-1 lab_node_port=eth0/42

# send_lab_session LUMRESULTS DATA WORK [EVENT]: records in DATA's store the Start of the lab subscriber's
# session (begun at EVENT, seconds since 1970; now unless named), sent by radclient to a lumresults started on
# loopback for it alone and stopped once answered; so every report from the lab's address is linked to it.
# Needs scripts/lib/dashboard.sh, and a network namespace of the caller's own (it listens on 127.0.0.1).
send_lab_session() {
  local work=$3 event=${4:-$(date +%s)} status=0
  mkdir -p "$work/radclient"
  : >"$work/radclient/dictionary"
  new_password >"$work/radius.secret"
  printf '%s\n' "NAS-IP-Address = $lab_node_address" "NAS-Identifier = \"$lab_node_name\"" \
    "NAS-Port-Id = \"$lab_node_port\"" 'Acct-Status-Type = Start' 'Acct-Session-Id = "lab-0042-1"' \
    "User-Name = \"$lab_subscriber\"" "Framed-IP-Address = $lab_subscriber_address" \
    "Event-Timestamp = $event" >"$work/radclient/packets"
  # The HTTP side is unused; a port of its own keeps it clear of the dashboards callers start after.
  start_dashboard "$1" "$2" 8089 "$work/server.log" 127.0.0.1 \
    --radius-listen 127.0.0.1:1813 --radius-client "127.0.0.1/32 $work/radius.secret" || return 1
  # radclient answers 0 only when every request was answered, and lumresults answers only once recorded.
  radclient -d "$work/radclient" -D /usr/share/freeradius -f "$work/radclient/packets" -r 3 -t 1 \
    -s 127.0.0.1:1813 acct "$(cat "$work/radius.secret")" >"$work/radclient.log" 2>&1 || status=1
  stop_dashboard || status=1
  [ "$status" = 0 ] || { echo "send_lab_session: the session was not recorded:" >&2; cat "$work/radclient.log" "$work/server.log" >&2; }
  return "$status"
}
