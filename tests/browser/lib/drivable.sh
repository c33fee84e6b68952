# tests/browser/lib/drivable.sh (sh): the browsers of a list that the pinned driver can start, the others said in one line.

# drivable_browsers DIR LIST: prints those of LIST (chromium, firefox) that tests/browser/can-drive.mjs can
# start; DIR is tests/browser. Only firefox may be left out so (an ESR the pinned driver was not made for,
# where the machine's mirror served no other), and only beside chromium: the line on standard error says
# plainly what will not run. Fails, saying why, when anything else cannot be driven.
drivable_browsers() {
  drivable_=
  for browser_ in $2; do
    if reason_=$(cd "$1" && LUM_BROWSER=$browser_ node can-drive.mjs); then
      drivable_="$drivable_ $browser_"
    elif [ "$browser_" = firefox ] && [ "$2" != firefox ]; then
      echo "NOT RUN in firefox: $reason_" >&2
    else
      echo "$reason_" >&2
      return 1
    fi
  done
  echo "${drivable_# }"
}
