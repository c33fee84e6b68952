# scripts/lib/promtool.sh (sh): promtool, from Debian's prometheus package unpacked rather than installed, since
# installing it would start a Prometheus server of its own. Sourced; needs apt's lists (ensure_packages).

# promtool_in DIR: prints the path of a promtool, the machine's own or one unpacked into DIR.
promtool_in() {
  if command -v promtool >/dev/null 2>&1; then command -v promtool; return; fi
  if [ ! -x "$1/usr/bin/promtool" ]; then
    mkdir -p "$1"
    (cd "$1" && apt-get download -qq prometheus >/dev/null && dpkg-deb -x prometheus_*.deb . && rm -f prometheus_*.deb)
  fi
  echo "$1/usr/bin/promtool"
}
