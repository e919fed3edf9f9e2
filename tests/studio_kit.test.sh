#!/usr/bin/env bash
# The studio page's kit (build/studio, made by ./web.sh --build) under node,
# through kit.js and its worker as the page calls them, makes what the
# command line makes from the same party folder:
#   the example party opened from example.zip is examples/skargard, and
#     zipped again is example.zip byte for byte
#   its facts, pak.pak and web site zip (from our site, build/web) are the
#     command line's; the data holds the party's music, or without it the
#     invitation's own; SHA256SUMS checks with sha256sum -c
#   a folder with faults gives the command line's problems, with file, line
#     and column, and no pak.pak
#   the visit script and the preview sheet's frames are the command line's
#   bad calls are refused with the kit's "what is wrong; what to do", and
#     the kit keeps working after them
# Usage: studio_kit.test.sh BIN_DIR SOURCE_DIR
set -u
bin_dir=$1
source_dir=$2
studio=$source_dir/build/studio
site=$source_dir/build/web
if [ ! -f "$studio/kit/velmora2k-studio.wasm" ] || [ ! -f "$studio/example.zip" ] || [ ! -f "$site/index.html" ]; then
  echo "the web build is missing: run ./web.sh --build" >&2
  exit 1
fi
kit=$bin_dir/velmora2k-kit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

example=$source_dir/examples/skargard
own_music=$source_dir/data/qtn.mp3
time=1767225600  # 2026-01-01 00:00 UTC
# The party's music: any bytes other than the invitation's own will do, the
# kit stores them as given.
head -c 300000 "$own_music" >"$work/party.mp3"

# Faults: an edition too long (party.txt line 4), an unknown key (line 9,
# column 1), a page missing.
cp -r "$example" "$work/faulty"
sed -i 's/^edition: .*/edition: A midsummer edition far too long for its box/' "$work/faulty/party.txt"
echo "colour: blue" >>"$work/faulty/party.txt"
rm "$work/faulty/pages/credits.txt"

# The command line's files, to compare with the studio's.
cli() {
  "$kit" facts "$example" >"$work/facts.txt" &&
    "$kit" data "$example" "$work/cli" --music "$work/party.mp3" --web "$site" --time $time &&
    "$kit" visit --fps 30 >"$work/visit.txt" &&
    "$kit" visit --fps 30 --frames >"$work/frames.txt" &&
    { "$kit" check "$work/faulty" 2>&1 | sed -n "s|^$work/faulty/||p" >"$work/faulty.txt"; }
}
check "the command line makes the example's files" cli || { checks_done; exit 1; }
slug=$(cat "$work/cli/slug.txt")

mkdir "$work/studio"
check "the kit runs under node" \
  node --no-experimental-fetch "$source_dir/tests/web/studio_kit.mjs" "$studio" "$work/party.mp3" "$work/faulty" \
  "$site" $time "$work/studio" || { checks_done; exit 1; }
got=$work/studio

check "example.zip opens into the example party" diff -r "$example" "$got/example"
check "the example zipped again is example.zip byte for byte" cmp "$studio/example.zip" "$got/example.zip"
check "the facts are the command line's" cmp "$work/facts.txt" "$got/facts.txt"
check "pak.pak is the command line's" cmp "$work/cli/pak.pak" "$got/pak.pak"
check "the data holds the party's music" cmp "$work/party.mp3" "$got/qtn.mp3"
check "without music, the invitation's own" cmp "$own_music" "$got/own.mp3"
check "the web site zip is the command line's" cmp "$work/cli/$slug-web.zip" "$got/release/$slug-web.zip"
check "the release is the web zip and SHA256SUMS" \
  test "$(ls "$got/release")" = "$(printf '%s\n' SHA256SUMS "$slug-web.zip")"
check "SHA256SUMS as sha256sum writes it" \
  test "$(cat "$got/release/SHA256SUMS")" = "$(cd "$got/release" && sha256sum -- "$slug-web.zip")"

check "a faulty folder's problems are the command line's" cmp "$work/faulty.txt" "$got/faulty.txt"
check "the problems name the fault's file, line and column; no pak.pak is made" node -e '
  const { problems, pak } = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
  const at = (file, line, column, place) => problems.some((p) => p.file === file && p.line === line &&
    p.column === column && !p.warning && p.text === `${place}: ${p.message}` && p.message.includes("; "));
  process.exit(problems.length === 3 && at("party.txt", 4, 0, "party.txt:4") && at("party.txt", 9, 1, "party.txt:9:1") &&
    at("pages/credits.txt", 0, 0, "pages/credits.txt") && pak === null ? 0 : 1);
' "$got/faulty.json"

check "the visit script is the command line's" cmp "$work/visit.txt" "$got/visit.txt"
check "the preview sheet's frames are the command line's" cmp "$work/frames.txt" "$got/frames.txt"

check "six bad calls refused, each saying what is wrong and what to do" \
  test "$(grep -c '; ' "$got/refused.txt")" -eq 6
check "the kit works after refusing" test "$(cat "$got/after.txt")" -gt 0

checks_done
