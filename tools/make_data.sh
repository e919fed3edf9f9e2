#!/bin/sh
# Regenerate every file in data/ and check the result: the party-independent
# files with the Python generators in tools/ (the glyph sheet, the short
# font, the camera path, the art and the base layers in data/layers/, the
# music), then the party's own files (the lettered pictures, the pages, the
# captions, web/party.txt) from a party folder with the party kit, as
# ./invitation.sh makes them for any party. The same sources give the same
# bytes on every run.
#
#   tools/make_data.sh [OUT_DIR [PARTY_DIR]]   (default: data/ and party/)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-"$root/data"}
party=${2:-"$root/party"}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Debian packages the generators use
"$root/scripts/deps.sh" data

# the interpreter that sees Debian's numpy and Pillow
py=""
for cand in /usr/bin/python3 python3; do
    if "$cand" -c "import numpy, PIL" >/dev/null 2>&1; then
        py=$cand
        break
    fi
done
[ -n "$py" ] || { echo "no python3 with numpy and Pillow" >&2; exit 1; }

cd "$root"
for generator in gen_fonts gen_short_font gen_campath gen_art gen_music; do
    "$py" "$here/$generator.py" "$out"
done

# The kit, built once, makes the party's files on the base just made.
cmake --preset release >/dev/null
cmake --build --preset release --target velmora2k-kit >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/base/fonts" "$work/base/data"
cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf /usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf \
   "$work/base/fonts/"
cp -r "$out/layers" "$work/base/"
find "$out" -maxdepth 1 -type f -exec cp {} "$work/base/data/" \;
build/release/bin/velmora2k-kit data "$party" "$work/made" --base "$work/base"
cp -r "$work/made/data/." "$out/"

"$py" "$here/check_data.py" "$out"
