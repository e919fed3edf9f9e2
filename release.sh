#!/usr/bin/env bash
# Makes every file an organiser publishes, into build/release-files/, with a
# SHA256SUMS beside them:
#   velmora2k_VERSION_amd64.deb       the Debian package (Linux desktops)
#   velmora2k-VERSION-win64.zip       the Windows release: unpack, double-click
#   velmora2k-VERSION-web.zip         the web site: unpack onto a static host
# Usage: ./release.sh [deb|windows|web]   one of them; all three without one.
# Installs what is missing, builds from release configurations (never the
# sanitizer build); the Windows libraries are built once and kept in
# build/windeps/, the WebAssembly ones in build/webdeps/.
set -euo pipefail
cd "$(dirname "$0")"

what=${1:-all}
case $what in
  all|deb|windows|web) ;;
  *) echo "usage: ./release.sh [deb|windows|web]" >&2; exit 2 ;;
esac
out=$PWD/build/release-files
mkdir -p "$out"

# The same sources make the same files: the programs' link stamps, the file
# dates in the zips and the package take the last commit's time.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
export TZ=UTC

# zip_folder ZIP DIR ITEM: ITEM (a path inside DIR) into ZIP, its files in
# name order and dated SOURCE_DATE_EPOCH. DIR is a staging copy: the dates
# of build outputs are left alone, or the next build would redo them.
zip_folder() {
  local zip=$1 dir=$2 item=$3
  find "$dir/$item" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  (cd "$dir" && find "$item" -print | LC_ALL=C sort | zip -q -X -9 "$zip" -@)
}

# The release configuration: the programs and the data, without the tests
# and benchmarks (the sanitizer build carries those).
linux_release() {
  scripts/deps.sh build
  cmake --preset release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
  cmake --build --preset release -j 2
}

version() {
  sed -n 's/^VELMORA_RELEASE_VERSION:INTERNAL=//p' build/release/CMakeCache.txt
}

release_deb() {
  scripts/deps.sh deb
  linux_release
  rm -f build/release/*.deb
  (cd build/release && cpack -G DEB >/dev/null)
  cp build/release/*.deb "$out/"
}

# The licence texts of what the Windows programs link, as Debian ships them.
windows_licences() {  # windows_licences FOLDER
  local dir=$1 pkg src
  mkdir -p "$dir"
  for pkg in libsdl2 zlib libpng1.6 libjpeg-turbo mpg123 glibc; do
    src=$(ls -d build/windeps/src/"$pkg"-*/ | tail -n 1)
    cp "$src/debian/copyright" "$dir/$pkg.txt"
  done
  cp /usr/share/doc/mingw-w64-common/copyright "$dir/mingw-w64-runtime-and-winpthreads.txt"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$dir/gcc-runtime-libgcc-libstdc++.txt"
  # Debian's copyright files name the LGPL without its text.
  cp /usr/share/common-licenses/LGPL-2.1 "$dir/LGPL-2.1.txt"
  local mpg123_src glibc_src
  mpg123_src=$(ls -d build/windeps/src/mpg123-*/ | tail -n 1)
  mpg123_src=${mpg123_src%/}
  glibc_src=$(ls -d build/windeps/src/glibc-*/ | tail -n 1)
  glibc_src=${glibc_src%/}
  sed -e "s/@MPG123_VERSION@/${mpg123_src##*/mpg123-}/g" -e "s/@GLIBC_VERSION@/${glibc_src##*/glibc-}/g" \
    dist/windows/lgpl-sources.txt > "$dir/lgpl-sources.txt"
}

release_windows() {
  scripts/deps.sh windows
  scripts/crossdeps.sh windows
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j 2
  # The archive the Linux build packs goes into the zip.
  linux_release
  local v name stage zip
  v=$(version)
  name=velmora2k-$v-win64
  stage=build/release-stage/$name
  zip=$out/$name.zip
  rm -rf "$stage" "$zip"
  mkdir -p "$stage"
  for exe in velmora2k velmora2k-capture paktool; do
    x86_64-w64-mingw32-strip -o "$stage/$exe.exe" "build/windows/bin/$exe.exe"
  done
  cp build/release/bin/pak.pak build/release/bin/qtn.mp3 "$stage/"
  sed "s/@VERSION@/$v/g" dist/windows/README.txt | sed 's/$/\r/' > "$stage/README.txt"
  windows_licences "$stage/licences"
  [ -f LICENSE ] && sed 's/$/\r/' LICENSE > "$stage/LICENSE.txt"
  zip_folder "$zip" build/release-stage "$name"
  rm -rf "$stage"
  echo "Windows release: $zip ($(stat -c %s "$zip") bytes)"
}

release_web() {
  ./web.sh --build
  linux_release
  local zip stage=build/release-stage/web
  zip=$out/velmora2k-$(version)-web.zip
  rm -rf "$zip" "$stage"
  mkdir -p "$stage"
  cp -a build/web/. "$stage/"
  zip_folder "$zip" "$stage" .
  rm -rf "$stage"
  echo "Web release: $zip ($(stat -c %s "$zip") bytes)"
}

case $what in
  deb) release_deb ;;
  windows) release_windows ;;
  web) release_web ;;
  all) release_deb; release_windows; release_web ;;
esac

(cd "$out" && rm -f SHA256SUMS && sha256sum -- *.deb *.zip 2>/dev/null > SHA256SUMS) || true
echo "Release files in $out:"
ls -l "$out"
