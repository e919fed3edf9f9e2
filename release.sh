#!/usr/bin/env bash
# Makes every file an organiser publishes, into build/release-files/, with a
# SHA256SUMS beside them:
#   velmora2k_VERSION_amd64.deb       the Debian package (Linux desktops)
#   velmora2k-VERSION-win64.zip       the Windows release: unpack, double-click
#   velmora2k-VERSION-web.zip         the web site: unpack onto a static host
#   velmora2k-VERSION-studio.zip      the studio, where an organiser makes the
#                                     invitation their party's (with web)
# Usage: ./release.sh [--source-url URL] [deb|windows|web]
#   one of them; all three without one. --source-url names where the
#   programs' source is published; the Windows zip's LGPL notes give it with
#   the exact commit (a relink of the LGPL libraries needs it).
# Installs what is missing, builds from release configurations (never the
# sanitizer build); the Windows libraries are built once and kept in
# build/windeps/, the WebAssembly ones in build/webdeps/.
set -euo pipefail
cd "$(dirname "$0")"

usage() { echo "usage: ./release.sh [--source-url URL] [deb|windows|web]" >&2; exit 2; }
source_url=
if [ "${1:-}" = --source-url ]; then
  [ -n "${2:-}" ] || usage
  source_url=$2
  shift 2
fi
what=${1:-all}
case $what in
  all|deb|windows|web) ;;
  *) usage ;;
esac
[ $# -le 1 ] || usage
out=$PWD/build/release-files
mkdir -p "$out"

# The same sources make the same files: the programs' link stamps, the file
# dates in the zips and the package take the last commit's time.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH
export TZ=UTC

source scripts/zipfolder.sh

# The release configuration: the programs and the data, without the tests
# and benchmarks (the sanitizer build carries those).
linux_release() {
  scripts/deps.sh build
  cmake --preset release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
  cmake --build --preset release -j 2
}

# The project version, from project() in CMakeLists.txt.
version() {
  local v
  v=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  [ -n "$v" ] || { echo "release.sh: no version in project() of CMakeLists.txt" >&2; exit 1; }
  echo "$v"
}

# Text files for Windows readers: CR LF line ends (older Notepads show LF
# text as one line).
crlf() {
  sed 's/\r*$/\r/' "$@"
}

release_deb() {
  scripts/deps.sh deb
  linux_release
  rm -f build/release/*.deb
  (cd build/release && cpack -G DEB >/dev/null)
  cp build/release/*.deb "$out/"
}

# The version of a library the Windows programs link, as
# scripts/crossdeps.sh built it ("PACKAGE VERSION" lines after the key).
windeps_versions=build/windeps/prefix/versions.txt
windeps_version() {  # windeps_version PACKAGE
  local v
  v=$(awk -v pkg="$1" 'NR > 1 && $1 == pkg { print $2 }' "$windeps_versions")
  [ -n "$v" ] || { echo "release.sh: $windeps_versions names no $1" >&2; exit 1; }
  echo "$v"
}

# Where the programs' own source is, for the LGPL notes: the published
# address and the exact commit.
program_source() {
  local commit
  commit=$(git rev-parse HEAD 2>/dev/null || echo "unknown")
  [ -z "$(git status --porcelain --untracked-files=no 2>/dev/null)" ] ||
    commit="$commit with changes not committed"
  if [ -n "$source_url" ]; then
    echo "$source_url, commit $commit"
  else
    echo "release.sh: no --source-url given; the LGPL notes refer readers to the organisers" >&2
    echo "on request from $(sed -n 's/^Upstream-Contact: //p' dist/copyright), commit $commit"
  fi
}

# The licence texts of what the Windows programs link, as Debian ships them,
# and the notes on the LGPL libraries.
windows_licences() {  # windows_licences FOLDER
  local dir=$1 pkg v
  mkdir -p "$dir"
  # Every library scripts/crossdeps.sh built, from the source it built, but
  # the party kit's own (FreeType, minizip): only velmora2k-kit links them,
  # and the zip does not hold it.
  tail -n +2 "$windeps_versions" | while read -r pkg v; do
    case $pkg in freetype|minizip) continue ;; esac
    crlf "build/windeps/src/$pkg-$v/debian/copyright" > "$dir/$pkg.txt"
  done
  crlf /usr/share/doc/mingw-w64-common/copyright > "$dir/mingw-w64-runtime-and-winpthreads.txt"
  crlf /usr/share/doc/gcc-mingw-w64-base/copyright > "$dir/gcc-runtime-libgcc-libstdc++.txt"
  # Debian's copyright files name the LGPL without its text.
  crlf /usr/share/common-licenses/LGPL-2.1 > "$dir/LGPL-2.1.txt"
  local mpg123 glibc source
  mpg123=$(windeps_version mpg123)
  glibc=$(windeps_version glibc)
  # The address as sed replacement text: its \, & and | escaped.
  source=$(program_source | sed 's/[\\&|]/\\&/g')
  sed -e "s|@MPG123_VERSION@|$mpg123|g" -e "s|@GLIBC_VERSION@|$glibc|g" -e "s|@PROGRAM_SOURCE@|$source|g" \
    dist/windows/lgpl-sources.txt | crlf > "$dir/lgpl-sources.txt"
}

# LICENSE for the zip's reader: its title and copyright, what in the zip the
# two licences cover (dist/windows/licence-scope.txt), the MIT licence.
windows_license() {  # windows_license FILE
  grep -q -x 'MIT licence' LICENSE || { echo "release.sh: LICENSE has no 'MIT licence' section" >&2; exit 1; }
  { sed -n '1,2p' LICENSE; echo; cat dist/windows/licence-scope.txt; echo; sed -n '/^MIT licence$/,$p' LICENSE; } |
    crlf > "$1"
}

release_windows() {
  scripts/deps.sh windows
  scripts/crossdeps.sh windows
  cmake --preset windows >/dev/null
  # The linker stamps each program with SOURCE_DATE_EPOCH: relinked every
  # time, a program never keeps the stamp of an earlier commit.
  local exe
  for exe in velmora2k velmora2k-capture paktool; do rm -f "build/windows/bin/$exe.exe"; done
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
  sed "s/@VERSION@/$v/g" dist/windows/README.txt | crlf > "$stage/README.txt"
  windows_licences "$stage/licences"
  windows_license "$stage/LICENSE.txt"
  zip_folder "$zip" build/release-stage "$name"
  rm -rf "$stage"
  echo "Windows release: $zip ($(stat -c %s "$zip") bytes)"
}

release_web() {
  ./web.sh --build
  local zip stage=build/release-stage/web
  zip=$out/velmora2k-$(version)-web.zip
  rm -rf "$zip" "$stage"
  mkdir -p "$stage"
  cp -a build/web/. "$stage/"
  zip_folder "$zip" "$stage" .
  rm -rf "$stage"
  echo "Web release: $zip ($(stat -c %s "$zip") bytes)"
  release_studio
}

# The studio, a static folder of its own: it repacks the web zip above and,
# when this version's Windows zip is made, that one (scripts/studio_release.sh
# puts them in, through ./web.sh --build).
release_studio() {
  local name zip stage=build/release-stage
  name=velmora2k-$(version)-studio
  zip=$out/$name.zip
  rm -rf "$zip" "$stage/$name"
  mkdir -p "$stage"
  cp -a build/studio "$stage/$name"
  zip_folder "$zip" "$stage" "$name"
  rm -rf "$stage/$name"
  [ -f "build/studio/release/velmora2k-$(version)-win64.zip" ] ||
    echo "release.sh: the studio holds no Windows zip (./release.sh windows first): it will make none" >&2
  echo "Studio release: $zip ($(stat -c %s "$zip") bytes)"
}

case $what in
  deb) release_deb ;;
  windows) release_windows ;;
  web) release_web ;;
  all) release_deb; release_windows; release_web ;;
esac

# The checksums of every release file there; a failure fails the release.
(cd "$out" && rm -f SHA256SUMS && shopt -s nullglob && files=(*.deb *.zip) && [ ${#files[@]} -gt 0 ] &&
 sha256sum -- "${files[@]}" > SHA256SUMS.new && mv SHA256SUMS.new SHA256SUMS)
echo "Release files in $out:"
ls -l "$out"
