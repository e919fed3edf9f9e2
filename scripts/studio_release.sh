#!/usr/bin/env bash
# The release programs the studio repacks for a party, put beside it after a
# web build (web.sh --build and release.sh run it): our web site as a zip,
# and our Windows zip when release.sh has made one for this version. The
# studio fetches them only when the organiser asks for the downloads, as
# release.json lists them (file and size).
# Usage: scripts/studio_release.sh [STUDIO_DIR [SITE_DIR [RELEASE_DIR]]]
set -euo pipefail
cd "$(dirname "$0")/.."
studio=${1:-build/studio}
site=${2:-build/web}
releases=${3:-build/release-files}
[ -f "$studio/index.html" ] || { echo "studio_release.sh: no studio in $studio: build it with ./web.sh --build" >&2; exit 1; }
[ -f "$site/index.html" ] || { echo "studio_release.sh: no web site in $site: build it with ./web.sh --build" >&2; exit 1; }

version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
source scripts/zipfolder.sh

out=$studio/release
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf "$out"
mkdir -p "$out"
web=velmora2k-$version-web.zip
cp -a "$site/." "$stage/"
zip_folder "$PWD/$out/$web" "$stage" .
entry() { printf '{"file": "release/%s", "size": %d}' "$1" "$(stat -c %s "$out/$1")"; }
windows=null
win=velmora2k-$version-win64.zip
if [ -f "$releases/$win" ]; then
  cp "$releases/$win" "$out/"
  windows=$(entry "$win")
fi
printf '{"windows": %s, "web": %s}\n' "$windows" "$(entry "$web")" >"$studio/release.json"
