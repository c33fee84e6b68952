#!/bin/sh
# tests/testrun/win32/run_without_network.sh: lumtest.exe where only loopback exists: the network-problem box,
# closed with OK, then exit code 0 and no report. Runs inside a network namespace of its own (in-own-network).
#   run_without_network.sh <wine runner> <lumtest.exe> <message_box_reader.exe>
set -u
runner=$1
program=$2
reader=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$runner" "$program" >"$out/program.out" 2>&1 &
program_pid=$!
"$runner" "$reader" "$(winepath -w "$out/message.txt" 2>/dev/null)" >"$out/reader.out" 2>&1
reader_status=$?
wait "$program_pid"
status=$?
fail=0
[ "$reader_status" -eq 0 ] || { echo "no message box appeared"; cat "$out/reader.out"; fail=1; } >&2
message=$(cat "$out/message.txt" 2>/dev/null)
[ "$message" = "Network problem, Please check your connection or call (00)5550-0199" ] ||
  { echo "message was: [$message]" >&2; fail=1; }
[ "$status" -eq 0 ] || { echo "lumtest.exe ended with exit code $status" >&2; cat "$out/program.out" >&2; fail=1; }
exit "$fail"
