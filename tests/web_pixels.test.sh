#!/usr/bin/env bash
# The browser build computes the same pixels as the desktop build: the capture
# tool built for WebAssembly (build/web-cmake, made by ./web.sh --build) runs
# under node against the native capture tool, at 10 frames a second so the
# whole opening passes in a few hundred frames:
#   the 24 loading frames, every frame of the music-clocked opening, and a
#   scripted menu session: hover, a page with its cross-fades, scrolling both
#   ways, back to the menu, hover, Esc and the fade to black.
# Every frame must be byte-identical and both runs must end with the same
# closing line. The archive packed by paktool under node must equal the native one.
set -u
bin_dir=$1
source_dir=$2
web_bin=$source_dir/build/web-cmake/bin
site=$source_dir/build/web

if [ ! -f "$web_bin/velmora2k-capture.js" ] || [ ! -f "$site/pak.pak" ]; then
  echo "the web build is missing: run ./web.sh --build" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
source "$(dirname "$0")/checks.sh"

# The menu is in full view from frame 191 at 10 frames a second and the
# pointer starts at (320, 240); the session starts a little after.
menu=200
at() { echo "$((menu + $1)) $2"; }
{
  at 0 "move -20 -25"     # hover compo
  at 2 "down left"        # choose it: the page cross-fades in
  at 3 "up left"
  at 25 "move 0 300"      # bottom strip: scroll down
  at 35 "move 0 -200"
  at 40 "move 0 -300"     # top strip: scroll up
  at 43 "move 0 200"
  at 50 "down right"      # back to the menu
  at 51 "up right"
  at 60 "move -40 -25"    # hover info
  at 70 "key 27"          # leave: the fade to black
} > "$work/session.txt"

run_capture() {  # run_capture OUT_DIR COMMAND...
  local out=$1
  shift
  "$@" --fps 10 --input "$work/session.txt" --save all --out "$out" 2>"$out.err" | tail -n 1
}

native_line=$(run_capture "$work/native" "$bin_dir/velmora2k-capture" --data "$bin_dir")
web_line=$(run_capture "$work/web" node --no-experimental-fetch "$web_bin/velmora2k-capture.js" --data "$site")
echo "native: $native_line"
echo "web:    $web_line"
check "the native run ends by Esc" [ "${native_line% after *}" = "ended: exit code 0" ]
check "same closing line" [ "$native_line" = "$web_line" ]
check "same messages on stderr (no progress on a pipe)" cmp -s "$work/native.err" "$work/web.err"
check "same frames saved" diff <(cd "$work/native" && ls) <(cd "$work/web" && ls)

# Frames compared by their pixels (the PNG encoders' zlib builds may differ).
/usr/bin/python3 - "$work/native" "$work/web" <<'PY'
import os, sys
from PIL import Image
native, web = sys.argv[1], sys.argv[2]
names = sorted(os.listdir(native))
differ = [n for n in names
          if os.path.exists(os.path.join(web, n))
          and Image.open(os.path.join(native, n)).tobytes() != Image.open(os.path.join(web, n)).tobytes()]
print(f"{len(names)} frames compared, {len(differ)} differ{': ' + ' '.join(differ[:10]) if differ else ''}")
sys.exit(1 if differ or len(names) < 280 else 0)
PY
check "every frame byte-identical" [ "$?" -eq 0 ]
check "same archive packed under node" cmp -s "$bin_dir/pak.pak" "$site/pak.pak"

# Without --data, started from another folder, the tool under node finds the
# data beside its own script.
line=$(cd "$work" && node --no-experimental-fetch "$web_bin/velmora2k-capture.js" --frames 30 2>&1 | tail -n 1)
check "node tool finds its data beside itself" [ "$line" = "stopped: after 30 frames" ]

checks_done
