#!/usr/bin/env bash
# The studio in Chromium, Firefox and WebKit (tests/web/studio.mjs, through
# the engines test's drivers): the example party opened as a zip through the
# file input (zipped as macOS zips it, hidden files and all) plays in the
# preview; a new name typed into the form shows in the menu's header exactly
# as the kit letters it; the downloads hold the pak.pak ./invitation.sh makes
# for the same folder, and the web zip among them plays; a folder with faults
# shows each at its field or page line.
# Usage: studio.test.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin_dir=$1
source_dir=$2
studio=$source_dir/build/studio
source "$source_dir/tests/web/prepare.sh"
web_test_prepare "$source_dir" /usr/bin/chromium firefox-esr WebKitWebDriver xvfb-run zip unzip
for f in index.html release.json example.zip kit/base.zip; do
  [ -f "$studio/$f" ] || { echo "$studio/$f is missing: build the studio with ./web.sh --build" >&2; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work" "$expect"' EXIT

# The example with the name the test types, made by the command line.
name="Hamnfest Sjöby 2031"
cp -r "$source_dir/examples/skargard" "$work/renamed"
sed -i "s/^name: .*/name: $name/" "$work/renamed/party.txt"
VELMORA_BIN_DIR=$bin_dir "$source_dir/invitation.sh" --preview "$work/renamed" "$work/cli" >"$work/cli.out" 2>&1 ||
  { cat "$work/cli.out"; exit 1; }
"$bin_dir/paktool" cat "$work/cli/pak.pak" panel.png >"$work/panel.png"
convert "$work/panel.png" -crop "640x$(layout_value header_rows)+0+0" +repage -depth 8 "rgb:$work/header.rgb"

# The example zipped as macOS zips a folder: under the folder's name, with a
# .DS_Store and the __MACOSX/ folder of resource forks beside it, which the
# studio passes over as the command line passes over hidden files. And a
# folder with a fault of each kind.
mkdir -p "$work/mac/skargard" "$work/mac/__MACOSX/skargard"
cp -r "$source_dir/examples/skargard/." "$work/mac/skargard/"
printf 'Bud1' >"$work/mac/skargard/.DS_Store"
printf '\0\5\26\7' >"$work/mac/__MACOSX/skargard/._party.txt"
(cd "$work/mac" && zip -q -r -X "$work/skargard.zip" skargard __MACOSX)
bad=$work/bad
source "$source_dir/tests/faulty_party.sh"
faulty_party "$bad"
(cd "$bad" && zip -q -r -X "$work/bad.zip" .)

xvfb-run -a -s "-screen 0 1366x768x24" \
  node "$runner/studio.mjs" "$studio" "$work" "$name" "$(sha256sum "$work/cli/pak.pak" | cut -c1-64)"
