#!/usr/bin/env bash
# Another build computes the same pixels as the desktop build: its capture
# tool runs against the native one, at 10 frames a second so the whole opening
# passes in a few hundred frames:
#   the 24 loading frames, every frame of the music-clocked opening, and a
#   scripted menu session: hover, a page with its cross-fades, scrolling both
#   ways, back to the menu, hover, Esc and the fade to black.
# Every frame must be byte-identical, both runs must end with the same closing
# line and write the same stderr, and the archive that the build's paktool
# packs must equal the native one. Where the build has the party kit's
# program, it makes the example party's files (examples/skargard) as the
# native one does: the same pak.pak and every file of data/ byte for byte.
#
# Usage: same_pixels.sh BIN_DIR SOURCE_DIR web|windows [DATA_DIR OTHER_DIR]
#   web      the WebAssembly build under node (build/web-cmake, ./web.sh --build)
#   windows  the Windows build under wine (build/windows, ./release.sh windows);
#            also: its paktool packs the same archive twice into one file, and
#            the unit tests built for Windows pass under wine (the maths and
#            the decoded music are Linux's, the file calls work)
#   DATA_DIR OTHER_DIR: another party's data: the native tool plays DATA_DIR,
#            the other build the pak.pak and qtn.mp3 in OTHER_DIR (an unpacked
#            web site; the folder of an unpacked Windows zip, whose own
#            programs run)
set -u
bin_dir=$1
source_dir=$2
build=$3
data_dir=${4:-}
other_dir=${5:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
here=$(dirname "$0")
source "$here/checks.sh"

case $build in
  web)
    web_bin=$source_dir/build/web-cmake/bin
    data=$source_dir/build/web
    if [ ! -f "$web_bin/velmora2k-capture.js" ] || [ ! -f "$data/pak.pak" ]; then
      echo "the web build is missing: run ./web.sh --build" >&2
      exit 1
    fi
    other_capture=(node --no-experimental-fetch "$web_bin/velmora2k-capture.js")
    other_kit=(node --no-experimental-fetch "$web_bin/velmora2k-kit.js")
    [ -n "$other_dir" ] && data=$other_dir
    ;;
  windows)
    win_bin=${other_dir:-$source_dir/build/windows/bin}
    if [ ! -f "$win_bin/velmora2k-capture.exe" ] || [ ! -f "$win_bin/paktool.exe" ]; then
      echo "the Windows build is missing: run ./release.sh windows" >&2
      exit 1
    fi
    source "$here/wine.sh"
    trap 'wine_end; rm -rf "$work"' EXIT
    wine_setup "$source_dir"
    data=${other_dir:-$bin_dir}
    other_capture=(wine "$win_bin/velmora2k-capture.exe")
    other_kit=(wine "$win_bin/velmora2k-kit.exe")
    ;;
  *)
    echo "usage: same_pixels.sh BIN_DIR SOURCE_DIR web|windows" >&2
    exit 2
    ;;
esac

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

native_line=$(run_capture "$work/native" "$bin_dir/velmora2k-capture" --data "${data_dir:-$bin_dir}")
other_line=$(run_capture "$work/other" "${other_capture[@]}" --data "$data")
echo "native:   $native_line"
echo "$build: $other_line"
check "the native run ends by Esc" [ "${native_line% after *}" = "ended: exit code 0" ]
check "same closing line" [ "$native_line" = "$other_line" ]
check "same messages on stderr (no progress on a pipe)" cmp -s "$work/native.err" "$work/other.err"
check "same frames saved" diff <(cd "$work/native" && ls) <(cd "$work/other" && ls)

# Frames compared by their pixels (the PNG encoders' zlib builds may differ).
/usr/bin/python3 - "$work/native" "$work/other" <<'PY'
import os, sys
from PIL import Image
native, other = sys.argv[1], sys.argv[2]
names = sorted(os.listdir(native))
differ = [n for n in names
          if os.path.exists(os.path.join(other, n))
          and Image.open(os.path.join(native, n)).tobytes() != Image.open(os.path.join(other, n)).tobytes()]
print(f"{len(names)} frames compared, {len(differ)} differ{': ' + ' '.join(differ[:10]) if differ else ''}")
sys.exit(1 if differ or len(names) < 280 else 0)
PY
check "every frame byte-identical" [ "$?" -eq 0 ]

# The party kit: each program reads the base files beside itself.
# same_files A B: the same files under both folders, byte for byte.
same_files() {
  local a=$1 b=$2 name
  diff <(cd "$a" && find . -type f | LC_ALL=C sort) <(cd "$b" && find . -type f | LC_ALL=C sort) >&2 || return 1
  while IFS= read -r -d '' name; do
    cmp "$a/$name" "$b/$name" >&2 || return 1
  done < <(cd "$a" && find . -type f -print0)
}
# made STATUS OUT_DIR: a kit's run ended well and wrote the archive and data.
made() {
  [ "$1" -eq 0 ] && [ -s "$2/pak.pak" ] && [ -n "$(ls -A "$2/data" 2>/dev/null)" ]
}
if [ -f "${other_kit[-1]}" ]; then
  party=$source_dir/examples/skargard
  "$bin_dir/velmora2k-kit" data "$party" "$work/kit-native" >"$work/kit-native.log" 2>&1
  status=$?
  check "the native kit makes the example party's files (exit code $status)" made "$status" "$work/kit-native" ||
    cat "$work/kit-native.log" >&2
  "${other_kit[@]}" data "$party" "$work/kit-other" >"$work/kit-other.log" 2>&1
  status=$?
  check "the $build kit makes them too (exit code $status)" made "$status" "$work/kit-other" ||
    cat "$work/kit-other.log" >&2
  check "the kits' pak.pak byte-identical" cmp "$work/kit-native/pak.pak" "$work/kit-other/pak.pak"
  check "the kits' data/ files byte-identical" same_files "$work/kit-native/data" "$work/kit-other/data"
fi

[ -n "$data_dir" ] && build=other_data   # the checks below are of our own data
case $build in
  web)
    check "same archive packed under node" cmp -s "$bin_dir/pak.pak" "$data/pak.pak"
    # Without --data, started from another folder, the tool under node finds
    # the data beside its own script.
    line=$(cd "$work" && node --no-experimental-fetch "$web_bin/velmora2k-capture.js" --frames 30 2>&1 | tail -n 1)
    check "node tool finds its data beside itself" [ "$line" = "stopped: after 30 frames" ]
    ;;
  windows)
    # The archive of the data files, packed twice into one file (the second
    # replaces the first).
    mapfile -t files < <(find "$source_dir/data" -maxdepth 1 -type f ! -name qtn.mp3 ! -name '.*' | LC_ALL=C sort)
    for _ in 1 2; do
      wine "$win_bin/paktool.exe" pack "$work/pak.pak" "${files[@]}" 2>"$work/paktool.err"
      check "paktool.exe packs (exit code $?)" [ -s "$work/pak.pak" ]
    done
    check "no message from paktool.exe" [ ! -s "$work/paktool.err" ]
    check "same archive packed under wine, twice into one file" cmp -s "$bin_dir/pak.pak" "$work/pak.pak"
    check "no partial archive left" [ ! -e "$work/pak.pak.partial" ]
    (cd "$work" && wine "$source_dir/build/windows/bin/wine_tests.exe" >"$work/units.txt" 2>&1)
    passed() { grep -q '^\[  PASSED  \] 4 tests' "$work/units.txt" && ! grep -q FAILED "$work/units.txt"; }
    passed || cat "$work/units.txt" >&2
    check "the unit tests for Windows pass under wine: Linux's maths and music, the file calls" passed
    ;;
esac

checks_done
