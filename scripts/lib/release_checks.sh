# scripts/lib/release_checks.sh: what every released build of the program must show: its processor, its imports, its manifest.

# The DLLs the program may load with itself, all of them the system's own: the runtime is linked in,
# so no MinGW DLL may appear. The ICMP library (iphlpapi.dll) is not among them either: a copy planted
# beside the program would be found first, so the echo loads it from the system folder at run time.
RELEASE_SYSTEM_DLLS="kernel32.dll user32.dll gdi32.dll comctl32.dll ole32.dll shell32.dll ws2_32.dll msvcrt.dll"
# The Windows releases the manifest claims (Vista, 7, 8, 8.1, 10 and 11): without them Windows 8.1 and
# later report themselves as Windows 8 to the version query, and the report names the wrong release.
RELEASE_SUPPORTED_OS="e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a
4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"

# release_objdump ARCH: the objdump of the build for ARCH (amd64 or x86).
release_objdump() {
  case "$1" in
    amd64) echo x86_64-w64-mingw32-objdump ;;
    x86) echo i686-w64-mingw32-objdump ;;
    *) return 1 ;;
  esac
}

# check_release_format EXE ARCH: the file is a PE image for ARCH.
check_release_format() {
  local format want
  case "$2" in amd64) want=pei-x86-64 ;; *) want=pei-i386 ;; esac
  format=$("$(release_objdump "$2")" -f "$1" 2>/dev/null | sed -n 's/.*file format //p')
  [ "$format" = "$want" ] || { echo "$(basename "$1") is '${format:-not a PE file}', not $want"; return 1; }
}

# check_release_imports EXE ARCH: every DLL the program loads with itself is one of RELEASE_SYSTEM_DLLS.
check_release_imports() {
  local imports dll problems=0
  imports=$("$(release_objdump "$2")" -p "$1" 2>/dev/null | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  [ -n "$imports" ] || { echo "no imports read from $(basename "$1")"; return 1; }
  for dll in $imports; do
    case " $RELEASE_SYSTEM_DLLS " in
      *" $dll "*) ;;
      *) echo "$(basename "$1") imports $dll, which is not one of the system DLLs it may load"; problems=1 ;;
    esac
  done
  return "$problems"
}

# check_release_manifest EXE ARCH: the manifest is stored verbatim among the resources, so its lines are
# found in the file's bytes: the program's identity for ARCH, the releases it claims and its rights.
check_release_manifest() {
  local id problems=0
  grep -aqE "<assemblyIdentity type=\"win32\" name=\"Lumora\\.NetworkTest\" version=\"[0-9.]+\" processorArchitecture=\"$2\"/>" "$1" ||
    { echo "$(basename "$1")'s manifest does not name the processor $2"; problems=1; }
  for id in $RELEASE_SUPPORTED_OS; do
    grep -aqF "<supportedOS Id=\"{$id}\"/>" "$1" || { echo "$(basename "$1")'s manifest does not claim {$id}"; problems=1; }
  done
  grep -aqF '<requestedExecutionLevel level="highestAvailable" uiAccess="false"/>' "$1" ||
    { echo "$(basename "$1")'s manifest does not ask for highestAvailable"; problems=1; }
  return "$problems"
}

# check_release_program EXE ARCH: all of the above; prints each problem and fails when there is one.
check_release_program() {
  local problems=0
  check_release_format "$1" "$2" || problems=1
  check_release_imports "$1" "$2" || problems=1
  check_release_manifest "$1" "$2" || problems=1
  return "$problems"
}
