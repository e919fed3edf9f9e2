#!/usr/bin/env bash
# The web build (build/web, made by ./web.sh --build) in headless Chromium,
# driven by tests/web/browser.mjs through puppeteer-core: the desktop flow,
# phones in portrait and landscape, the keyboard and full screen, a slow
# link, broken downloads and sound, and the site without qtn.mp3.
# puppeteer-core is installed from tests/web's lock file into
# build/web-test/ (once; again when the lock file changes).
# Usage: web_browser.test.sh BIN_DIR SOURCE_DIR [SITE_DIR DATA_DIR]: another
# site (a party's repacked one) and the data folder it was made from.
set -euo pipefail
source_dir=$2
site=${3:-$source_dir/build/web}
data=${4:-$source_dir/data}
runner=$source_dir/build/web-test

for f in index.html velmora.js velmora.wasm pak.pak qtn.mp3 title.jpg icon-32.png; do
  if [ ! -f "$site/$f" ]; then
    echo "$site/$f is missing: build the site with ./web.sh --build" >&2
    exit 1
  fi
done
for tool in node npm convert /usr/bin/chromium; do
  command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done

mkdir -p "$runner"
if ! cmp -s "$source_dir/tests/web/package-lock.json" "$runner/package-lock.json" || [ ! -d "$runner/node_modules/puppeteer-core" ]; then
  cp "$source_dir/tests/web/package.json" "$source_dir/tests/web/package-lock.json" "$runner/"
  (cd "$runner" && npm ci --no-audit --no-fund --loglevel=error)
fi
cp "$source_dir"/tests/web/*.mjs "$runner/"

# The exact pictures the canvas must show: raw RGB crops of the data files.
expect=$(mktemp -d)
trap 'rm -rf "$expect"' EXIT
crop() { convert "$data/$1" -crop "$2" +repage -depth 8 "rgb:$expect/$3"; }
crop loading.png 640x231+0+0 loading_top.rgb
crop panel.png 640x50+0+0 panel_header.rgb
crop panel.png 40x360+0+60 panel_margin.rgb
crop textpanel.png 40x360+0+60 textpanel_margin.rgb
# What the page must show as text.
cp "$data/web/party.txt" "$data"/{info,compo,contact,credits}.txt "$expect/"

node "$runner/browser.mjs" "$site" "$expect"
