#!/usr/bin/env bash
# The Debian package as a user gets it. cpack makes velmora2k_<version>_<arch>.deb
# from this build tree; unpacked into a temporary root it holds the programs,
# the data, the desktop entry and the icons where a desktop looks for them; it
# declares the libraries the programs link; and its capture tool, started from
# the unpacked bin/ with no --data, finds the unpacked data in ../share/velmora2k
# and shows the same frame as the build tree's.
#
# The suite packages the build it has just made (the sanitizer build) rather
# than building a second, release, tree: the layout, the declared libraries and
# the data lookup are the same for both, and the suite stays quick.
set -u
bin_dir=$1
build_dir=$(dirname "$bin_dir")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
source "$(dirname "$0")/checks.sh"

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || { echo "package test needs $tool (scripts/deps.sh test installs it)" >&2; exit 1; }
done

cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1
code=$?
[ "$code" -eq 0 ] || cat "$work/cpack.log" >&2
check "cpack makes the package" [ "$code" -eq 0 ]
arch=$(dpkg --print-architecture)
debs=("$work"/pkg/velmora2k_*_"$arch".deb)
check "one package named velmora2k_<version>_<arch>.deb" [ ${#debs[@]} -eq 1 -a -f "${debs[0]}" ]
deb=${debs[0]}
[ -f "$deb" ] || { echo "$passes passed, $((failures + 1)) failed"; exit 1; }

# Control fields: its name, and every library the programs link.
check "package name" [ "$(dpkg-deb -f "$deb" Package)" = velmora2k ]
dpkg-deb -f "$deb" Depends | tr ',' '\n' | awk '{ print $1 }' >"$work/depends"
for lib in libc6 libstdc++6 libsdl2-2.0-0 libmpg123-0 libpng16-16 libjpeg62-turbo zlib1g; do
  check "depends on $lib" grep -qxF "$lib" "$work/depends"
done

# Layout of the unpacked tree.
root="$work/root"
dpkg-deb -x "$deb" "$root"
for exe in velmora2k velmora2k-capture paktool; do
  check "bin/$exe" [ -x "$root/usr/bin/$exe" ]
done
check "data archive as built" cmp -s "$root/usr/share/velmora2k/pak.pak" "$bin_dir/pak.pak"
check "music as built" cmp -s "$root/usr/share/velmora2k/qtn.mp3" "$bin_dir/qtn.mp3"
desktop="$root/usr/share/applications/velmora2k.desktop"
check "desktop entry starts the program" grep -qx "Exec=velmora2k" "$desktop"
check "desktop entry names the icon" grep -qx "Icon=velmora2k" "$desktop"
for size in 16 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/velmora2k.png"
  check "icon ${size}x${size}" [ "$(identify -format '%m %w %h' "$icon" 2>/dev/null)" = "PNG $size $size" ]
done

# The unpacked programs run on the unpacked data: the archive tool reads it,
# and the capture tool, started elsewhere, finds it from its own folder and
# shows the build tree's frame of the menu with the blob turning.
check "paktool lists the unpacked archive" grep -q "^logo.png " <("$root/usr/bin/paktool" list "$root/usr/share/velmora2k/pak.pak")
mkdir -p "$work/elsewhere"
out=$(cd "$work/elsewhere" && "$root/usr/bin/velmora2k-capture" --fps 10 --frames 230 --save 229 --out "$work/unpacked")
check "unpacked capture runs" [ "$(tail -n 1 <<<"$out")" = "stopped: after 230 frames" ]
"$bin_dir/velmora2k-capture" --fps 10 --frames 230 --save 229 --out "$work/built" >/dev/null
check "unpacked frame equals the build tree's" cmp -s "$work/unpacked/frame_000229.png" "$work/built/frame_000229.png"

checks_done
