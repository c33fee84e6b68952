# scripts/lib/build.sh (sh): configures a CMake preset's build folder, made anew when it belongs to another checkout.

# configure_preset PRESET: `cmake --preset PRESET`, quietly, from the project's folder (each preset builds
# in build/PRESET). A build folder copied or moved with its checkout still names the old folder in its
# cache, and CMake refuses to use it: such a folder is removed first, saying so in one line.
configure_preset() {
  build_dir_=build/$1
  build_made_in_=
  [ -f "$build_dir_/CMakeCache.txt" ] &&
    build_made_in_=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$build_dir_/CMakeCache.txt")
  if [ -n "$build_made_in_" ] &&
     [ "$(cd "$build_made_in_" 2>/dev/null && pwd -P)" != "$(cd "$build_dir_" && pwd -P)" ]; then
    echo "Remaking $build_dir_: it was configured in $build_made_in_"
    rm -rf "$build_dir_"
  fi
  cmake --preset "$1" >/dev/null
}
