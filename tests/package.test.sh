#!/usr/bin/env bash
# The Debian package as a user gets it. cpack makes velmora2k_<version>_<arch>.deb
# from the release build tree; unpacked into a temporary root it holds the
# programs, the data, the desktop entry and the icons where a desktop looks
# for them; it declares the libraries the programs link; lintian finds no
# error and no warning in it, its AppStream metainfo validates, and the tools'
# --version, every manual page, the changelog and the metainfo name the
# package's version; and its capture tool, started from the unpacked bin/ with
# no --data, finds the unpacked data in ../share/velmora2k and shows the same
# frame as the sanitizer build's.
#
# The package is made from the release tree (build/release, or
# $VELMORA_RELEASE_DIR), as a user would make it: ./test.sh configures and
# builds it (target installable), and the test brings it up to date.
# Usage: package.test.sh BIN_DIR SOURCE_DIR   (BIN_DIR: the sanitizer build's)
set -u
bin_dir=$1
src=$2
release_dir=${VELMORA_RELEASE_DIR:-$src/build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS=detect_leaks=0
source "$(dirname "$0")/checks.sh"

for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-parsechangelog lintian appstreamcli man; do
  command -v "$tool" >/dev/null || { echo "package test needs $tool (scripts/deps.sh test installs it)" >&2; exit 1; }
done
if [ ! -f "$release_dir/CPackConfig.cmake" ]; then
  echo "no release build in $release_dir: run cmake --preset release (./test.sh does)" >&2
  exit 1
fi
cmake --build "$release_dir" --target installable >"$work/build.log" 2>&1 || {
  cat "$work/build.log" >&2
  echo "the release build failed" >&2
  exit 1
}
rel_bin="$release_dir/bin"

cpack -G DEB --config "$release_dir/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1
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
check "data archive as built" cmp -s "$root/usr/share/velmora2k/pak.pak" "$rel_bin/pak.pak"
check "music as built" cmp -s "$root/usr/share/velmora2k/qtn.mp3" "$rel_bin/qtn.mp3"
desktop="$root/usr/share/applications/velmora2k.desktop"
check "desktop entry starts the program" grep -qx "Exec=velmora2k" "$desktop"
check "desktop entry names the icon" grep -qx "Icon=velmora2k" "$desktop"
for size in 16 32 48 64 128 256; do
  icon="$root/usr/share/icons/hicolor/${size}x${size}/apps/velmora2k.png"
  check "icon ${size}x${size}" [ "$(identify -format '%m %w %h' "$icon" 2>/dev/null)" = "PNG $size $size" ]
done

# Debian's own checks: no error and no warning (information tags may stay),
# and metainfo that software centres accept.
lintian --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1
code=$?
grep -E '^[EW]: ' "$work/lintian.log" >&2
check "lintian finds no error or warning" [ "$code" -eq 0 ]
metainfo="$root/usr/share/metainfo/org.velmora2000.velmora2k.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1
code=$?
[ "$code" -eq 0 ] || cat "$work/appstream.log" >&2
check "metainfo validates" [ "$code" -eq 0 ]
launchable=$(grep -oP '<launchable type="desktop-id">\K[^<]+' "$metainfo")
check "metainfo launches the packaged desktop entry" [ -n "$launchable" -a -f "$root/usr/share/applications/$launchable" ]

# One version everywhere: the package's, the tools' --version, each manual
# page's header, the changelog's latest entry and the metainfo's latest release.
version=$(dpkg-deb -f "$deb" Version)
for exe in velmora2k-capture paktool; do
  check "$exe --version names $version" [ "$("$root/usr/bin/$exe" --version)" = "$exe $version" ]
done
man1="$root/usr/share/man/man1"
for exe in velmora2k velmora2k-capture paktool; do
  check "manual page of $exe is for version $version" \
    grep -qE "^\.TH .*\"$exe $version\"" <(zcat "$man1/$exe.1.gz")
done
check "changelog's latest entry is $version" \
  [ "$(zcat "$root/usr/share/doc/velmora2k/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ]
check "metainfo's latest release is $version" \
  [ "$(grep -m1 -oP '<release version="\K[^"]+' "$metainfo")" = "$version" ]

# The tools' pages tell exactly the options their --help lists; the
# invitation's page says it takes none.
page_text() { MANWIDTH=200 man -l -Tascii "$1" 2>/dev/null | col -b; }
options() { grep -oE -- '--[a-z]+' | sort -u; }
for exe in velmora2k-capture paktool; do
  check "manual page of $exe names the options of its --help" \
    [ "$("$root/usr/bin/$exe" --help | options)" = "$(page_text "$man1/$exe.1.gz" | options)" ]
done
check "manual page of velmora2k says it takes no arguments" \
  grep -q "takes no arguments" <(page_text "$man1/velmora2k.1.gz")

# The unpacked programs run on the unpacked data: the archive tool reads it,
# and the capture tool, started elsewhere, finds it from its own folder and
# shows the sanitizer build's frame of the menu with the blob turning.
check "paktool lists the unpacked archive" grep -q "^logo.png " <("$root/usr/bin/paktool" list "$root/usr/share/velmora2k/pak.pak")
mkdir -p "$work/elsewhere"
out=$(cd "$work/elsewhere" && "$root/usr/bin/velmora2k-capture" --fps 10 --frames 230 --save 229 --out "$work/unpacked")
check "unpacked capture runs" [ "$(tail -n 1 <<<"$out")" = "stopped: after 230 frames" ]
"$bin_dir/velmora2k-capture" --fps 10 --frames 230 --save 229 --out "$work/built" >/dev/null
check "unpacked frame equals the sanitizer build's" cmp -s "$work/unpacked/frame_000229.png" "$work/built/frame_000229.png"

checks_done
