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
#     pixels; a second run with nothing changed makes nothing again.
# The release programs must exist (./release.sh windows, ./web.sh --build).
set -u
bin_dir=$1
source_dir=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
source "$here/checks.sh"
py=/usr/bin/python3
invitation() {
  VELMORA_BIN_DIR=$bin_dir VELMORA_RELEASE_DIR=$source_dir/build/release-files \
    VELMORA_WEB_DIR=$source_dir/build/web "$source_dir/invitation.sh" "$@"
}

# Our own invitation comes from its party folder.
"$py" "$source_dir/tools/make_party_data.py" "$source_dir/party" "$work/own" >/dev/null
check "party/ makes data/ byte for byte" diff -r "$source_dir/data" "$work/own"

# A folder with five faults, and an OUT_DIR from an earlier run.
bad=$work/bad
mkdir -p "$bad/pages" "$work/out-bad"
printf 'name: Fault Party\nedition: First\ndates: 1 - 2 May 2030\nsummary: Faults.\n' > "$bad/party.txt"
for p in info compo contact credits; do echo "$p" > "$bad/pages/$p.txt"; done
printf 'fine\nthis line is far too long for the page of the invitation\n' > "$bad/pages/compo.txt"
printf 'fine\n\nna\xc3\xafve\n' > "$bad/pages/credits.txt"
convert -size 320x200 xc:navy "$bad/loading.png"
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=5" -ar 48000 "$bad/music.wav"
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
check "example: preview sheet of 8 frames" [ "$(identify -format '%w %h' "$out/preview.png" 2>/dev/null)" = "2560 960" ]
rate=$(ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels -of default=nw=1 "$out/qtn.mp3" | tr '\n' ' ')
check "example: music converted to 44.1 kHz stereo ($rate)" [ "$rate" = "sample_rate=44100 channels=2 " ]
check "example: checksums" bash -c "cd '$out' && sha256sum --quiet -c SHA256SUMS"
win_zip=$(ls "$out"/velmora2k-*-win64.zip 2>/dev/null)
web_zip=$(ls "$out"/velmora2k-*-web.zip 2>/dev/null)
check "example: both release zips" [ -n "$win_zip" -a -n "$web_zip" ]
again=$(invitation --preview "$source_dir/examples/skargard" "$work/again" 2>&1 | grep '^made:')
check "example: nothing remade when nothing changed ($again)" [ "$again" = "made: nothing, all up to date" ]

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

# Its facts where ours are, our pictures elsewhere: the menu (pointer on
# CONTACT) and the third caption, from both data folders.
for d in own:"$bin_dir" party:"$out"; do
  "$bin_dir/velmora2k-capture" --data "${d#*:}" --fps 10 --frames 201 --save 150,200 --out "$work/${d%%:*}" >/dev/null 2>&1
done
"$py" - "$work/own" "$work/party" <<'PY'
import sys
from PIL import Image
own, party = sys.argv[1], sys.argv[2]
def region(folder, frame, box):
    return Image.open("%s/frame_%06d.png" % (folder, frame)).crop(box).tobytes()
differ = {"header band": (0, 0, 640, 50), "date block": (26, 286, 224, 372),
          "menu title": (140, 51, 500, 140), "caption": (293, 440, 605, 472)}
same = {"buttons": (226, 148, 416, 372), "blob window": (480, 285, 630, 415),
        "footer": (0, 446, 640, 480)}
frame = {"caption": 150}
bad = [k for k, b in differ.items() if region(own, frame.get(k, 200), b) == region(party, frame.get(k, 200), b)]
bad += [k for k, b in same.items() if region(own, 200, b) != region(party, 200, b)]
print("regions wrong:", " ".join(bad) or "none")
sys.exit(1 if bad else 0)
PY
check "example: its facts in the header, date block, title and caption; buttons, blob and footer ours" [ $? -eq 0 ]

# The repacked Windows zip under wine: its own programs on its own data.
mkdir -p "$work/win" && (cd "$work/win" && unzip -q "$win_zip")
win_dir=$(ls -d "$work"/win/velmora2k-*-win64)
bash "$here/same_pixels.sh" "$bin_dir" "$source_dir" windows "$out" "$win_dir"
check "example: the Windows zip under wine, the same pixels" [ $? -eq 0 ]

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
mkdir -p "$work/expect/web"
"$bin_dir/paktool" extract "$out/pak.pak" "$work/expect" >/dev/null
"$py" "$source_dir/tools/gen_facts.py" "$work/expect" "$source_dir/examples/skargard"
bash "$here/web_browser.test.sh" "$bin_dir" "$source_dir" "$work/web" "$work/expect"
check "example: the web site in Chromium, its facts and pixels" [ $? -eq 0 ]

checks_done
