#!/usr/bin/env bash
# The real velmora2k in a real X window (Xvfb, SDL's x11 driver, dummy audio):
# the window is titled "Velmora2K invitation" with a 640 x 480 client area,
# and Esc sent to it ends the process with exit code 0.
set -u
bin_dir=$1

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run and xdotool are needed" >&2
  exit 1
fi

inner=$(mktemp)
trap 'rm -f "$inner"' EXIT
cat >"$inner" <<'INNER'
set -u
bin_dir=$1
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
# Sanitizer builds report leaks of the X and driver libraries at exit; they
# are not ours.
export ASAN_OPTIONS=detect_leaks=0
"$bin_dir/velmora2k" &
pid=$!
win=$(timeout 20 xdotool search --sync --name '^Velmora2K invitation$' | head -n 1)
if [ -z "$win" ]; then
  echo "no window titled 'Velmora2K invitation' appeared" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
geometry=$(xwininfo -id "$win" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
echo "window $win, client area $geometry"
if [ "$geometry" != "640x480" ]; then
  echo "client area is $geometry, not 640x480" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
sleep "${SMOKE_WAIT:-1}"
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key --window "$win" Escape
for _ in $(seq 1 200); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "velmora2k did not end after Esc" >&2
  kill -9 "$pid"
  exit 1
fi
wait "$pid"
code=$?
echo "exit code $code"
[ "$code" -eq 0 ]
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner" "$bin_dir"
