#!/usr/bin/env bash
# velmora2k-capture as a user drives it: saved frames and their names, the
# closing line and exit code of each way a run ends, help, bad options,
# progress on a terminal and not on a pipe, and video.
set -u
bin_dir=$1
capture="$bin_dir/velmora2k-capture"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
source "$(dirname "$0")/checks.sh"

# --frames stops the run: exit 0, "stopped" line, the chosen frames as PNG.
out=$("$capture" --frames 30 --save 0,3-5,29 --out "$work/shots")
code=$?
check "stopped exit code" [ "$code" -eq 0 ]
check "stopped line" [ "$(echo "$out" | tail -n 1)" = "stopped: after 30 frames" ]
check "saved frames" [ "$(cd "$work/shots" && ls | tr '\n' ' ')" = \
  "frame_000000.png frame_000003.png frame_000004.png frame_000005.png frame_000029.png " ]
check "frame is a 640x480 RGB PNG" [ "$(identify -format '%w %h %[channels]' "$work/shots/frame_000003.png")" = "640 480 srgb" ]

# Esc from a script ends the program: its own exit code and the "ended" line.
printf '# leave during the opening\n40 key 27\n' > "$work/esc.txt"
out=$("$capture" --input "$work/esc.txt")
code=$?
check "esc exit code" [ "$code" -eq 0 ]
check "esc line" [ "$(echo "$out" | tail -n 1)" = "ended: exit code 0 after 40 frames" ]

# A mouse that cannot start: -1 shows as 255.
out=$("$capture" --fail mouse --log "$work/log.txt" 2>/dev/null)
code=$?
check "mouse failure exit code" [ "$code" -eq 255 ]
check "mouse failure line" [ "$(echo "$out" | tail -n 1)" = "ended: exit code 255 after 23 frames" ]
check "mouse failure log" grep -q "Error Initializing DirectInput" "$work/log.txt"

# A sound system that cannot start at all (not merely a machine without an
# audio device, which plays silently): the box's text and 255.
"$capture" --fail sound >/dev/null 2>"$work/err"
check "sound failure exit code" [ "$?" -eq 255 ]
check "sound failure box" grep -q "VIRORUVOD: Error initializing output device." "$work/err"

# A display failure: exit code 1.
"$capture" --fail display@3 >/dev/null 2>&1
check "display failure exit code" [ "$?" -eq 1 ]

# Bad options and scripts are refused with a message, before anything runs.
"$capture" --fps 0 >/dev/null 2>"$work/err"
check "bad fps refused" [ "$?" -eq 2 ]
check "bad fps message" grep -q -- "--fps" "$work/err"
# Each mistake is named for what it is: an unknown option (alone or with a
# word after it), a stray word, an option without its value.
while IFS='|' read -r args said; do
  # shellcheck disable=SC2086  # the arguments are split on purpose
  "$capture" $args >/dev/null 2>"$work/err"
  code=$?
  check "'$args' refused with 2 ($code)" [ "$code" -eq 2 ]
  check "'$args' says: $said" [ "$(head -n 1 "$work/err")" = "velmora2k-capture: $said" ]
done <<'CASES'
--bogus|unknown option --bogus
--bogus 5|unknown option --bogus
--frames 5 shots|unexpected argument 'shots': every setting is an option with its value
--frames|missing value after --frames
CASES
printf '10 jump\n' > "$work/bad.txt"
"$capture" --input "$work/bad.txt" >/dev/null 2>"$work/err"
check "bad script refused" [ "$?" -eq 2 ]
check "bad script names the line" grep -q "line 1" "$work/err"

# Help is asked for, not a mistake: usage on stdout, exit code 0.
for flag in --help -h; do
  out=$("$capture" "$flag" 2>"$work/err")
  code=$?
  check "$flag exit code" [ "$code" -eq 0 ]
  check "$flag prints the usage" grep -q -- "usage: velmora2k-capture.*--frames N" <<<"$out"
  check "$flag explains the options" grep -q -- "--fail WHAT" <<<"$out"
  check "$flag leaves stderr empty" [ ! -s "$work/err" ]
done

# On a pipe, a run with a frame limit adds nothing to stderr; a run that only
# the invitation can end says so at its start.
"$capture" --frames 30 >/dev/null 2>"$work/err"
check "no progress on a pipe" [ ! -s "$work/err" ]
"$capture" --input "$work/esc.txt" >/dev/null 2>"$work/err"
check "a script that ends the run needs no note" [ ! -s "$work/err" ]
"$capture" --fail mouse >/dev/null 2>"$work/err"
check "open-ended run says how it ends" grep -q "runs until the invitation is ended or interrupted" "$work/err"

# On a terminal (a pseudo-terminal from script): progress rewritten in place,
# with the share done, music time, speed and time left, ending at 100% on a
# line of its own before the closing line.
script -q -e -c "'$capture' --frames 240" "$work/tty" >/dev/null
check "run on a terminal" [ "$?" -eq 0 ]
tr '\r' '\n' <"$work/tty" >"$work/tty_lines"
check "progress line" grep -Eq "^frame [0-9]+ of 240 \([0-9]+%\)  music 0:0[0-4]\.[0-9]  [0-9.]+x real time  [0-9]+:[0-9]{2} left" "$work/tty_lines"
check "progress reaches the end" grep -q "^frame 240 of 240 (100%)  music 0:04.0  .*0:00 left" "$work/tty_lines"
check "progress rewritten in place" grep -q $'\r''frame 240 of 240' "$work/tty"
check "closing line after progress" grep -q "^stopped: after 240 frames" "$work/tty_lines"
script -q -e -c "'$capture' --input '$work/esc.txt'" "$work/tty" >/dev/null
tr '\r' '\n' <"$work/tty" >"$work/tty_lines"
check "progress without a limit" grep -Eq "^frame 40  music 0:00\.6  [0-9.]+x real time" "$work/tty_lines"

# Nothing reads the mouse before the menu (from frame 191 at 10 frames a
# second): a click during the opening, with the pointer over CONTACT, changes
# no menu frame. An audio device that stops playing at 8 s holds the menu back
# by the half-second grace (5 frames), with the same pixels, and says so once.
printf '60 down left\n60 up left\n' > "$work/click.txt"
"$capture" --fps 10 --frames 230 --save 195-229 --out "$work/plain" >/dev/null
"$capture" --fps 10 --frames 230 --save 195-229 --out "$work/click" --input "$work/click.txt" >/dev/null
check "a click in the opening chooses nothing" diff -r "$work/plain" "$work/click"
"$capture" --fps 10 --frames 235 --save 200-234 --out "$work/stall" --fail stall@8000 >/dev/null 2>"$work/err"
check "stalled run" [ "$?" -eq 0 ]
same=0
for f in $(seq 195 229); do
  cmp -s "$work/plain/frame_000$f.png" "$work/stall/frame_000$((f + 5)).png" && same=$((same + 1))
done
check "stalled music: the menu 5 frames later, same pixels" [ "$same" -eq 35 ]
check "stall said once" [ "$(grep -c "audio device stopped playing" "$work/err")" -eq 1 ]
"$capture" --fail stall@900-300 >/dev/null 2>"$work/err"
check "a stall that ends before it starts is refused" [ "$?" -eq 2 ]

# Video: a clear message and exit code 1 without ffmpeg ...
mkdir -p "$work/nobin"
for tool in bash sh env; do ln -sf "$(command -v $tool)" "$work/nobin/$tool"; done
PATH="$work/nobin" "$capture" --frames 5 --video "$work/none.mp4" >/dev/null 2>"$work/err"
check "video without ffmpeg exit code" [ "$?" -eq 1 ]
check "video without ffmpeg message" grep -q "ffmpeg" "$work/err"

# ... and, where ffmpeg is installed, a video made for upload: a visit ended
# by Esc in the menu (at frame 1200, so that the fade to black runs from
# frame 1200 to the last, 1231) at the invitation's own 60 frames a second;
# 1920 x 1080 with the picture at 2x centred on black; H.264 High, yuv420p,
# AAC, the index before the data; every frame there and the sound as long as
# the picture; the music fading out with the picture.
if command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null; then
  printf '1200 key 27\n' >"$work/visit.txt"
  out=$("$capture" --input "$work/visit.txt" --video "$work/v.mp4")
  check "video run ends with 0" [ "$?" -eq 0 ]
  check "video run's line" [ "$(echo "$out" | tail -n 1)" = "ended: exit code 0 after 1232 frames" ]
  check "no part of the first pass is left" [ ! -e "$work/v.mp4.picture.mp4" ]
  probe() { ffprobe -v error -select_streams "$1" -show_entries "$2" -of csv=p=0 "$work/v.mp4"; }
  check "video: H.264 High 1920x1080 yuv420p at 60/1" \
    [ "$(probe v stream=codec_name,profile,width,height,pix_fmt,r_frame_rate)" = "h264,High,1920,1080,yuv420p,60/1" ]
  check "sound: AAC" [ "$(probe a stream=codec_name)" = "aac" ]
  order=$(ffprobe -v trace "$work/v.mp4" 2>&1 | grep -o "type:'\(moov\|mdat\)'" | head -n 2 | tr -d "\n'")
  check "the index comes before the data (faststart): $order" [ "$order" = "type:moovtype:mdat" ]
  frames=$(ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$work/v.mp4")
  check "every presented frame is in the video ($frames)" [ "$frames" = 1232 ]
  sound=$(probe a stream=duration)
  check "the sound lasts as long as the picture ($sound s)" awk -v d="$sound" 'BEGIN { exit !(d >= 20.52 && d < 20.56) }'
  ffmpeg -v error -ss 12 -i "$work/v.mp4" -frames:v 1 "$work/logo.png"
  black=$(convert "$work/logo.png" -crop 320x1080+0+0 -format '%[fx:maxima]' info:)
  inside=$(convert "$work/logo.png" -crop 1280x960+320+60 -format '%[fx:mean]' info:)
  check "the picture is centred on black (border $black, picture $inside)" \
    awk -v b="$black" -v p="$inside" 'BEGIN { exit !(b < 0.08 && p > 0.05) }'
  # The frame at 2x is the captured frame enlarged by whole pixels, as far
  # as H.264 keeps it (a smoothed enlargement is 0.02 away, the sharp one 0.008).
  "$capture" --frames 721 --save 720 --out "$work/shot" >/dev/null
  convert "$work/shot/frame_000720.png" -filter point -resize 200% "$work/shot2.png"
  convert "$work/logo.png" -crop 1280x960+320+60 +repage "$work/inside.png"
  rmse=$(compare -metric RMSE "$work/inside.png" "$work/shot2.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
  check "the picture is the frame at 2x (RMSE $rmse)" awk -v r="$rmse" 'BEGIN { exit !(r < 0.012) }'
  ffmpeg -v error -sseof -0.02 -i "$work/v.mp4" -frames:v 1 "$work/last.png"
  last=$(convert "$work/last.png" -format '%[fx:mean]' info:)
  check "the last frame is the end of the fade to black ($last)" awk -v m="$last" 'BEGIN { exit !(m < 0.01) }'
  loudness() {
    ffmpeg -hide_banner -nostats -ss "$1" -t "$2" -i "$work/v.mp4" -vn -af volumedetect -f null - 2>&1 |
      sed -n 's/.*mean_volume: \(.*\) dB/\1/p'
  }
  before=$(loudness 19 1)
  end=$(loudness 20.43 0.1)
  check "the music fades out with the picture ($before dB before the fade, $end dB at the end)" \
    awk -v a="$before" -v b="$end" 'BEGIN { exit !(b < a - 15) }'
fi

checks_done
