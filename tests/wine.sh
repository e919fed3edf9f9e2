# Running the Windows build under wine, for the script tests, the release
# checks and the benchmarks (sourced).
#
# Each caller runs in a prefix of its own, a copy of one made once under the
# build folder, so that it has a wine server of its own. A server is shared
# by every program of its prefix, and a program that opens a window joins the
# server's desktop with the display that server was started with: a console
# program started first without a display (by this test, by another test
# running at the same time, or by an earlier run still ending) would leave a
# desktop on which no window can open.
#   wine_setup SOURCE_DIR   sets the environment, makes the shared prefix once
#                           (its first-run messages stay out of the runs) and
#                           gives the caller its own copy of it
#   wine_restart            ends the caller's server and waits for it, so that
#                           the next program starts a new one with the
#                           display of its own environment
#   wine_end                ends the caller's server and removes its prefix
#                           (for the caller's EXIT trap)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_setup() {
  local made=$1/build/wine
  mkdir -p "$made"
  # Tests run in parallel: one makes the prefix, the others wait for it.
  (
    flock 9
    if [ ! -f "$made/.ready" ]; then
      WINEPREFIX=$made wine wineboot --init >/dev/null 2>&1
      WINEPREFIX=$made wineserver -w
      touch "$made/.ready"
    fi
  ) 9>"$1/build/wine.lock"
  WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/velmora-wine.XXXXXX")
  export WINEPREFIX
  cp -a "$made/." "$WINEPREFIX/"
}

wine_restart() {
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
}

wine_end() {
  [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || return 0
  wine_restart
  rm -rf "$WINEPREFIX"
}
