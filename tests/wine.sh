# Running the Windows build under wine, for the script tests and the release
# checks (sourced): a prefix of our own under the build folder, no debug
# output, no offer to install Mono or Gecko.
#   wine_setup SOURCE_DIR   sets the environment and creates the prefix once,
#                           so that its first-run messages stay out of the runs
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_setup() {
  export WINEPREFIX=$1/build/wine
  mkdir -p "$WINEPREFIX"
  # Tests run in parallel: one makes the prefix, the others wait for it.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.ready" ]; then
      wine wineboot --init >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.ready"
    fi
  ) 9>"$1/build/wine.lock"
}
