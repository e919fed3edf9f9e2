#!/usr/bin/env bash
# How the browser build compares with the desktop build (a measurement, not a
# test): the capture tool renders the first FRAMES frames (default 1300: the
# loading and the opening at 60 frames a second) natively and as WebAssembly
# under node, one after the other in the same run, and the site's download
# (program, its JS and the data) is added up.
# Usage: bench/web_speed.sh [FRAMES]   (after ./web.sh --build)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-1300}

cmake --preset release >/dev/null
cmake --build --preset release --target velmora2k-capture velmora_data >/dev/null
native=build/release/bin/velmora2k-capture
web=build/web-cmake/bin/velmora2k-capture.js
if [ ! -f "$web" ]; then
  echo "build the web site first: ./web.sh --build" >&2
  exit 1
fi

seconds() {  # seconds COMMAND...: the wall time of one run
  local start end
  start=$(date +%s.%N)
  "$@" --frames "$frames" >/dev/null
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.2f", $2 - $1 }'
}

native_s=$(seconds "$native" --data build/release/bin)
web_s=$(seconds node --no-experimental-fetch "$web" --data build/web)
echo "$frames frames: native ${native_s} s, WebAssembly under node ${web_s} s," \
     "ratio $(echo "$web_s $native_s" | awk '{ printf "%.2f", $1 / $2 }') (goal at most 2)"

download=$(find build/web -maxdepth 1 -type f \( -name '*.wasm' -o -name '*.js' -o -name '*.pak' -o -name '*.mp3' \) -printf '%s\n' |
           awk '{ s += $1 } END { print s + 0 }')
site=$(du -sb build/web | cut -f1)
echo "download (wasm + js + data): $download bytes ($(echo "$download" | awk '{ printf "%.2f", $1 / 1048576 }') MiB, goal at most 4 MiB);" \
     "whole site $site bytes"
