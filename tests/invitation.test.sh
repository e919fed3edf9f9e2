#!/usr/bin/env bash
# A party's own invitation, as an organiser makes it with ./invitation.sh:
#   our own party folder (party/) makes today's data/ byte for byte;
#   a folder with five faults at once: each reported with its file and line,
#     exit code 1, OUT_DIR left as it was; an OUT_DIR that holds the party
#     folder or that the command did not make is refused and kept;
#   the example party (examples/skargard: a long name with letters outside
#     ASCII, other dates and pages, 22 kHz mono OGG music): exit 0, a preview
#     sheet, 44.1 kHz stereo music; the capture tool shows its facts where
#     ours are and our pictures elsewhere; the repacked Windows zip under wine
#     and the repacked web site (under node, and in Chromium with its facts
#     on the start screen and in the preview tags) show the Linux tool's
#     pixels.
# The release programs must exist (./release.sh windows, ./web.sh --build).
set -u
bin_dir=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
export ASAN_OPTIONS=detect_leaks=0
source "$here/checks.sh"
source "$here/wine.sh"
source "$here/faulty_party.sh"
trap 'wine_end; rm -rf "$work"' EXIT
py=/usr/bin/python3
invitation() {
  VELMORA_BIN_DIR=$bin_dir VELMORA_RELEASE_DIR=$source_dir/build/release-files \
    VELMORA_WEB_DIR=$source_dir/build/web "$source_dir/invitation.sh" "$@"
}

# Our own invitation comes from its party folder, through the kit (the base
# layers in data/layers/ are the kit's input, not its output).
"$bin_dir/velmora2k-kit" data "$source_dir/party" "$work/own" >/dev/null
check "party/ makes data/ byte for byte" diff -r -x layers "$source_dir/data" "$work/own/data"

# A folder with five faults, and an OUT_DIR from an earlier run.
bad=$work/bad
faulty_party "$bad"
mkdir -p "$work/out-bad"
echo "earlier" > "$work/out-bad/pak.pak"
invitation "$bad" "$work/out-bad" >"$work/bad.out" 2>"$work/bad.err"
code=$?
cat "$work/bad.err"
check "a bad folder: exit code 1" [ "$code" -eq 1 ]
check "missing key, with its file" grep -q "^$bad/party.txt: no \"place:\" line" "$work/bad.err"
check "long line, with file, line and column" grep -q "^$bad/pages/compo.txt:2:39: .*at most 38" "$work/bad.err"
check "unknown character, with file, line and column" grep -q "^$bad/pages/credits.txt:3:3: the page font has no 'ï'" "$work/bad.err"
check "wrong picture size, with its file" grep -q "^$bad/loading.png: 320 x 200 pixels; make it exactly 640 x 480" "$work/bad.err"
check "5 s of music, with its file" grep -q "^$bad/music.wav: 5.0 s of music, at least 20 s" "$work/bad.err"
check "all five together" grep -q "^5 problems in" "$work/bad.err"
check "OUT_DIR untouched" [ "$(ls "$work/out-bad"):$(cat "$work/out-bad/pak.pak")" = pak.pak:earlier ]
leftovers=$(find "$work" -maxdepth 1 -name '.invitation*')
check "no temporary folder left" [ -z "$leftovers" ]

# The example party, end to end.
out=$work/skargard
invitation "$source_dir/examples/skargard" "$out" >"$work/example.out" 2>&1
code=$?
tail -n 12 "$work/example.out"
check "example: exit code 0" [ "$code" -eq 0 ]
check "example: preview sheet of 9 frames" [ "$(identify -format '%w %h' "$out/preview.png" 2>/dev/null)" = "1920 1440" ]
rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels -of default=nw=1 "$out/qtn.mp3" | tr '\n' ' ')
check "example: music converted to 44.1 kHz stereo ($rate)" [ "$rate" = "sample_rate=44100 channels=2 " ]
check "example: checksums" bash -c "cd '$out' && sha256sum --quiet -c SHA256SUMS"
slug=skargardsfest-zeran-2031-invitation
win_zip=$out/$slug-win64.zip
web_zip=$out/$slug-web.zip
check "example: both release zips, named by the party" [ -f "$win_zip" -a -f "$web_zip" ]
check "example: SHA256SUMS lists them" grep -q "  $slug-win64.zip\$" "$out/SHA256SUMS"
check "example: the Windows zip's top folder is the party's" \
  [ "$(unzip -Z1 "$win_zip" | cut -d/ -f1 | sort -u)" = "$slug-win64" ]
unzip -p "$win_zip" "$slug-win64/README.txt" >"$work/readme.txt"
check "example: README.txt leads with the party's facts" \
  [ "$(sed -n '1p;3p;4p' "$work/readme.txt" | tr -d '\r')" = "$(printf '%s\n' "Skärgårdsfest Żerań 2031 invitation for Windows" \
     "Midsommar Édition" "Friday 19 - Sunday 21 June 2031")" ]
for zip in "$win_zip" "$web_zip"; do
  unzip -p "$zip" "*$slug.nfo" >"$work/info.nfo"
  unzip -p "$zip" "*file_id.diz" >"$work/diz"
  check "example: $(basename "$zip")'s info file: 80 columns, CR LF, printable ASCII" \
    [ -s "$work/info.nfo" -a "$(awk '{ sub(/\r$/, ""); if (length($0) > 80) n++ } END { print n + 0 }' "$work/info.nfo")" = 0 \
      -a "$(grep -c -v $'\r$' "$work/info.nfo")" = 0 -a "$(LC_ALL=C grep -c -P '[^\x20-\x7e\r]' "$work/info.nfo")" = 0 ]
  check "example: $(basename "$zip")'s file_id.diz: at most 10 lines of 45 columns" \
    [ -s "$work/diz" -a "$(wc -l <"$work/diz")" -le 10 -a "$(awk '{ sub(/\r$/, ""); if (length($0) > 45) n++ } END { print n + 0 }' "$work/diz")" = 0 ]
done
check "example: the web zip's favicon is the party's, not ours" \
  bash -c "! unzip -p '$web_zip' icon-32.png | cmp -s - '$source_dir/dist/icons/velmora2k_32.png'"

# OUT_DIR is replaced whole: never a folder that holds the party folder, never
# a folder the command did not make; both are refused and kept as they were.
mkdir -p "$work/holder" "$work/foreign"
cp -r "$source_dir/examples/skargard" "$work/holder/party"
echo keep > "$work/holder/notes.txt"
echo keep > "$work/foreign/notes.txt"
invitation --preview "$work/holder/party" "$work/holder" >/dev/null 2>&1
code=$?
check "an OUT_DIR holding the party folder: exit 2, kept ($code)" \
  [ "$code" -eq 2 -a -f "$work/holder/party/party.txt" -a -f "$work/holder/notes.txt" ]
invitation --preview "$source_dir/examples/skargard" "$work/foreign" >/dev/null 2>&1
code=$?
check "an OUT_DIR it did not make: exit 2, kept ($code)" [ "$code" -eq 2 -a "$(ls -A "$work/foreign")" = notes.txt ]
check "an OUT_DIR it made is replaced" invitation --preview "$source_dir/examples/skargard" "$work/again"
# Bad arguments end with 2 and say what is wrong.
for case in "--previw $source_dir/examples/skargard:unknown option --previw" \
            "$work/no-such-folder:not a folder" \
            "$work/holder/party $work/holder/party/out:inside the party folder"; do
  invitation ${case%%:*} >/dev/null 2>"$work/args.err"
  code=$?
  check "bad arguments (${case%%:*}): exit 2, saying '${case#*:}' ($code)" \
    [ "$code" -eq 2 -a -n "$(grep -F "${case#*:}" "$work/args.err")" ]
done

# Its facts where ours are, our pictures elsewhere: the menu (pointer on
# CONTACT) and the third caption, from both data folders.
for d in own:"$bin_dir" party:"$out"; do
  "$bin_dir/velmora2k-capture" --data "${d#*:}" --fps 10 --frames 201 --save 150,200 --out "$work/${d%%:*}" >/dev/null 2>&1
done
"$py" - "$work/own" "$work/party" "$source_dir/layout.json" <<'PY'
import json
import sys
from PIL import Image
own, party = sys.argv[1], sys.argv[2]
layout = json.load(open(sys.argv[3]))
def region(folder, frame, box):
    return Image.open("%s/frame_%06d.png" % (folder, frame)).crop(box).tobytes()
width = layout["screen"]["width"]
panel = layout["letter_boxes"]["panel"]
strip = layout["caption_strip"]
w3d = layout["window3d"]
differ = {"header band": (0, 0, width, layout["header_rows"]),
          "date block": (panel["dates"][0], panel["dates"][1], panel["country"][2], panel["country"][3]),
          "menu title": tuple(panel["title"]), "caption": (strip["x0"], strip["y0"], strip["x1"], strip["y1"])}
# The button column (its glass plate) and the footer are the test's own picks.
same = {"buttons": (226, 148, 416, 372),
        "blob window": (w3d["x"], w3d["y"], w3d["x"] + w3d["width"], w3d["y"] + w3d["height"]),
        "footer": (0, 446, width, layout["screen"]["height"])}
frame = {"caption": 150}
bad = [k for k, b in differ.items() if region(own, frame.get(k, 200), b) == region(party, frame.get(k, 200), b)]
bad += [k for k, b in same.items() if region(own, 200, b) != region(party, 200, b)]
print("regions wrong:", " ".join(bad) or "none")
sys.exit(1 if bad else 0)
PY
check "example: its facts in the header, date block, title and caption; buttons, blob and footer ours" [ $? -eq 0 ]

# The repacked Windows zip under wine: its own programs on its own data.
mkdir -p "$work/win" && (cd "$work/win" && unzip -q "$win_zip")
win_dir=$work/win/$slug-win64
bash "$here/same_pixels.sh" "$bin_dir" "$source_dir" windows "$out" "$win_dir"
check "example: the Windows zip under wine, the same pixels" [ $? -eq 0 ]

# The party's window: its title and icon from its archive, on Linux and from
# the repacked velmora2k.exe under wine, on a virtual display; the .exe's own
# icon, read back with wrestool and icotool, is the party's too.
title="Skärgårdsfest Żerań 2031 invitation"
"$bin_dir/paktool" cat "$out/pak.pak" icon.png >"$work/party_icon.png"
convert "$work/party_icon.png" -depth 8 RGB:- | od -An -v -tu1 -w3 |
  awk 'BEGIN { printf "64,64" } { printf ",%.0f", 4278190080 + $1 * 65536 + $2 * 256 + $3 } END { print "" }' \
  >"$work/party_icon.txt"
wrestool -x -t 14 "$win_dir/velmora2k.exe" >"$work/exe.ico" 2>/dev/null
mkdir -p "$work/exe_icons" && icotool -x -o "$work/exe_icons" "$work/exe.ico" 2>/dev/null
exe_64=$(ls "$work"/exe_icons/*_64x64x32.png 2>/dev/null | head -n 1)
differ=$(compare -metric AE "${exe_64:-none}" "$work/party_icon.png" null: 2>&1)
check "example: the .exe's 64 x 64 icon is the party's ($differ pixels differ)" [ "$differ" = 0 ]
mkdir -p "$work/linux"
cp "$bin_dir/velmora2k" "$out/pak.pak" "$out/qtn.mp3" "$work/linux/"
wine_setup "$source_dir"
cat >"$work/window.sh" <<'WINDOW'
set -u
source "$1/checks.sh"
source "$1/xwindow.sh"
work=$2 title=$3 win_dir=$4
# xprop prints the title's letters, not escapes, in a UTF-8 locale.
export LC_ALL=C.UTF-8
pid= win=
# start WHAT PROGRAM...: starts the program (pid), its output in WHAT.log,
# and waits up to 60 s for its window (win, empty when none appeared).
start() {
  local what=$1
  shift
  "$@" >"$work/$what.log" 2>&1 &
  pid=$!
  win=$(window_named 'invitation$')
}
# stop: Esc fades out and ends the run; a run that does not end (a box
# waiting for a click) is ended here, whatever signals it handles.
stop() {
  [ -n "${1:-}" ] && xdotool key --window "$1" Escape 2>/dev/null
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
}
# window WHAT PROGRAM...: starts it, checks its window's name and icon, ends
# it. A start that shows no window is reported with why (window_missing) and
# made once more, so that a fault of the moment on the machine running the
# test is told apart from one of the program, which fails again.
window() {
  local what=$1
  start "$@"
  if [ -z "$win" ]; then
    window_missing "$pid" "$work/$what.log"
    stop
    echo "$what: no window at the first start; starting it again" >&2
    start "$@"
    [ -z "$win" ] && window_missing "$pid" "$work/$what.log"
  fi
  check "$what: a window appears" [ -n "$win" ]
  if [ -n "$win" ]; then
    check "$what: the window's title is the party's" \
      [ "$(xprop -id "$win" -notype _NET_WM_NAME)" = "_NET_WM_NAME = \"$title\"" ]
    [ "$what" = Linux ] && window_icon "$win" "$work/party_icon.txt" >"$work/icon.txt" &&
      check "$what: the window's icon is the party's, pixel for pixel" \
        cmp -s "$work/icon.txt" "$work/party_icon.txt"
  fi
  stop "$win"
}
# The Linux program as in the X11 test: SDL's X11 driver, and no leak report
# at exit (the X and driver libraries' allocations are not ours).
SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ASAN_OPTIONS=detect_leaks=0 window Linux "$work/linux/velmora2k"
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv,wineoss.drv=" window Windows wine "$win_dir/velmora2k.exe"
checks_done
WINDOW
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/window.sh" "$here" "$work" "$title" "$win_dir"
check "example: the party's window on Linux and under wine" [ $? -eq 0 ]

# The repacked web site: its data under node, then the page in Chromium.
mkdir -p "$work/web" && (cd "$work/web" && unzip -q "$web_zip")
bash "$here/same_pixels.sh" "$bin_dir" "$source_dir" web "$out" "$work/web"
check "example: the web site's data under node, the same pixels" [ $? -eq 0 ]
index=$work/web/index.html
check "example: the page names the party" grep -q "Skärgårdsfest Żerań 2031" "$index"
check "example: none of our facts left in the page" bash -c "! grep -q -e Velmora -e Brenmar '$index'"
check "example: preview tags with the site's address" grep -q '<meta property="og:image" content="https://skargard.example.org/2031/title.jpg?v=' "$index"
stamp=$(sha256sum "$out/pak.pak" | cut -c1-16)
check "example: the page asks for the party's pak.pak" grep -q "\"pak.pak\": {\"size\": $(stat -c %s "$out/pak.pak"), \"stamp\": \"$stamp\"}" "$index"
"$bin_dir/velmora2k-kit" data "$source_dir/examples/skargard" "$work/expect" >/dev/null
bash "$here/web_browser.test.sh" "$bin_dir" "$source_dir" "$work/web" "$work/expect/data"
check "example: the web site in Chromium, its facts and pixels" [ $? -eq 0 ]

checks_done
