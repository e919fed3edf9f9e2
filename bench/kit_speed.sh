#!/usr/bin/env bash
# How fast the party kit makes a party (a measurement, not a test): the
# example party (examples/skargard) made into pak.pak and every data file
# by velmora2k-kit natively and as WebAssembly under node, RUNS times each,
# one after the other in the same run; the best run of each counts (the
# least disturbed by the rest of the machine), start-up included, as an
# organiser waits for it. The goal: WebAssembly at most twice the native
# time.
# Usage: bench/kit_speed.sh [RUNS]   (after ./web.sh --build)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}

cmake --preset release >/dev/null
cmake --build --preset release --target velmora2k-kit velmora_kit_base >/dev/null
native=build/release/bin/velmora2k-kit
web=build/web-cmake/bin/velmora2k-kit.js
if [ ! -f "$web" ]; then
  echo "build the web site first: ./web.sh --build" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fastest() {  # fastest data|visit COMMAND...: the shortest wall time of RUNS runs, in seconds
  local what=$1 start end t min=
  shift
  for _ in $(seq 1 "$runs"); do
    rm -rf "$work/out"
    start=$(date +%s.%N)
    if [ "$what" = data ]; then
      "$@" data examples/skargard "$work/out" >/dev/null
    else
      "$@" visit --fps 10 >/dev/null  # a command that makes nothing: the program's start
    fi
    end=$(date +%s.%N)
    t=$(echo "$start $end" | awk '{ printf "%.3f", $2 - $1 }')
    min=$(echo "${min:-$t} $t" | awk '{ print ($2 < $1) ? $2 : $1 }')
  done
  echo "$min"
}

native_s=$(fastest data "$native")
web_s=$(fastest data node --no-experimental-fetch "$web")
echo "the example party's data: native ${native_s} s, WebAssembly under node ${web_s} s," \
     "ratio $(echo "$web_s $native_s" | awk '{ printf "%.2f", $1 / $2 }') (goal at most 2)"
# The same without each program's start.
native_0=$(fastest visit "$native")
web_0=$(fastest visit node --no-experimental-fetch "$web")
echo "without the start (native ${native_0} s, node and WebAssembly ${web_0} s): ratio" \
     "$(echo "$web_s $web_0 $native_s $native_0" | awk '{ printf "%.2f", ($1 - $2) / ($3 - $4) }')"
