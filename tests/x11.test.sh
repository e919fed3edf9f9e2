#!/usr/bin/env bash
# The real velmora2k as people use it, on a virtual X display without a
# window manager (Xvfb, SDL's x11 driver), with xdotool as the hands:
#  1. the window is titled "Velmora2K invitation" (WM_NAME and
#     _NET_WM_NAME) with a 640 x 480 client area, its icon (_NET_WM_ICON) is
#     ours, dist/icons/velmora2k_64.png, pixel for pixel, and Esc sent to it at
#     once ends the run with exit code 0;
#  2. on a machine without an audio output device (forced: ALSA with a device
#     that does not exist) the music plays silently on a running clock: the
#     user is told once, and the 19-second opening still leads to the menu,
#     where a click made during the opening has chosen nothing.
#     There, with the system pointer (never captured): moving it onto a
#     button lights the button, a quick click opens the page, a quick right
#     click brings the menu back, and the pointer reaches a point outside
#     the window. The picture fits the window at 1000 x 600 and 1366 x 768
#     and is pixel-exact at 2x; F11 and Alt+Enter make it full screen and
#     back. Esc ends the run with exit code 0;
#  3. with no display (DISPLAY naming no server, or unset) the run reports a
#     display error and ends with 1 within 2 seconds; a video driver named in
#     SDL_VIDEODRIVER is taken as asked;
#  4. the program alone in a folder, without its data: a message box
#     captioned "KORAL ERROR !" names the first picture, says that pak.pak is
#     missing and where it was looked for, and where the data belongs; Return
#     closes it and the run ends with 1.
set -u
bin_dir=$1
source_dir=$2

if ! command -v xvfb-run >/dev/null || ! command -v xdotool >/dev/null; then
  echo "xvfb-run and xdotool are needed" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
here=$(dirname "$0")
source "$here/checks.sh"
source "$here/expected_page.sh"
# Sanitizer builds report leaks of the X and driver libraries at exit; they
# are not ours.
export ASAN_OPTIONS=detect_leaks=0

# The page the quick click on COMPO opens.
expected_page "$bin_dir" 215 "$work/page.png" || exit 1
# Our window icon as xprop prints _NET_WM_ICON: "64,64," and the opaque
# pixels in decimal.
convert "$source_dir/dist/icons/velmora2k_64.png" -depth 8 RGB:- | od -An -v -tu1 -w3 |
  awk 'BEGIN { printf "64,64" } { printf ",%.0f", 4278190080 + $1 * 65536 + $2 * 256 + $3 } END { print "" }' \
  >"$work/our_icon.txt"

cat >"$work/xrun.sh" <<'XRUN'
set -u
bin_dir=$1
work=$2
data=$3
source "$4/checks.sh"
source "$4/xwindow.sh"
export SDL_VIDEODRIVER=x11

pid=
win=

launch() {
  "$bin_dir/velmora2k" 2>"$work/stderr" &
  pid=$!
  win=$(window_named '^Velmora2K invitation$' 20)
  if [ -z "$win" ]; then
    echo "no window titled 'Velmora2K invitation' appeared" >&2
    window_missing "$pid" "$work/stderr"
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

geometry() {
  xwininfo -id "$win" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{print w "x" h "+" x "+" y}'
}

shot() {
  sleep 0.5
  xwd -id "$win" -silent >"$work/shot.xwd"
  convert "$work/shot.xwd" "$work/shot.png"
}

# differing CROP REFERENCE [REFERENCE_CROP]: pixels of the screenshot's crop
# that differ from the reference (or its own crop).
differing() {
  convert "$work/shot.png" -crop "$1" +repage "$work/a.png"
  convert "$2" -crop "${3:-$1}" +repage "$work/b.png"
  compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1
}

# expect_same WHAT CROP REFERENCE [REFERENCE_CROP]: the window's crop becomes
# exactly the reference's within a few seconds (a busy machine draws late).
expect_same() {
  local what=$1 differ=unknown
  shift
  for _ in $(seq 1 8); do
    shot
    differ=$(differing "$@")
    [ "$differ" = 0 ] && break
  done
  echo "$what: $differ pixels differ"
  check "$what" [ "$differ" = 0 ]
}

# fitted W H X Y PW PH: the picture fills PW x PH at (X, Y) in the latest
# shot: that rectangle's header band, brought back to 640 x 50, is close to
# the menu panel's, and the bar left of it is black.
fitted() {
  local h=$2 x=$3 y=$4 pw=$5 ph=$6 rmse bar=0
  convert "$work/shot.png" -crop "${pw}x$((ph * 50 / 480))+$x+$y" +repage -resize '640x50!' "$work/a.png"
  rmse=$(compare -metric RMSE "$work/a.png" "$work/panel_header.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  [ "$x" -gt 0 ] && bar=$(convert "$work/shot.png" -crop "${x}x${h}+0+0" -format '%[fx:maxima.r+maxima.g+maxima.b]' info:)
  echo "RMSE $rmse, bar $bar"
  awk -v r="$rmse" -v b="$bar" 'BEGIN{exit !(r < 0.06 && b == 0)}'
}

# fits W H: the client area is W x H and the picture fills the largest
# rectangle of its aspect inside it, centred on black.
fits() {
  local w=$1 h=$2 pw ph result
  if [ $((w * 480)) -le $((h * 640)) ]; then pw=$w; ph=$((w * 480 / 640)); else ph=$h; pw=$((h * 640 / 480)); fi
  check "client area $(geometry) is ${w}x${h}" [ "$(geometry | cut -d+ -f1)" = "${w}x${h}" ] || return
  for _ in $(seq 1 8); do
    shot
    result=$(fitted "$w" "$h" $(((w - pw) / 2)) $(((h - ph) / 2)) "$pw" "$ph") && break
  done
  echo "at ${w}x${h}: picture ${pw}x${ph}+$(((w - pw) / 2)), header against the panel's: $result"
  check "the picture fits ${w}x${h}" fitted "$w" "$h" $(((w - pw) / 2)) $(((h - ph) / 2)) "$pw" "$ph" >/dev/null
}

# --- Run 1: title, icon, size, Esc at once.
export SDL_AUDIODRIVER=dummy
check "a window titled 'Velmora2K invitation' appears" launch || { checks_done; exit 1; }
echo "window $win, client area $(geometry)"
check "the client area is 640x480" [ "$(geometry | cut -d+ -f1)" = "640x480" ]
names=$(xprop -id "$win" -notype WM_NAME _NET_WM_NAME)
echo "$names"
check "WM_NAME and _NET_WM_NAME are the title" [ "$names" = 'WM_NAME = "Velmora2K invitation"
_NET_WM_NAME = "Velmora2K invitation"' ]
# _NET_WM_ICON: width, height, then each pixel as 0xAARRGGBB.
window_icon "$win" "$work/our_icon.txt" >"$work/icon.txt"
echo "icon: $(cut -c 1-40 "$work/icon.txt")..."
check "the window's icon is ours, pixel for pixel" cmp -s "$work/icon.txt" "$work/our_icon.txt"
sleep 1
check "Esc at once ends the run with exit code 0" finish || { checks_done; exit 1; }

# --- Run 2: no audio device, the menu, the pointer, sizes, full screen.
export SDL_AUDIODRIVER=alsa AUDIODEV=velmora-no-such-device
check "a window appears without an audio device" launch || { checks_done; exit 1; }
convert "$data/panel.png" -crop 640x50+0+0 +repage "$work/panel_header.png"
# A click during the opening, over CONTACT (where the pointer starts), is
# made while nothing reads the mouse: it must choose nothing.
sleep 4
xdotool mousemove --window "$win" 320 240 click 1
# The opening lasts 19 seconds of the silent device's clock (a little more on
# a busy machine); then the header band (rows 0-49) must be exactly the menu
# panel's. Look every second, for a minute at most.
sleep 14
differ=unknown
for _ in $(seq 1 60); do
  kill -0 "$pid" 2>/dev/null || { check "velmora2k runs on to the menu" false; cat "$work/stderr" >&2; checks_done; exit 1; }
  shot
  differ=$(differing 640x50+0+0 "$work/panel_header.png" 640x50+0+0)
  [ "$differ" = 0 ] && break
  sleep 0.4
done
echo "header pixels differing from the menu panel: $differ"
check "the menu shows" [ "$differ" = 0 ] || { finish; checks_done; exit 1; }
told=$(grep -c '^no audio output device: playing without sound$' "$work/stderr")
check "told about the missing audio device once ($told times)" [ "$told" = 1 ]
sleep 1
expect_same "the click in the opening chose nothing" 220x390+0+50 "$data/panel.png"

# Onto compo: its lit picture shows (left of the pointer).
xdotool mousemove --window "$win" 270 215
expect_same "compo lit under the pointer" 20x30+245+202 "$data/on_compo.png" 20x30+0+0

# A quick click opens the page; with the pointer parked at the right, the
# text panel is exactly the headless backend's.
xdotool click 1
sleep 0.3
xdotool mousemove --window "$win" 600 240
expect_same "page opened by a quick click" 440x390+20+50 "$work/page.png"

# A quick right click brings the menu back (its left column is the panel's).
xdotool click 3
expect_same "menu back after a quick right click" 220x390+0+50 "$data/panel.png"

# The pointer is free: it reaches a point outside the window.
xdotool mousemove 1900 1100
sleep 0.3
where=$(xdotool getmouselocation | awk '{print $1, $2}')
echo "pointer outside the window: $where"
check "the pointer leaves the window ($where)" [ "$where" = "x:1900 y:1100" ]

# Any window size; 2x is exactly the panel enlarged by whole pixels. The
# window is moved to the corner first, so that all of it is on the screen.
xdotool windowmove "$win" 0 0
for size in "1000 600" "1366 768"; do
  xdotool windowsize "$win" $size
  fits $size
done
xdotool windowsize "$win" 1280 960
fits 1280 960
convert "$work/panel_header.png" -filter point -resize 200% "$work/panel_header2.png"
expect_same "header at 2x enlarged by whole pixels" 1280x100+0+0 "$work/panel_header2.png"

# Full screen and back, by F11 and by Alt+Enter, without a window manager.
# (Without one, nothing tells the program that the window was moved, so it
# comes back at its first place.)
for keys in F11 alt+Return; do
  xdotool key --window "$win" "$keys"
  sleep 0.4
  echo "$keys: $(geometry)"
  check "$keys makes the window full screen" [ "$(geometry)" = "1920x1200+0+0" ]
  fits 1920 1200
  xdotool key --window "$win" "$keys"
  sleep 0.4
  echo "$keys again: $(geometry)"
  check "$keys again brings the window back" [ "$(geometry | cut -d+ -f1)" = "1280x960" ]
  xdotool windowmove "$win" 0 0
done

check "Esc ends the run with exit code 0" finish
checks_done
XRUN
xvfb-run -a -s "-screen 0 1920x1200x24" bash "$work/xrun.sh" "$bin_dir" "$work" "$source_dir/data" "$here"
check "the run in a window" [ "$?" -eq 0 ]

# --- Run 3: no display. A display number no server answers, then none.
export SDL_AUDIODRIVER=dummy
unset WAYLAND_DISPLAY
# no_display LABEL ENV_ARGS...: runs velmora2k under `env ENV_ARGS...`; it must
# report a display error and end with 1 within 2 seconds.
no_display() {
  local label=$1 start end code ms
  shift
  start=$(date +%s%N)
  timeout 10 env "$@" "$bin_dir/velmora2k" 2>"$work/err"
  code=$?
  end=$(date +%s%N)
  ms=$(((end - start) / 1000000))
  echo "$label: exit code $code after $ms ms"
  [ "$code" -eq 1 ] && [ "$ms" -lt 2000 ] && grep -q "display error" "$work/err" || { cat "$work/err" >&2; return 1; }
}
check "DISPLAY=:65000: a display error and 1 within 2 s" no_display "DISPLAY=:65000" DISPLAY=:65000
check "no DISPLAY: a display error and 1 within 2 s" no_display "no DISPLAY" -u DISPLAY
# A driver named explicitly is respected: the invisible one runs on.
SDL_VIDEODRIVER=offscreen timeout 2 "$bin_dir/velmora2k" 2>/dev/null
code=$?
echo "SDL_VIDEODRIVER=offscreen: exit code $code (124: still running after 2 s)"
check "SDL_VIDEODRIVER=offscreen is taken as asked" [ "$code" -eq 124 ]

# --- Run 4: the program alone, without pak.pak and qtn.mp3.
lone="$work/lone folder"
mkdir -p "$lone"
cp "$bin_dir/velmora2k" "$lone/"
cat >"$work/lone.sh" <<'XRUN'
set -u
lone=$1
here=$2
source "$here/checks.sh"
"$lone/velmora2k" 2>"$lone/err" &
pid=$!
# SDL names its box in UTF-8 only, which xdotool's search does not read.
box=
for _ in $(seq 1 150); do
  box=$(xwininfo -root -tree | awk '/^ +0x[0-9a-f]+ "KORAL ERROR !":/ { print $1; exit }')
  [ -n "$box" ] && break
  sleep 0.2
done
check "a box captioned 'KORAL ERROR !' appears" [ -n "$box" ]
sleep 0.5
[ -n "$box" ] && xdotool windowfocus "$box" && xdotool key Return
for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
# A box nobody closed keeps the program (and its box process) waiting.
kill -0 "$pid" 2>/dev/null && { pkill -KILL -P "$pid"; kill -KILL "$pid"; echo "velmora2k did not end after the box" >&2; }
wait "$pid"
code=$?
echo "the lone program's box:"; cat "$lone/err"
check "the run ends with 1 ($code)" [ "$code" -eq 1 ]
check "the box names the first picture" grep -q -F "file on_load.png not found!" "$lone/err"
check "the box says pak.pak is missing and where it was looked for" \
  grep -q -F "The data archive pak.pak is missing (looked for at $lone/pak.pak)." "$lone/err"
check "the box says where the data belongs" grep -q -F "pak.pak and qtn.mp3 belong beside the program" "$lone/err"
checks_done
XRUN
SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/lone.sh" "$lone" "$here"
check "the lone program's box" [ "$?" -eq 0 ]
checks_done
