# scripts/lib/packages.sh: installs the Debian packages a script needs, only when some are missing.

# ensure_packages PACKAGE...: apt-get update and install, once, for the packages that are not installed.
ensure_packages() {
  missing=""
  for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) || status=""
    case "$status" in
      *" installed") ;;
      *) missing="$missing $package" ;;
    esac
  done
  [ -z "$missing" ] && return 0
  echo "Installing:$missing"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# Packages of the native build and its tests.
NATIVE_PACKAGES="cmake ninja-build g++ googletest util-linux iproute2 php-cli ssmping wget"
# The fuzz targets (clang's libFuzzer) and the whole runs under Valgrind.
HARDENING_PACKAGES="clang libclang-rt-14-dev valgrind"
# Packages of the Windows cross-build and of running its tests under Wine; the window tests need a
# display (Xvfb) and take and check a screenshot (ImageMagick).
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 xvfb imagemagick fonts-liberation"
