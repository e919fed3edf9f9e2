#!/usr/bin/env bash
# The studio's music and preview sheet under node: the workers' own code
# (web/studio/mp3worker.js, sheetworker.js) over the modules built for them
# (build/studio/, made by ./web.sh --build), driven by tests/web/studio_music.mjs.
#   The encoder: 25 s of a known signal become an MP3 as invitation.sh's
#   lame command makes it: 44.1 kHz stereo at 192 kbit/s, lame's Info tag,
#   which gives a decoder the exact length back, the same size as the lame program's file of
#   the same signal, each channel's loudness where it was (not swapped, not
#   scaled); progress rises to 1; samples beyond full scale and NaN are
#   taken, unequal channels refused.
#   The sheet: the capture tool on the in-memory file system plays the
#   kit's visit on the web build's pak.pak and the invitation's music and
#   saves the same pixels as the node capture tool; a broken pak.pak is a
#   clear error.
#
# Usage: studio_music.test.sh BIN_DIR SOURCE_DIR
set -u
source_dir=$2
here=$(dirname "$0")
source "$here/checks.sh"
studio=$source_dir/build/studio
web_bin=$source_dir/build/web-cmake/bin
site=$source_dir/build/web
for file in "$studio/mp3/velmora2k-mp3.wasm" "$studio/capture/velmora2k-capture.wasm" \
            "$web_bin/velmora2k-capture.js" "$site/pak.pak"; do
  [ -f "$file" ] || { echo "$file is missing: run ./web.sh --build" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
node=(node --no-experimental-fetch)
harness=$source_dir/tests/web/studio_music.mjs
workers=$source_dir/web/studio

# ---- The encoder.
seconds=25
"${node[@]}" "$harness" encode "$studio" "$workers" $seconds "$work/studio.mp3" "$work/signal.wav" > "$work/encode.out"
cat "$work/encode.out"
probe() {  # probe FILE ENTRIES: key=value lines
  ffprobe -v error -select_streams a:0 -show_entries "$2" -of default=noprint_wrappers=1 "$1"
}
stream=$(probe "$work/studio.mp3" stream=codec_name,sample_rate,channels,bit_rate)
echo "$stream" | tr '\n' ' '
echo
check "an MP3, 44.1 kHz, stereo, 192 kbit/s" [ "$stream" = "$(printf '%s\n' codec_name=mp3 sample_rate=44100 channels=2 bit_rate=192000)" ]
# The Info tag gives the encoder's delay and padding: a decoder that reads
# it (ffmpeg) gives back exactly the samples encoded.
ffmpeg -v error -nostdin -i "$work/studio.mp3" -f s16le -ac 2 "$work/decoded.raw"
samples=$(( $(stat -c %s "$work/decoded.raw") / 4 ))
check "decodes to $seconds s exactly ($samples samples)" [ "$samples" -eq $((seconds * 44100)) ]
# The Info frame of a stereo 44.1 kHz file: "Info" at byte 36, lame's
# fields from byte 156, the music's CRC from byte 188.
text_at() {  # text_at FILE OFFSET TEXT
  [ "$(head -c $(($2 + ${#3})) "$1" | tail -c ${#3})" = "$3" ]
}
kCrcAt=188
check "the first frame is lame's Info tag" text_at "$work/studio.mp3" 36 Info
check "progress rises to 1, a step a second" grep -q -x "progress $seconds steps, last 1" "$work/encode.out"
check "samples beyond full scale or not numbers are clipped or silenced" grep -q -x 'unruly samples: same size' "$work/encode.out"
check "unequal channels are refused" grep -q -x 'unequal channels: no music to encode' "$work/encode.out"
if command -v lame >/dev/null; then
  lame --quiet -b 192 --resample 44.1 -q 2 "$work/signal.wav" "$work/lame.mp3"
  check "the lame program's file of the signal has the same size" \
    [ "$(stat -c %s "$work/studio.mp3")" = "$(stat -c %s "$work/lame.mp3")" ]
  check "and the same Info tag, up to the music's CRC" cmp -n $kCrcAt "$work/studio.mp3" "$work/lame.mp3"
fi
# Each channel's loudness (RMS) decoded again: a sine at half strength on
# the left (0.354), at a quarter on the right (0.177), both about 3 % less
# after the lame program's encoding too.
/usr/bin/python3 - "$work/decoded.raw" <<'PY'
import array, math, sys
s = array.array('h', open(sys.argv[1], 'rb').read())
rms = [math.sqrt(sum(x * x for x in s[c::2]) / (len(s) // 2)) / 32768 for c in (0, 1)]
print(f"RMS left {rms[0]:.3f}, right {rms[1]:.3f}")
sys.exit(0 if abs(rms[0] - 0.3536) < 0.02 and abs(rms[1] - 0.1768) < 0.01 else 1)
PY
check "each channel decodes to its own signal" [ $? -eq 0 ]

# ---- The preview sheet.
kit=("${node[@]}" "$web_bin/velmora2k-kit.js")
"${kit[@]}" visit --fps 10 > "$work/visit.txt"
frames=$("${kit[@]}" visit --fps 10 --frames)
music=$source_dir/data/qtn.mp3
"${node[@]}" "$harness" sheet "$studio" "$workers" "$site/pak.pak" "$music" "$work/visit.txt" "$frames" "$work/studio" \
  > "$work/sheet.out"
cat "$work/sheet.out"
"${node[@]}" "$web_bin/velmora2k-capture.js" --data "$site" --fps 10 --input "$work/visit.txt" --save "$frames" \
  --out "$work/node" > "$work/node.out" 2>&1
tail -n 1 "$work/node.out"
check "the node capture tool saves the sheet's 9 frames" [ "$(ls "$work/node" | wc -l)" -eq 9 ]
check "progress: a step for each frame saved, then 1" grep -q -x 'progress 10 steps, last 1' "$work/sheet.out"
check "the same frames saved" diff <(cd "$work/node" && ls) <(cd "$work/studio" && ls)
# Frames compared by their pixels, as same_pixels.sh does.
/usr/bin/python3 - "$work/node" "$work/studio" <<'PY'
import os, sys
from PIL import Image
node, studio = sys.argv[1], sys.argv[2]
names = sorted(os.listdir(node))
differ = [n for n in names if os.path.exists(os.path.join(studio, n))
          and Image.open(os.path.join(node, n)).tobytes() != Image.open(os.path.join(studio, n)).tobytes()]
print(f"{len(names)} frames compared, {len(differ)} differ{': ' + ' '.join(differ) if differ else ''}")
sys.exit(1 if differ or not names else 0)
PY
check "every frame byte-identical to the node capture tool's" [ $? -eq 0 ]

# A broken archive: the tool's own complaint, passed on as an error.
head -c 5000 "$site/pak.pak" > "$work/broken.pak"
"${node[@]}" "$harness" sheet "$studio" "$workers" "$work/broken.pak" "$music" "$work/visit.txt" "$frames" \
  "$work/broken" > "$work/broken.out"
status=$?
cat "$work/broken.out"
check "a broken pak.pak is an error (exit code $status)" grep -q '^error: the capture tool failed (exit code [1-9]' "$work/broken.out"
check "and no frames" [ ! -e "$work/broken" ]

checks_done
