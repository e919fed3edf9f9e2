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

# ... and a video with the music where ffmpeg is installed.
if command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null; then
  "$capture" --frames 90 --fps 30 --video "$work/v.mp4" >/dev/null
  check "video run" [ "$?" -eq 0 ]
  streams=$(ffprobe -v error -show_entries stream=codec_type -of csv=p=0 "$work/v.mp4" | tr '\n' ' ')
  check "video has picture and sound" [ "$streams" = "video audio " ]
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$work/v.mp4")
  check "video lasts 3 seconds" awk -v d="$duration" 'BEGIN { exit !(d > 2.8 && d < 3.3) }'
fi

checks_done
