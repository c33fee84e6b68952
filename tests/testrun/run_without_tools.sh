#!/bin/sh
# tests/testrun/run_without_tools.sh: the whole program where there is no network and no tool to start.
# It runs in a network namespace of its own with only loopback, with an empty search path, so nothing it
# starts can run: Test 1 fails, the tests after it are skipped, and the report says so line by line.
set -u
program=$1
if ! unshare -n true 2>/dev/null; then
  echo "unshare -n is not permitted here (run the tests as root)" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/temp" "$out/no-tools"
unshare -n env -u windir TEMP="$out/temp" PATH="$out/no-tools" "$program" >"$out/stdout" 2>"$out/stderr"
status=$?

fail=0
[ "$status" -eq 0 ] || { echo "exit code $status, expected 0" >&2; fail=1; }
printf 'Test 1: Network Config -- Failed\nTest 7: Multicast Test -- Skip\n' >"$out/rows"
cmp -s "$out/rows" "$out/stdout" || { echo "rows differ:"; cat "$out/stdout"; fail=1; } >&2

# The report, with its two time stamps replaced by their shape.
cr=$(printf '\r')
{
  printf 'Lumora Network Test v1.4\r\n\r\nWindows Future\r\n\r\n=== TEST START === DATE\r\n\r\n'
  printf 'Test 1: Network Config\r\n\r\nroute print\r\n\r\nnetstat -abn\r\n\r\nhosts\r\n\r\n'
  printf '\r\n\r\n\r\n\r\nTest 7: Multicast Test\r\n\r\n=== TEST END === DATE\r\n'
} >"$out/expected-report"
sed -E "s/[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$cr\$/DATE$cr/" "$out/temp/lumtest.txt" >"$out/report" 2>/dev/null
cmp -s "$out/expected-report" "$out/report" || { echo "report differs:"; cat -A "$out/report"; fail=1; } >&2
# The upload body is the report between the form's head and its closing delimiter.
grep -q -- '--FILEUPLOAD--' "$out/temp/lumtest.log" 2>/dev/null || { echo "no upload body" >&2; fail=1; }
[ "$fail" -eq 0 ] || { echo "--- stderr:"; cat "$out/stderr"; } >&2
exit "$fail"
