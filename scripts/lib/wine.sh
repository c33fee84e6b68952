# scripts/lib/wine.sh (sh): the Windows tests' Wine prefixes, made anew when the Wine installation changes, and the end of every Wine process.
#
# A prefix belongs to the Wine that made it: one made before 32-bit Wine was installed no longer starts
# anything afterwards ("could not load kernel32.dll"), and WINEARCH is fixed when it is made. So each
# prefix keeps, in its file made-for, the Wine it was made for, and a prefix reused under another is made
# again first.

# wine_installation: one line naming the Wine a prefix made now would belong to: Wine's version, the
# architectures whose Wine is installed (the Unix halves it loads) and the prefix's processor.
wine_installation() {
  wine_arches_=$(ls -d /usr/lib/wine/*-unix /usr/lib/*/wine/*-unix /opt/wine*/lib*/wine/*-unix 2>/dev/null |
    sed 's|.*/||; s|-unix$||' | sort -u | tr '\n' ' ')
  printf '%s; architectures: %s; WINEARCH=%s\n' "$(wine --version 2>/dev/null || echo 'no wine')" \
    "${wine_arches_% }" "${WINEARCH:-win64}"
}

# make_wine_prefix_once_: a fresh, quiet prefix in WINEPREFIX, marked as made for this Wine at the end.
# No crash dialog, which would wait forever for a click; no debugger for a crashing program either:
# Wine's would print its crash report into the program's own output, which Windows never does, and
# without the value Wine starts its own, so the value names a program that does not exist. With 32-bit
# Wine installed, `wine reg` is the 32-bit reg, which writes HKLM\Software into the 32-bit programs'
# view: /reg:64 names the 64-bit programs' one (a 32-bit prefix has only one). And as the displays here
# have no window manager, Wine draws the frames itself instead of waiting for one at every window.
make_wine_prefix_once_() {
  rm -rf "$WINEPREFIX" && mkdir -p "$(dirname "$WINEPREFIX")" &&
    wineboot -i &&
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f &&
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger \
      /d 'lumtest-no-debugger %ld %ld' /reg:64 /f &&
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f &&
    wineserver -w &&
    wine_installation >"$WINEPREFIX/made-for"
}

# use_wine_prefix_ DIR: the prefix every later Wine command of the caller runs in, quietly.
use_wine_prefix_() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# make_wine_prefix DIR LOG: a fresh prefix in DIR (anything there before is removed), Wine's own output in
# LOG; exports WINEPREFIX and the quiet settings. One Wine start in about seventy fails before it runs
# anything: a second try.
make_wine_prefix() {
  use_wine_prefix_ "$1"
  mkdir -p "$(dirname "$2")"
  make_wine_prefix_once_ >"$2" 2>&1 || make_wine_prefix_once_ >>"$2" 2>&1 || {
    echo "wine.sh: could not make the Wine prefix $1:" >&2
    cat "$2" >&2
    return 1
  }
}

# ensure_wine_prefix DIR LOG: the prefix in DIR as it is when it was made for the Wine installed now;
# made anew otherwise (as make_wine_prefix does), saying why in one line.
ensure_wine_prefix() {
  use_wine_prefix_ "$1"
  wine_now_=$(wine_installation)
  if [ -f "$1/made-for" ]; then
    [ "$(cat "$1/made-for")" = "$wine_now_" ] && return 0
    echo "Remaking the Wine prefix $1: it was made for $(cat "$1/made-for"), and this is $wine_now_"
  elif [ -e "$1" ]; then
    echo "Remaking the Wine prefix $1: nothing says which Wine it was made for"
  else
    echo "Making the Wine prefix $1"
  fi
  make_wine_prefix "$1" "$2"
}

# stop_wine: ends the wineserver of the current prefix and every Wine process that belongs to it; none
# running is no failure, even under set -e.
stop_wine() {
  [ -z "${WINEPREFIX:-}" ] || wineserver -k >/dev/null 2>&1 || true
}
