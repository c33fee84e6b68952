# scripts/lib/packages.sh: installs the Debian packages a script needs, only when some are missing.

# missing_packages PACKAGE...: prints those of the packages that are not installed, one a line.
missing_packages() {
  for package in "$@"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null) || status=""
    case "$status" in
      *" installed") ;;
      *) echo "$package" ;;
    esac
  done
}

# ensure_packages PACKAGE...: apt-get update and install, once, for the packages that are not installed.
# A package of another architecture (wine32:i386) needs that architecture known to dpkg before the
# update, or apt would not list it.
ensure_packages() {
  missing=$(missing_packages "$@" | awk '!seen[$0]++' | tr '\n' ' ')
  [ -z "$missing" ] && return 0
  echo "Installing: $missing"
  for package in $missing; do
    case "$package" in
      *:*) add_architecture "${package##*:}" ;;
    esac
  done
  # A mirror in the middle of a sync serves an index that does not match its Release file ("File has
  # unexpected size ... Mirror sync in progress?"); apt then ignores that index. When it is the security
  # suite's index of another architecture, the machine's own libraries have versions that architecture's
  # cannot match, and the install breaks. The second try takes both architectures' libraries from the
  # point release (security updates ranked below it for that one install); the third waits for the mirror.
  for attempt in 1 2 3; do
    case "$attempt" in
      1) ranking="" ;;
      2) ranking="-o Dir::Etc::Preferences=$(point_release_first)"
         echo "Installing again with the point release's versions first" ;;
      3) echo "Trying once more in 60 s, as the package mirror may be syncing"; sleep 60 ;;
    esac
    if apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
         $ranking $missing >/dev/null
    then
      return 0
    fi
  done
  echo "Could not install: $missing" >&2
  return 1
}

# point_release_first: writes, once, apt preferences that rank the security suite below the point release,
# and prints the file's path.
point_release_first() {
  file=/var/tmp/lumora-point-release-first.pref
  [ -f "$file" ] || printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 90\n' >"$file"
  echo "$file"
}

# add_architecture ARCH: lets dpkg install ARCH's packages beside the machine's own.
add_architecture() {
  [ "$1" = "$(dpkg --print-architecture)" ] && return 0
  dpkg --print-foreign-architectures | grep -qx "$1" && return 0
  echo "Adding the $1 architecture"
  dpkg --add-architecture "$1"
}

# What makes builds quicker, used when present (cmake/platform.cmake): the compiler cache and a faster linker.
BUILD_SPEED_PACKAGES="ccache mold"
# Packages of the native build and its tests.
NATIVE_PACKAGES="cmake ninja-build g++ googletest util-linux iproute2 php-cli ssmping wget $BUILD_SPEED_PACKAGES"
# The results server: its HTTP layer, stores (SQLite, PostgreSQL's client library), JSON, password hashing and
# page templates, charset detection (found through pkg-config), the directory's client library (staff sign-in
# over LDAP), and the time zones staff read times in.
SERVER_PACKAGES="pkg-config libmicrohttpd-dev libsqlite3-dev libpq-dev nlohmann-json3-dev libsodium-dev libkainjow-mustache-dev
  libuchardet-dev libldap-dev nettle-dev tzdata"
# The directory sign-in's tests: a scratch slapd of the test's own (the package may start a system one too,
# which the tests never use), and the tools to look at it by hand.
DIRECTORY_PACKAGES="slapd ldap-utils"
# The HTTPS listener's check: a lab CA and certificates (openssl), and a peer's own TLS scanner.
HTTPS_CHECK_PACKAGES="openssl curl testssl.sh python3"
# The store's tests on PostgreSQL and the balanced topology: a scratch PostgreSQL server, and nginx as the
# load balancer. Installing them starts no service here (a scratch server is started by each test).
CLUSTER_PACKAGES="postgresql nginx-light"
# The accounting listener's tests: FreeRADIUS as the operator's relay, radclient as the access nodes, sqlite3 to look (none
# started as a service: each test runs its own from a scratch configuration).
RADIUS_PACKAGES="freeradius freeradius-utils sqlite3"
# The results server's benchmark: the load generator, and nginx to compare with.
BENCH_PACKAGES="wrk nginx-light"
# The fuzz targets (clang's libFuzzer) and the whole runs under Valgrind.
HARDENING_PACKAGES="clang libclang-rt-14-dev valgrind"
# Wine, 64-bit and 32-bit, the same for every script: a Wine prefix belongs to the Wine installation that
# made it, so a script that installed less than another would have the other remake its prefixes.
WINE_PACKAGES="wine wine64 wine32:i386"
# Packages of the Windows cross-build and of running its tests under Wine; the window tests need a
# display (Xvfb) and take and check a screenshot (ImageMagick).
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 $WINE_PACKAGES xvfb imagemagick fonts-liberation"
# The 32-bit build's compilers (the 32-bit Wine that runs it is in WINE_PACKAGES).
X86_PACKAGES="g++-mingw-w64-i686-posix binutils-mingw-w64-i686"
# The release: both builds' compilers, the export of the commit, the zip, and signing.
RELEASE_PACKAGES="cmake ninja-build git g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 g++-mingw-w64-i686-posix binutils-mingw-w64-i686 zip osslsigncode openssl"
# Checking a release: its zips opened.
RELEASE_CHECK_PACKAGES="unzip"
# The support dashboard's browser tests: Debian's chromium and firefox-esr, driven from Node.js by npm's
# playwright-core (firefox-esr as shipped, over WebDriver BiDi).
# A Node.js that came with its own npm needs no other; Debian's nodejs has it in a package of its own.
# A Japanese font, so that the screenshots of a Japanese report show its letters rather than boxes.
BROWSER_PACKAGES="chromium nodejs fonts-ipafont-gothic"
command -v npm >/dev/null 2>&1 || BROWSER_PACKAGES="$BROWSER_PACKAGES npm"
# The flows run in firefox-esr too (the demo's pictures need only chromium).
FIREFOX_PACKAGES="firefox-esr"
# The speed test's accuracy benchmark: tc and ip shape the lab's line (iproute2), curl is the peer it is
# compared with; the page itself runs in the browser packages' chromium.
SPEEDTEST_BENCH_PACKAGES="iproute2 curl"
# The results server's Debian package (scripts/package, tests/package/run): debhelper, scdoc, lintian, the build.
PACKAGE_PACKAGES="build-essential debhelper fakeroot lintian scdoc git cmake ninja-build g++ $SERVER_PACKAGES"
