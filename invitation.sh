#!/usr/bin/env bash
# A party's own invitation from its party folder (README.md, "Make your own
# invitation"): checks the folder, makes the data, packs pak.pak, converts
# the music, captures a preview sheet and repacks the release files with the
# party's data, from programs built once: nothing is compiled for a party.
#
# Usage: ./invitation.sh [--preview] [--video] PARTY_DIR [OUT_DIR]
#   OUT_DIR (default build/invitation/NAME, NAME the party folder's name) gets
#     pak.pak, qtn.mp3               the party's data, beside the programs
#     preview.png                    loading, the three captions, the menu, each page
#     SLUG-win64.zip                 the Windows release with the party's data,
#                                    README.txt, info file and icon
#     SLUG-web.zip                   the web site with the party's data and facts
#   (SLUG: the window title in lower-case letters and digits joined by '-',
#   for example nordlicht-pixelfest-2027-invitation)
#     SHA256SUMS                     of the files above
#     SLUG.mp4                       with --video: a visit of every page, for
#                                    video sites (1920 x 1080, 60 frames a second)
#   --preview   only pak.pak, qtn.mp3 and preview.png: a quick look while editing
#
# The programs come from build/release/bin, the Windows zip from
# build/release-files (./release.sh windows makes both) and the web site
# from the web zip there or, without one, from build/web (./web.sh --build);
# VELMORA_BIN_DIR, VELMORA_RELEASE_DIR and VELMORA_WEB_DIR name others. Every problem of the folder is listed
# at once, with its file, line and column. Exit codes: 0 done, 1 the party
# folder has problems, 2 bad arguments, 3 programs or release files missing.
# On any failure OUT_DIR is left as it was: the files are made in a temporary
# folder beside it and moved into place at the end. OUT_DIR is replaced
# whole, so it must be new, empty or made by this command before.
set -euo pipefail
root=$(cd "$(dirname "$0")" && pwd)

usage() {
  echo "usage: ./invitation.sh [--preview] [--video] PARTY_DIR [OUT_DIR]" >&2
  exit 2
}

preview_only=0 video=0 args=()
for a in "$@"; do
  case $a in
    --preview) preview_only=1 ;;
    --video) video=1 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    -*) echo "./invitation.sh: unknown option $a; the options are --preview and --video" >&2; usage ;;
    *) args+=("$a") ;;
  esac
done
if [ ${#args[@]} -lt 1 ] || [ ${#args[@]} -gt 2 ]; then usage; fi
party=$(cd "${args[0]}" 2>/dev/null && pwd -P) || { echo "${args[0]}: not a folder; give the party folder" >&2; exit 2; }
out=$(realpath -m -- "${args[1]:-$root/build/invitation/$(basename "$party")}")
# OUT_DIR is replaced whole at the end: never the party folder, a folder in
# it or a folder that holds it, and never a folder this command did not make
# (see below).
case $party/ in
  "$out"/*) echo "$out: the party folder is in it; give another OUT_DIR" >&2; exit 2 ;;
esac
case $out/ in
  "$party"/*) echo "$out: inside the party folder; give an OUT_DIR outside it" >&2; exit 2 ;;
esac
marker=.velmora-invitation
mkdir -p "$(dirname "$out")"

# The music's and the repacking's Debian packages, when missing.
"$root/scripts/deps.sh" data

# The folders this command writes carry a marker: an existing OUT_DIR must be
# empty or one of them, so that nothing else in it is lost.
out_dir_problem() {
  [ -e "$out" ] || return 0
  [ -d "$out" ] && { [ -f "$out/$marker" ] || [ -z "$(ls -A "$out")" ]; } && return 0
  echo "$out: exists and was not made by ./invitation.sh; give a new or empty OUT_DIR" >&2
  return 1
}

# The programs and release files the party's files are made with.
bin=${VELMORA_BIN_DIR:-$root/build/release/bin}
releases=${VELMORA_RELEASE_DIR:-$root/build/release-files}
missing() { echo "$1; $2" >&2; exit 3; }
for tool in velmora2k-kit velmora2k-capture; do
  [ -x "$bin/$tool" ] || missing "$bin/$tool is missing" "build the programs once with ./release.sh"
done
kit=$bin/velmora2k-kit

# Every file is made in a folder beside OUT_DIR, moved into place at the end.
stage=$(mktemp -d "$(dirname "$out")/.invitation.XXXXXX")
trap 'rm -rf "$stage"' EXIT

# The music as the program plays it: any file ffmpeg reads becomes a 44.1 kHz
# stereo MP3 of 192 kbit/s, encoded by lame as the invitation's own is. Its
# problems go to stdout, as the kit's own. The shortest music taken: the
# studio checks the same length (web/studio/mp3.js, kMinSeconds), and the
# lame command's settings are its encoder's (tools/velmora2k_studio_mp3.cpp):
# change both.
min_seconds=20
music_problem() {
  local src=$1 seconds
  seconds=$(ffprobe -v error -select_streams a:0 -show_entries format=duration:stream=codec_type \
              -of default=noprint_wrappers=1 "$src" 2>"$stage/ffprobe.err") || true
  if ! grep -q '^codec_type=audio' <<<"$seconds"; then
    echo "$src: cannot be read as music ($(tail -n 1 "$stage/ffprobe.err" | sed 's/^$/no sound in it/')); give an MP3, OGG, FLAC or WAV file"
    return
  fi
  seconds=$(sed -n 's/^duration=//p' <<<"$seconds")
  if awk -v s="$seconds" -v m=$min_seconds 'BEGIN { exit !(s == "N/A" || s + 0 < m) }'; then
    printf '%s: %.1f s of music, at least %d s are needed (the opening lasts 19 s); give a longer piece\n' \
      "$src" "${seconds/N\/A/0}" $min_seconds
  fi
}
convert_music() {
  local src=$1 mp3=$2 wav=$stage/music.wav header got
  if ! ffmpeg -v error -nostdin -i "$src" -vn -ar 44100 -ac 2 -c:a pcm_s16le -fflags +bitexact "$wav" \
       2>"$stage/ffmpeg.err"; then
    echo "$src: cannot be decoded ($(tail -n 1 "$stage/ffmpeg.err")); export it again as MP3, OGG, FLAC or WAV"
    return 1
  fi
  # A file whose decoded sound falls short of the length its header gives is
  # damaged (cut off, or broken inside).
  header=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$src" 2>/dev/null)
  got=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$wav" 2>/dev/null)
  if awk -v h="$header" -v g="$got" -v m=$min_seconds 'BEGIN { exit !(g + 0 < m || (h + 0 > 0 && g < h * 0.98)) }'; then
    printf '%s: only %.1f s of its %.1f s could be decoded, the file is damaged; export it again\n' "$src" "$got" "$header"
    return 1
  fi
  lame --quiet -b 192 --resample 44.1 -q 2 "$wav" "$mp3"
  rm -f "$wav"
}

# Every problem of the folder at once: the kit's, then the music's.
code=0
"$kit" facts "$party" >"$stage/facts.txt" 2>"$stage/problems.txt" || code=$?
[ $code -le 1 ] || { cat "$stage/problems.txt" >&2; exit $code; }
fact() { sed -n "s/^$1: //p" "$stage/facts.txt"; }
music=$(fact music_file)
[ -n "$music" ] && music_problem "$party/$music" >>"$stage/problems.txt"
report_problems() {
  local count
  count=$(grep -c -v ': warning: ' "$stage/problems.txt" || true)
  cat "$stage/problems.txt" >&2
  [ "$count" -eq 0 ] && return 0
  [ "$count" -eq 1 ] && echo "1 problem in ${args[0]}" >&2 || echo "$count problems in ${args[0]}" >&2
  exit 1
}
report_problems
out_dir_problem || exit 2

if [ $preview_only -eq 0 ]; then
  win_zip=$(ls "$releases"/velmora2k-*-win64.zip 2>/dev/null | sort -V | tail -n 1) || true
  [ -n "$win_zip" ] || missing "no Windows zip in $releases" "make it once with ./release.sh windows"
  version=${win_zip##*/velmora2k-}
  version=${version%-win64.zip}
  web_zip=$(ls "$releases/velmora2k-$version-web.zip" 2>/dev/null) || true
  web_site=${VELMORA_WEB_DIR:-$root/build/web}
  [ -n "$web_zip" ] || [ -f "$web_site/velmora.wasm" ] ||
    missing "no web site in $releases or $web_site" "make it once with ./release.sh web"
fi

# The data and pak.pak, made by the kit; the music converted beside them.
music_args=()
if [ -n "$music" ]; then
  convert_music "$party/$music" "$stage/qtn.mp3" >"$stage/problems.txt" || report_problems
  music_args=(--music "$stage/qtn.mp3")
fi
# The same dates on every file of a zip: the party folder's newest change.
SOURCE_DATE_EPOCH=$(find "$party" -type f -printf '%T@\n' | sort -n | tail -n 1 | cut -d. -f1)
release_args=()
[ $preview_only -eq 0 ] && release_args=(--windows "$win_zip" --web "${web_zip:-$web_site}" --time "$SOURCE_DATE_EPOCH")
code=0
"$kit" data "$party" "$stage" "${music_args[@]}" "${release_args[@]}" 2>"$stage/problems.txt" || code=$?
# 1: problems in the folder; 2 or 3: the release files or the kit's own
# files are not what they must be (the kit says which).
[ $code -eq 1 ] && report_problems
[ $code -eq 0 ] || { cat "$stage/problems.txt" >&2; exit 3; }
cat "$stage/problems.txt" >&2
[ -f "$stage/qtn.mp3" ] || cp "$stage/data/qtn.mp3" "$stage/"

# The preview sheet: the capture tool plays a visit of every page, and the
# kit lays the chosen frames out.
"$kit" visit --fps 10 >"$stage/visit.txt"
frames=$("$kit" visit --fps 10 --frames)
"$bin/velmora2k-capture" --data "$stage" --fps 10 --input "$stage/visit.txt" --save "$frames" \
  --out "$stage/frames" >"$stage/capture.out" 2>&1 || { cat "$stage/capture.out" >&2; exit 3; }
# Three frames a row: loading and the first two captions; the third, the
# menu and the first page; the other three pages. The studio lays its sheet
# out the same way (web/studio/sheet.js, sheetworker.js: 10 frames a second,
# three a row): change both.
IFS=, read -r -a shots <<<"$frames"
rows=()
for ((i = 0; i < ${#shots[@]}; i += 3)); do
  row=()
  for f in "${shots[@]:i:3}"; do row+=("$(printf '%s/frame_%06d.png' "$stage/frames" "$f")"); done
  convert "${row[@]}" +append "$stage/frames/row_$i.png"
  rows+=("$stage/frames/row_$i.png")
done
convert "${rows[@]}" -append -strip "$stage/preview.png"
if [ $video -eq 1 ]; then
  "$kit" visit --fps 60 >"$stage/visit60.txt"
  "$bin/velmora2k-capture" --data "$stage" --fps 60 --input "$stage/visit60.txt" \
    --video "$stage/$(fact slug).mp4" >"$stage/capture.out" 2>&1 || { cat "$stage/capture.out" >&2; exit 3; }
fi
rm -rf "$stage/frames" "$stage/visit.txt" "$stage/visit60.txt" "$stage/capture.out"

rm -rf "$stage/data" "$stage/slug.txt" "$stage/facts.txt" "$stage/problems.txt" \
  "$stage"/*.err
(cd "$stage" && sha256sum -- * > SHA256SUMS)
echo "made by ./invitation.sh from $party" > "$stage/$marker"

# Into place: the old OUT_DIR goes only once the new one is complete.
old=""
if [ -e "$out" ]; then
  old=$(mktemp -d "$(dirname "$out")/.invitation-old.XXXXXX")
  mv "$out" "$old/"
fi
chmod 755 "$stage"
if ! mv "$stage" "$out"; then
  [ -n "$old" ] && mv "$old/$(basename "$out")" "$out"
  exit 1
fi
[ -n "$old" ] && rm -rf "$old"
trap - EXIT
echo "The invitation of $(basename "$party") is in $out:"
ls -l "$out"
