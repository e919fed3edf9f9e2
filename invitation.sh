#!/usr/bin/env bash
# A party's own invitation from its party folder (README.md, "Make your own
# invitation"): checks the folder, makes the data, packs pak.pak, converts
# the music, captures a preview sheet and repacks the release files with the
# party's data, from programs built once: nothing is compiled for a party.
#
# Usage: ./invitation.sh [--preview] [--video] PARTY_DIR [OUT_DIR]
#   OUT_DIR (default build/invitation/NAME, NAME the party folder's name) gets
#     pak.pak, qtn.mp3               the party's data, beside the programs
#     preview.png                    loading, two captions, the menu, each page
#     velmora2k-VERSION-win64.zip    the Windows release with the party's data
#     velmora2k-VERSION-web.zip      the web site with the party's data and facts
#     SHA256SUMS                     of the files above
#     invitation.mp4                 with --video: a visit of every page
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
    -*) usage ;;
    *) args+=("$a") ;;
  esac
done
if [ ${#args[@]} -lt 1 ] || [ ${#args[@]} -gt 2 ]; then usage; fi
party=$(cd "${args[0]}" 2>/dev/null && pwd -P) || { echo "${args[0]}: not a folder; give the party folder" >&2; exit 1; }
out=$(realpath -m -- "${args[1]:-$root/build/invitation/$(basename "$party")}")
# OUT_DIR is replaced whole at the end: never the party folder or a folder
# that holds it, and never a folder this command did not make (see below).
case $party/ in
  "$out"/*) echo "$out: the party folder is in it; give another OUT_DIR" >&2; exit 2 ;;
esac
marker=.velmora-invitation
mkdir -p "$(dirname "$out")"

# The generators' and repacking's Debian packages, when missing.
"$root/scripts/deps.sh" data

py=/usr/bin/python3
[ -x $py ] || py=python3

# The folders this command writes carry a marker: an existing OUT_DIR must be
# empty or one of them, so that nothing else in it is lost.
out_dir_problem() {
  [ -e "$out" ] || return 0
  [ -d "$out" ] && { [ -f "$out/$marker" ] || [ -z "$(ls -A "$out")" ]; } && return 0
  echo "$out: exists and was not made by ./invitation.sh; give a new or empty OUT_DIR" >&2
  return 1
}

# Every file is made in a folder beside OUT_DIR, moved into place at the end.
stage=$(mktemp -d "$(dirname "$out")/.invitation.XXXXXX")
trap 'rm -rf "$stage"' EXIT

# The data, remade only where the party folder changed since the last run.
cache=$root/build/invitation-cache/$(printf '%s' "$party" | sha256sum | cut -c1-16)
"$py" "$root/tools/make_party_data.py" "$party" "$stage/data" --cache "$cache" || exit 1
out_dir_problem || exit 2

# The programs and release files the party's files are made with.
bin=${VELMORA_BIN_DIR:-$root/build/release/bin}
releases=${VELMORA_RELEASE_DIR:-$root/build/release-files}
missing() { echo "$1; $2" >&2; exit 3; }
for tool in paktool velmora2k-capture; do
  [ -x "$bin/$tool" ] || missing "$bin/$tool is missing" "build the programs once with ./release.sh"
done
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

# pak.pak holds every data file but the music, in name order.
mapfile -t packed < <(find "$stage/data" -maxdepth 1 -type f ! -name qtn.mp3 | LC_ALL=C sort)
"$bin/paktool" pack "$stage/pak.pak" "${packed[@]}"
cp "$stage/data/qtn.mp3" "$stage/"
video_args=()
[ $video -eq 1 ] && video_args=(--video "$stage/invitation.mp4")
"$py" "$root/tools/preview.py" "$bin/velmora2k-capture" "$stage" "$stage/preview.png" "${video_args[@]}"

# The same dates on every file of a zip: the party folder's newest change.
SOURCE_DATE_EPOCH=$(find "$party" -type f -printf '%T@\n' | sort -n | tail -n 1 | cut -d. -f1)
source "$root/scripts/zipfolder.sh"

# The Windows zip: its own programs, the party's pak.pak and qtn.mp3.
repack_windows() {
  local dir=$stage/windows name
  mkdir -p "$dir"
  (cd "$dir" && unzip -q "$win_zip")
  name=$(basename "$win_zip" .zip)
  cp "$stage/pak.pak" "$stage/qtn.mp3" "$dir/$name/"
  zip_folder "$stage/$name.zip" "$dir" "$name"
}

# The web site: the party's data, its title picture, and index.html written
# again from the template with the party's facts, pages and file stamps.
repack_web() {
  local dir=$stage/web site
  mkdir -p "$dir"
  if [ -n "$web_zip" ]; then
    (cd "$dir" && unzip -q "$web_zip")
  else
    cp -a "$web_site/." "$dir/"
  fi
  cp "$stage/pak.pak" "$stage/qtn.mp3" "$dir/"
  convert "$stage/data/logo.png" -strip -quality 85 "$dir/title.jpg"
  site=$("$py" "$root/tools/party.py" facts "$party" | sed -n 's/^site: //p')
  # What the page downloads is listed once, by the build, in the site's own
  # index.html ("name": {"size": ...}); the page's modules and style are the
  # site's other .js and .css files.
  local downloads page_files
  downloads=$(grep -o '"[^"]*": {"size"' "$dir/index.html" | cut -d'"' -f2 | paste -sd';')
  page_files=$(cd "$dir" && ls -- *.js *.css | grep -vxF -f <(tr ';' '\n' <<<"$downloads") | paste -sd';')
  cmake -DSOURCE_DIR="$root" -DSITE_DIR="$dir" -DDATA_DIR="$stage/data" \
        -DSITE_URL="$site" "-DDOWNLOADS=$downloads" "-DPAGE_FILES=$page_files" \
        -P "$root/cmake/webindex.cmake"
  zip_folder "$stage/velmora2k-$version-web.zip" "$dir" .
}

if [ $preview_only -eq 0 ]; then
  repack_windows
  repack_web
fi
rm -rf "$stage/data" "$stage/windows" "$stage/web"
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
