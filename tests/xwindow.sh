# Finding a window on the test's X display (sourced by the scripts that run
# programs in windows).
#   window_named PATTERN [SECONDS]   prints the first window whose name
#       matches PATTERN, waiting up to SECONDS (default 60); nothing when none
#       appears. A search that meets a window closing under it (wine opens and
#       closes windows of its own while a program starts, and xdotool then
#       fails on the vanished window) is tried again.
window_named() {
  local pattern=$1 seconds=${2:-60} win=
  for _ in $(seq 1 $((seconds * 4))); do
    win=$(xdotool search --name "$pattern" 2>/dev/null | head -n 1)
    [ -n "$win" ] && break
    sleep 0.25
  done
  echo "$win"
}

#   window_icon WINDOW EXPECTED [SECONDS]   writes the window's _NET_WM_ICON as
#       xprop prints it (width, height, then each pixel as 0xAARRGGBB, comma
#       separated) to stdout once it equals the file EXPECTED, or as it last
#       read after SECONDS (default 10). A program sets its icon just after it
#       opens its window, so a read at once can come before it.
window_icon() {
  local win=$1 expected=$2 seconds=${3:-10} icon=
  for _ in $(seq 1 $((seconds * 4))); do
    icon=$(xprop -id "$win" -notype 32c _NET_WM_ICON 2>/dev/null | sed 's/^[^=]*= //' | tr -d ' ')
    [ "$icon" = "$(cat "$expected")" ] && break
    sleep 0.25
  done
  echo "$icon"
}
