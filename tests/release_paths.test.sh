#!/usr/bin/env bash
# The same commit gives the same release files from any folder: no program
# of a release file holds the path of the folder it was built in (compiled-in
# source paths of our code or of the cross-built libraries, build folders).
# Reads what ./test.sh builds: the Windows zip (./release.sh windows), the
# browser site (./web.sh --build) and the release build the .deb packs.
set -u
source_dir=$2
here=$(dirname "$0")
source "$here/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

zip=$(ls "$source_dir"/build/release-files/velmora2k-*-win64.zip 2>/dev/null | tail -n 1)
if [ -z "$zip" ]; then
  echo "the Windows release is missing: run ./release.sh windows" >&2
  exit 1
fi
unzip -q "$zip" -d "$work"
programs=("$work"/velmora2k-*-win64/*.exe
          "$source_dir"/build/web/velmora.wasm "$source_dir"/build/web/velmora.js
          "$source_dir"/build/release/bin/velmora2k "$source_dir"/build/release/bin/velmora2k-capture
          "$source_dir"/build/release/bin/paktool)
# The folder's path as the Windows build would see it too (backslashes).
windows_path=$(echo "$source_dir" | tr / '\\')
for program in "${programs[@]}"; do
  name=${program#"$work/"}
  if [ ! -s "$program" ]; then
    check "$name exists" false
    continue
  fi
  strings -a -n 8 "$program" >"$work/strings"
  found=$(grep -F -e "$source_dir" -e "$windows_path" "$work/strings" | head -n 3)
  [ -z "$found" ] || echo "$name holds the build folder's path: $found" >&2
  check "$name holds no path of the folder it was built in" [ -z "$found" ]
done
checks_done
