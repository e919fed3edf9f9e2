#!/usr/bin/env bash
# The real velmora2k in a real X window (Xvfb, SDL's x11 driver, SDL's dummy
# audio driver, which clocks the music), in two runs:
#  1. the window is titled "Velmora2K invitation" with a 640 x 480 client
#     area, and Esc sent to it at once ends the run with exit code 0;
#  2. the loading and the 19-second opening play, the window then shows the
#     menu (its header band is exactly the menu panel's), and Esc ends the
#     run with exit code 0.
set -u
bin_dir=$1
source_dir=$2

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run and xdotool are needed" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/xrun.sh" <<'XRUN'
set -u
bin_dir=$1
work=$2
panel=$3
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
# Sanitizer builds report leaks of the X and driver libraries at exit; they
# are not ours.
export ASAN_OPTIONS=detect_leaks=0

pid=
win=

launch() {
  "$bin_dir/velmora2k" &
  pid=$!
  win=$(timeout 20 xdotool search --sync --name '^Velmora2K invitation$' | head -n 1)
  if [ -z "$win" ]; then
    echo "no window titled 'Velmora2K invitation' appeared" >&2
    kill "$pid" 2>/dev/null
    return 1
  fi
}

# Sends Esc and waits for the run to end with exit code 0.
finish() {
  xdotool key --window "$win" Escape
  for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "velmora2k did not end after Esc" >&2
    kill -9 "$pid"
    return 1
  fi
  wait "$pid"
  local code=$?
  echo "exit code $code"
  [ "$code" -eq 0 ]
}

launch || exit 1
geometry=$(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
echo "window $win, client area $geometry"
[ "$geometry" = "640x480" ] || { echo "client area is $geometry, not 640x480" >&2; finish; exit 1; }
sleep 1
finish || exit 1

launch || exit 1
# The opening lasts 19 seconds of music (the dummy driver may run a little
# slow on a busy machine); then the window's header band (rows 0-49) must be
# exactly the menu panel's. Look every two seconds, for a minute at most.
convert "$panel" -crop 640x50+0+0 +repage "$work/panel_header.png"
sleep 18
differ=unknown
for _ in $(seq 1 30); do
  kill -0 "$pid" 2>/dev/null || { echo "velmora2k ended before the menu" >&2; exit 1; }
  xwd -id "$win" -silent > "$work/menu.xwd"
  convert "$work/menu.xwd" -crop 640x50+0+0 +repage "$work/header.png"
  differ=$(compare -metric AE "$work/header.png" "$work/panel_header.png" null: 2>&1)
  [ "$differ" = 0 ] && break
  sleep 2
done
echo "header pixels differing from the menu panel: $differ"
finish || exit 1
[ "$differ" = 0 ]
XRUN
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/xrun.sh" "$bin_dir" "$work" "$source_dir/data/panel.png"
