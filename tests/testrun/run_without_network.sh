#!/bin/sh
# tests/testrun/run_without_network.sh: runs the program where only loopback exists and checks how it ends.
# The program's first act is an echo to a public address, so it must never start outside a namespace of its own.
set -u
program=$1
if ! unshare -n true 2>/dev/null; then
  echo "unshare -n is not permitted here (run the tests as root)" >&2
  exit 1
fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
TEMP="$out" unshare -n "$program" >"$out/stdout" 2>"$out/stderr"
status=$?
expected="Lumora Network Test v1.4: Network problem, Please check your connection or call (00)5550-0199"
fail=0
[ "$status" -eq 0 ] || { echo "exit code $status, expected 0" >&2; fail=1; }
grep -qxF "$expected" "$out/stderr" || { echo "missing the network-problem message" >&2; fail=1; }
# Nothing may be written before the checks have passed.
[ -z "$(ls -A "$out" | grep -v -e '^stdout$' -e '^stderr$')" ] || { echo "files were created" >&2; fail=1; }
[ "$fail" -eq 0 ] || { echo "--- stderr:"; cat "$out/stderr"; } >&2
exit "$fail"
