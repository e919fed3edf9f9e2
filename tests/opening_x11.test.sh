#!/usr/bin/env bash
# The real velmora2k plays its loading and opening in a real X window (Xvfb,
# SDL's x11 driver, SDL's dummy audio driver, which clocks the music), shows
# the menu after it, and ends with exit code 0 on Esc.
set -u
bin_dir=$1
source_dir=$2

shot_dir=$(mktemp -d)
inner=$(mktemp)
trap 'rm -rf "$inner" "$shot_dir"' EXIT
cat >"$inner" <<'INNER'
set -u
bin_dir=$1
shot_dir=$2
panel=$3
export SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0
"$bin_dir/velmora2k" &
pid=$!
win=$(timeout 20 xdotool search --sync --name '^Velmora2K invitation$' | head -n 1)
if [ -z "$win" ]; then
  echo "no window appeared" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi
# The opening lasts 19 seconds of music; the dummy driver may run a little
# slow on a busy machine. Then the header band of the window (rows 0-49)
# must be exactly the menu panel's.
sleep 26
if ! kill -0 "$pid" 2>/dev/null; then
  echo "velmora2k ended before the menu" >&2
  exit 1
fi
xwd -id "$win" -silent > "$shot_dir/menu.xwd"
convert "$shot_dir/menu.xwd" "$shot_dir/menu.png"
mean=$(convert "$shot_dir/menu.png" -colorspace gray -format '%[fx:int(mean*255)]' info:)
echo "menu screenshot mean brightness $mean"
convert "$shot_dir/menu.png" -crop 640x50+0+0 +repage "$shot_dir/header.png"
convert "$panel" -crop 640x50+0+0 +repage "$shot_dir/panel_header.png"
differ=$(compare -metric AE "$shot_dir/header.png" "$shot_dir/panel_header.png" null: 2>&1)
echo "header pixels differing from the panel: $differ"
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
[ "$code" -eq 0 ] && [ "$mean" -gt 10 ] && [ "$differ" = 0 ]
INNER
xvfb-run -a -s "-screen 0 1024x768x24" bash "$inner" "$bin_dir" "$shot_dir" "$source_dir/data/panel.png"
