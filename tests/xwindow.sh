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

#   window_missing PID LOG   says why a program showed no window: whether it
#       still runs (then where each of its threads waits, through gdb when it
#       is installed) or how it ended, the end of what it printed (LOG), and
#       the windows the display has. For a check that failed, so that a run
#       on another machine tells what happened there.
window_missing() {
  local pid=$1 log=$2 code
  echo "--- no window from process $pid:" >&2
  if kill -0 "$pid" 2>/dev/null; then
    echo "it still runs; its threads (name, state, wait channel):" >&2
    for task in /proc/"$pid"/task/*; do
      echo "  $(cat "$task/comm" 2>/dev/null) $(awk '{ print $3 }' "$task/stat" 2>/dev/null) $(cat "$task/wchan" 2>/dev/null)" >&2
    done
    command -v gdb >/dev/null &&
      timeout 60 gdb -p "$pid" -batch -nx -ex 'thread apply all bt 20' 2>&1 | grep -E '^(Thread|#)' >&2
  else
    wait "$pid" 2>/dev/null
    code=$?
    echo "it ended with exit code $code" >&2
  fi
  echo "what it printed (the last 40 lines):" >&2
  tail -n 40 "$log" >&2
  echo "the display's windows:" >&2
  xwininfo -root -tree 2>&1 | grep -E '^ +0x' | head -n 30 >&2
  echo "---" >&2
}
