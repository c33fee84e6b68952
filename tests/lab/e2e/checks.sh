# tests/lab/e2e/checks.sh (bash): what an end-to-end run must have left behind, checked the same way for both builds.
# Each check prints what is wrong and sets failed=1.

failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

# expect_rows FILE EXPECT: the rows' final texts, one per line, as the run showed them.
expect_rows() {
  case "$2" in
    passes|excluded)
      for row in "Test 1: Network Config -- OK" "Test 2: Network Connection -- OK" "Test 3: DNS Resolve -- OK" \
                 "Test 4: Normal Ping (32 Bytes) Test  -- OK" "Test 5: Large Packet Ping (1400 Bytes) Test -- OK"; do
        grep -qxF "$row" "$1" || fail "row missing: $row"
      done
      grep -qE '^Test 6: HTTP Get File Test -- OK \(.* = [0-9]+(G|M|K|)bps $' "$1" || fail "row 6 is not a passed download"
      if [ "$2" = passes ]; then
        grep -qxF "Test 7: Multicast Test -- OK" "$1" || fail "row 7 is not OK"
      else
        grep -qxF "Test 7: Multicast Test -- Skip" "$1" || fail "row 7 is not skipped"
      fi ;;
    disk-full)
      # Whatever the verdicts, every row is shown.
      [ "$(grep -c '^Test [1-7]: ' "$1")" = 7 ] || fail "not every row was shown: $(cat "$1")" ;;
    *) [ ! -s "$1" ] || fail "rows were shown: $(cat "$1")" ;;
  esac
}

# expect_recorded_rows FILE ROWS: the rows read as the lab scenario's ROWS file says, in its order; the
# download's row, which the real wget's speed decides, only as a passed one.
expect_recorded_rows() {
  local number colour text
  [ "$(grep -c '^Test [1-7]: ' "$1")" = "$(grep -vc ' absent$' "$2")" ] || fail "the rows are not those of $2: $(cat "$1")"
  while read -r number colour text; do
    case "$colour" in absent) continue ;; esac
    if [ "$number" = 6 ] && [ "$colour" = green ]; then
      grep -qE '^Test 6: HTTP Get File Test -- OK \(.* = [0-9]+(G|M|K|)bps $' "$1" || fail "row 6 is not a passed download"
    else
      grep -qxF "$text" "$1" || fail "row missing: $text"
    fi
  done <"$2"
}

# expect_report REPORT EXPECT: the report's frame and the parts that come from the lab's own servers.
expect_report() {
  case "$2" in
    passes|excluded|recorded)
      [ -f "$1" ] || { fail "no report"; return; }
      [ "$(head -n 1 "$1")" = $'Lumora Network Test v1.4\r' ] || fail "report does not start with the title"
      # Wine plays Windows 10 (run-windows), which tells the program 10.0 only when its manifest claims that
      # release, else 6.2, "Windows 8"; the Linux build has no Windows version. Neither has a name of its own.
      [ "$(sed -n 3p "$1")" = $'Windows Future\r' ] || fail "the release line is: $(sed -n 3p "$1" | tr -d '\r')"
      grep -qE $'^=== TEST START === [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\r$' "$1" || fail "no start line"
      tail -n 1 "$1" | grep -qE $'^=== TEST END === [0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\r$' ||
        fail "the footer is not the last line"
      [ "$2" = recorded ] || grep -q 'saved \[10485760/10485760\]' "$1" || fail "the download's finished line is missing"
      if [ "$2" = passes ]; then
        [ "$(grep -c '^Received .* bytes from ' "$1")" -ge 9 ] || fail "fewer than nine received packets in the report"
      fi
      if grep -qv $'\r$' "$1"; then fail "a report line does not end with CR LF"; fi ;;
    disk-full) ;; # checked against what was written (hostile-setup)
    *) [ ! -e "$1" ] || fail "a report was written" ;;
  esac
}

# lumresults' command line (LAB_RESULTS_SERVER is the binary). A sanitizer build's leak check reads
# /proc of its PID namespace, which the Windows suite's namespace does not mount: it is left to the
# server's own tests.
lumresults_command() { ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$LAB_RESULTS_SERVER" "$@"; }

# lumresults COMMAND STATE ARGUMENT...: a command on the lab's store, the balanced lab's database
# (LAB_RESULTS_DATABASE) when it has one, else STATE/results.
lab_store_command() {
  local command=$1 state=$2
  shift 2
  if [ -n "${LAB_RESULTS_DATABASE:-}" ]; then
    lumresults_command "$command" --database "$LAB_RESULTS_DATABASE" "$@"
  else
    lumresults_command "$command" --data "$state/results" "$@"
  fi
}

# The reports lumresults stored in the lab's store during this run, as JSON: when several runs share the
# folder (LAB_RESULTS_DATA), those listed in STATE/earlier-reports are left out.
stored_reports() {
  local listing
  listing=$(lab_store_command reports "$1" --json 2>/dev/null) || return 0
  if [ ! -f "$1/earlier-reports" ] || [ -z "$listing" ]; then
    printf '%s\n' "$listing"
    return 0
  fi
  php -r '$earlier = array_column(json_decode(file_get_contents($argv[1]), true) ?: [], "id");
          $all = json_decode(stream_get_contents(STDIN), true);
          echo json_encode(array_values(array_filter($all, fn($r) => !in_array($r["id"], $earlier)))), "\n";' \
    "$1/earlier-reports" <<<"$listing"
}

# upload_arrived STATE RESULTS: the upload has reached the results server (lumresults or php), and lumresults
# has answered it: the report is stored before it is read, and the lab's end would cut the reading off. The
# answer shows in the access log, written after it: lumresults' own, or nginx's in the balanced lab.
upload_arrived() {
  if [ "$2" = php ]; then [ -f "$1/inbox/lumtest.log.received" ]; return; fi
  local log="$1/server.log"
  [ -z "${LAB_RESULTS_INSTANCES:-}" ] || log="$1/cluster/nginx/access.log"
  [ -f "$log" ] && grep -q '"POST /lumnettestresult.php ' "$log" || return 1
  [ "$(stored_reports "$1")" != "[]" ] && [ -n "$(stored_reports "$1")" ]
}

# expect_upload STATE REPORT EXPECT RESULTS CLIENT: the results server received the report, parsed as a
# form's file, and keeps it byte for byte with what it knew of the caller.
expect_upload() {
  if [ "$4" = php ]; then expect_php_upload "$1/inbox" "$2" "$3"; return; fi
  local listing
  listing=$(stored_reports "$1")
  case "$3" in
    passes|excluded|recorded)
      [ -n "$listing" ] && [ "$listing" != "[]" ] || { fail "no upload reached the server"; return; }
      # One report, from the subscriber's address, named and typed as the program sends it.
      php -r '$r = json_decode(stream_get_contents(STDIN), true);
              if (count($r) != 1) { echo "stored ", count($r), " reports\n"; exit(1); }
              $want = ["caller" => $argv[1], "file_name" => "lumtest.log", "content_type" => "text/plain"];
              foreach ($want as $k => $v) if ($r[0][$k] !== $v) { echo "$k is ", $r[0][$k], ", not $v\n"; exit(1); }
              if ($r[0]["sha256"] !== hash_file("sha256", $argv[2])) { echo "the stored digest is not the report\x27s\n"; exit(1); }
              echo $r[0]["id"];' "$5" "$2" <<<"$listing" >"$1/stored-id" || fail "stored upload: $(cat "$1/stored-id")"
      lab_store_command report "$1" "$(cat "$1/stored-id")" >"$1/stored-report" ||
        fail "lumresults report could not read the stored report back"
      cmp -s "$1/stored-report" "$2" || fail "the stored report differs from the program's report file" ;;
    disk-full) ;; # the upload body did not fit either
    *) [ -z "$listing" ] || [ "$listing" = "[]" ] || fail "something was uploaded: $listing" ;;
  esac
}

# expect_php_upload INBOX REPORT EXPECT: the PHP router kept the report as its form's file.
expect_php_upload() {
  case "$3" in
    passes|excluded)
      [ -f "$1/lumtest.log" ] || { fail "no upload reached the server"; return; }
      cmp -s "$1/lumtest.log" "$2" || fail "the uploaded file differs from the report"
      grep -qx 'name=lumtest.log' "$1/lumtest.log.received" || fail "the upload's file name is not lumtest.log"
      grep -qx 'type=text/plain' "$1/lumtest.log.received" || fail "the upload's type is not text/plain" ;;
    disk-full) ;;
    *) [ -z "$(ls -A "$1" 2>/dev/null)" ] || fail "something was uploaded" ;;
  esac
}
