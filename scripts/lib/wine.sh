# scripts/lib/wine.sh: a Wine prefix of the build's own for the Windows tests, and the end of every Wine process.

# make_wine_prefix DIR: a fresh, quiet prefix; no crash dialog, which would wait forever for a click.
make_wine_prefix() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # No debugger for a crashing program either: Wine's would print its crash report into the program's
  # own output, which Windows never does. Without the value Wine starts its own anyway, so the value
  # names a program that does not exist. With 32-bit Wine installed, `wine reg` is the 32-bit reg,
  # which writes HKLM\Software into the 32-bit programs' view: /reg:64 names the 64-bit programs' one.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d 'lumtest-no-debugger %ld %ld' \
    /reg:64 /f >/dev/null 2>&1
  wineserver -w
}

# stop_wine: ends the wineserver of the current prefix and every Wine process that belongs to it.
stop_wine() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  return 0
}
