# scripts/lib/stages.sh (sh): a command's stages, each timed, some chosen by --only, and a table of their times at the end.
#
# The calling script sets STAGES, a line per stage: its name, then its title. A stage is a shell function
# of the script, stage_NAME (dashes as underscores), run in a subshell with `set -e`, so that its first
# failing command ends it. `stage NAME` runs it in the foreground; `stage_start NAME` in the background,
# its output kept until `stage_wait NAME` prints it, so that two stages can share the machine's two
# cores without their lines mixing. Each stage's time, on the clock and on the processors, goes to
# $STAGE_TIMES, which stages_report prints: a stage whose processor time is far below twice its clock time
# leaves a core idle, and may share the machine with another.

STAGE_TIMES=${STAGE_TIMES:-build/test-times.txt}
STAGE_LOGS=${STAGE_LOGS:-build/stage-logs}
stages_only=""
stages_started_at=$(date +%s)

stage_names() { printf '%s\n' "$STAGES" | awk 'NF { print $1 }'; }
stage_title() { printf '%s\n' "$STAGES" | awk -v name="$1" '$1 == name { $1 = ""; sub(/^ +/, ""); print }'; }
stages_list() { printf '%s\n' "$STAGES" | awk 'NF { name = $1; $1 = ""; sub(/^ +/, ""); printf "  %-14s %s\n", name, $0 }'; }

# stages_choose ARGUMENTS: --only NAME... picks stages (all without it); --list prints them and exits.
stages_choose() {
  while [ $# -gt 0 ]; do
    case "$1" in
      --only)
        shift
        while [ $# -gt 0 ] && [ "${1#-}" = "$1" ]; do stages_only="$stages_only $1"; shift; done
        [ -n "$stages_only" ] || { echo "$0: --only needs at least one stage (--list names them)" >&2; exit 2; } ;;
      --list) echo "The stages, in the order they run:"; stages_list; exit 0 ;;
      -h | --help) echo "usage: $0 [--only STAGE...] [--list]"; exit 0 ;;
      *) echo "$0: unknown argument $1 (--only STAGE..., --list)" >&2; exit 2 ;;
    esac
  done
  for wanted in $stages_only; do
    stage_names | grep -qx -- "$wanted" || { echo "$0: no stage called $wanted; the stages:" >&2; stages_list >&2; exit 2; }
  done
  mkdir -p "$(dirname "$STAGE_TIMES")" "$STAGE_LOGS"
  : >"$STAGE_TIMES.part"
}

# Whether stage NAME runs in this invocation.
stage_wanted() {
  [ -z "$stages_only" ] && return 0
  for wanted in $stages_only; do [ "$wanted" = "$1" ] && return 0; done
  return 1
}

stage_minutes() { printf '%d min %02d s' $(($1 / 60)) $(($1 % 60)); }

# stage_cpu_seconds FILE: the processor time (user and system) that `times` wrote for a stage's processes.
stage_cpu_seconds() {
  awk '{ for (i = 1; i <= 2; i++) { split($i, part, /m/); sub(/s$/, "", part[2]); total += part[1] * 60 + part[2] } }
    END { printf "%d", total }' "$1" 2>/dev/null || echo 0
}

# stage_run NAME: the stage's function in a subshell with `set -e`, its processor time noted as it ends.
stage_run() {
  (trap 'times >"$STAGE_LOGS/$1.cpu"' EXIT; set -e; "stage_$(echo "$1" | tr - _)")
}

# stage_record NAME SECONDS STATUS
stage_record() {
  printf '%s %s %s %s\n' "$1" "$2" "$3" "$(stage_cpu_seconds "$STAGE_LOGS/$1.cpu")" >>"$STAGE_TIMES.part"
  if [ "$3" -eq 0 ]; then echo "== $1: done in $(stage_minutes "$2")"; else echo "== $1: FAILED after $(stage_minutes "$2")"; fi
}

# stage NAME: runs stage_NAME in the foreground; a failure ends the command, after the table.
stage() {
  stage_wanted "$1" || return 0
  echo "== $1: $(stage_title "$1")"
  stage_began=$(date +%s)
  set +e
  stage_run "$1"
  stage_status=$?
  set -e
  stage_record "$1" $(($(date +%s) - stage_began)) "$stage_status"
  [ "$stage_status" -eq 0 ] || stages_fail "$1"
}

# stage_start NAME: runs stage_NAME in the background, its output in $STAGE_LOGS/NAME.log.
stage_start() {
  stage_wanted "$1" || return 0
  echo "== $1: started beside what follows ($(stage_title "$1"))"
  rm -f "$STAGE_LOGS/$1.done"
  (
    began=$(date +%s)
    set +e
    stage_run "$1" >"$STAGE_LOGS/$1.log" 2>&1
    echo "$(($(date +%s) - began)) $?" >"$STAGE_LOGS/$1.done"
  ) &
  echo $! >"$STAGE_LOGS/$1.pid"
}

# stage_wait NAME: waits for a stage that stage_start began, then prints its output and its time.
stage_wait() {
  stage_wanted "$1" || return 0
  wait "$(cat "$STAGE_LOGS/$1.pid")" 2>/dev/null || true
  rm -f "$STAGE_LOGS/$1.pid"
  echo "== $1: its output"
  cat "$STAGE_LOGS/$1.log"
  read -r stage_seconds stage_status <"$STAGE_LOGS/$1.done" || { stage_seconds=0 stage_status=1; }
  stage_record "$1" "$stage_seconds" "$stage_status"
  [ "$stage_status" -eq 0 ] || stages_fail "$1"
}

# stage_kill_tree PID: ends a process and every process under it, the deepest first.
stage_kill_tree() {
  for child in $(ps -o pid= --ppid "$1" 2>/dev/null); do stage_kill_tree "$child"; done
  kill "$1" 2>/dev/null || true
}

# stage_stop_background: ends every stage still running in the background (once another has failed).
stage_stop_background() {
  for pid_file in "$STAGE_LOGS"/*.pid; do
    [ -f "$pid_file" ] || continue
    stage_kill_tree "$(cat "$pid_file")"
    rm -f "$pid_file"
  done
}

# The table of every stage that ran and the whole command's time, printed and kept in $STAGE_TIMES.
stages_report() {
  total=$(($(date +%s) - stages_started_at))
  {
    printf '%-14s %8s %12s  %-7s %s\n' stage seconds "cpu seconds" result minutes
    while read -r name seconds status cpu; do
      [ "$status" -eq 0 ] && result=passed || result=FAILED
      printf '%-14s %8s %12s  %-7s %s\n' "$name" "$seconds" "$cpu" "$result" "$(stage_minutes "$seconds")"
    done <"$STAGE_TIMES.part"
    printf '%-14s %8s %12s  %-7s %s\n' total "$total" "" "" "$(stage_minutes "$total") (wall clock: stages side by side overlap)"
  } >"$STAGE_TIMES"
  rm -f "$STAGE_TIMES.part"
  echo "== Stage times (also in $STAGE_TIMES)"
  cat "$STAGE_TIMES"
}

stages_fail() {
  stage_stop_background
  stages_report
  echo "== The stage $1 failed" >&2
  exit 1
}
