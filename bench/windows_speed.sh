#!/usr/bin/env bash
# How the Windows build compares with the Linux build (a measurement, not a
# test): the capture tool renders the first FRAMES frames (default 1300: the
# loading and the opening at 60 frames a second) natively and as
# velmora2k-capture.exe under wine, one after the other in the same run. Only
# the frames are timed: each tool's time for one frame (its start, and wine's)
# is taken off its time for all of them. Both run the same pixel kernels,
# the fastest this processor has (named below). Also the zip's size.
# Usage: bench/windows_speed.sh [FRAMES]   (after ./release.sh windows)
set -euo pipefail
cd "$(dirname "$0")/.."
frames=${1:-1300}

native=build/release/bin/velmora2k-capture
windows=build/windows/bin/velmora2k-capture.exe
if [ ! -f "$windows" ] || [ ! -f "$native" ]; then
  echo "build the Windows release first: ./release.sh windows" >&2
  exit 1
fi
source tests/wine.sh
trap wine_end EXIT
wine_setup "$PWD"
# wine's server stays up between the runs, as it does on a desktop session.
wineserver -p

seconds() {  # seconds N COMMAND...: the wall time of a run of N frames
  local n=$1 start end
  shift
  start=$(date +%s.%N)
  "$@" --data build/release/bin --frames "$n" >/dev/null
  end=$(date +%s.%N)
  echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }'
}
best_of_3() {  # best_of_3 N COMMAND...: the shortest of three runs
  local a b c
  a=$(seconds "$@")
  b=$(seconds "$@")
  c=$(seconds "$@")
  printf '%s\n' "$a" "$b" "$c" | sort -n | head -n 1
}
frames_only() {  # frames_only COMMAND...: the time of the frames alone
  local all one
  one=$(best_of_3 1 "$@")
  all=$(best_of_3 "$frames" "$@")
  echo "$all $one" | awk '{ printf "%.2f", $1 - $2 }'
}

if grep -q -w avx2 /proc/cpuinfo; then path=avx2; else path=sse2; fi
native_s=$(frames_only "$native")
windows_s=$(frames_only wine "$windows")
echo "$frames frames ($path kernels): Linux ${native_s} s, Windows build under wine ${windows_s} s," \
     "ratio $(echo "$windows_s $native_s" | awk '{ printf "%.2f", $1 / $2 }') (goal at most 1.3)"
zip=$(ls build/release-files/velmora2k-*-win64.zip 2>/dev/null | tail -n 1)
if [ -n "$zip" ]; then
  size=$(stat -c %s "$zip")
  echo "zip: $zip, $size bytes ($(echo "$size" | awk '{ printf "%.2f", $1 / 1048576 }') MiB, goal at most 6 MB)"
fi
