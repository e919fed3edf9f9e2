# Running the Windows build under wine, for the script tests and the release
# checks (sourced): a prefix of our own under the build folder, no debug
# output, no offer to install Mono or Gecko.
#   wine_setup SOURCE_DIR   sets the environment and creates the prefix once,
#                           so that its first-run messages stay out of the runs
#   wine_path PATH          the Windows form of a Linux path
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_setup() {
  export WINEPREFIX=$1/build/wine
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wine wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
}

wine_path() {
  winepath -w "$1" 2>/dev/null
}
