#!/bin/sh
# tests/testrun/run_without_network.sh: the whole program where only loopback exists: it must show its
# network-problem message, write nothing and end with exit code 0.
# Its first act is an echo to a public address, so it never starts outside a network namespace of its own.
set -u
program=$1
if ! unshare -n true 2>/dev/null; then
  echo "unshare -n is not permitted here (run the tests as root)" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
mkdir "$out/temp" "$out/no-tools"
unshare -n env TEMP="$out/temp" PATH="$out/no-tools" "$program" >"$out/stdout" 2>"$out/stderr"
status=$?
expected="Lumora Network Test v1.4: Network problem, Please check your connection or call (00)5550-0199"
fail=0
[ "$status" -eq 0 ] || { echo "exit code $status, expected 0" >&2; fail=1; }
grep -qxF "$expected" "$out/stderr" || { echo "missing the network-problem message" >&2; fail=1; }
# Nothing is written and nothing is started before the checks have passed: no report, no rows.
[ -z "$(ls -A "$out/temp")" ] || { echo "files were created: $(ls "$out/temp")" >&2; fail=1; }
[ ! -s "$out/stdout" ] || { echo "rows were shown" >&2; fail=1; }
[ "$fail" -eq 0 ] || { echo "--- stderr:"; cat "$out/stderr"; } >&2
exit "$fail"
