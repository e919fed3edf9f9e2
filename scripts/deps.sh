#!/usr/bin/env bash
# Installs the Debian packages that are missing, through sudo when not root.
# Usage: scripts/deps.sh build|deb|web|windows|data|test
#   (test includes deb, web, windows and data, which include build)
# Quick when everything is already there: it only asks dpkg.
set -euo pipefail

# libfreetype-dev, libminizip-dev and the DejaVu faces: the party kit's
# lettering and zips.
build_packages=(cmake ninja-build g++ pkg-config libsdl2-dev libmpg123-dev libpng-dev
                zlib1g-dev libjpeg62-turbo-dev libfreetype-dev libminizip-dev fonts-dejavu-core)
# What the tests need beyond the builds; firefox-esr and webkit2gtk-driver are
# the browser engines the web tests drive beside Chromium; xfonts-base holds
# the X fonts SDL's message boxes are drawn with (a bare Xvfb has none that
# fit, and the box then fails to appear); icoutils reads the Windows program's
# icon back.
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-apps xfonts-base
               python3 python3-pil python3-numpy fonts-dejavu-core imagemagick ffmpeg clang libclang-rt-14-dev
               lintian appstream icoutils
               firefox-esr webkit2gtk-driver)
# The Debian package: its manual pages are made from the tools' --help.
deb_packages=(help2man man-db dpkg-dev)
# The browser build: the WebAssembly compiler, node to run its tools, what
# scripts/crossdeps.sh needs to fetch and unpack Debian's library sources, the
# browser the web tests drive, and zip for the studio's copy of the site.
web_packages=(emscripten nodejs node-acorn npm dpkg-dev xz-utils make python3 chromium imagemagick zip)
# The Windows build: the MinGW-w64 cross compiler (posix threads), what
# scripts/crossdeps.sh needs to build Debian's library sources with it,
# GoogleTest's sources for the checks under wine, wine to run the programs,
# zip for the release, and the packages whose copyright files are the
# licences of the runtime linked into the programs.
windows_packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                  mingw-w64-x86-64-dev mingw-w64-common dpkg-dev xz-utils make
                  googletest wine wine64 zip unzip python3)

# The data generators and a party's invitation (tools/make_data.sh,
# ./invitation.sh): numpy and Pillow, the lettering's fonts, the console font
# the page glyphs come from, the music's decoder and encoder, the web title
# picture's converter and the zips repacked.
data_packages=(python3 python3-numpy python3-pil fonts-dejavu-core console-setup-linux lame ffmpeg
               imagemagick zip unzip)

wanted=("${build_packages[@]}")
case "${1:-build}" in
  build) ;;
  deb) wanted+=("${deb_packages[@]}") ;;
  web) wanted+=("${web_packages[@]}") ;;
  windows) wanted+=("${windows_packages[@]}") ;;
  data) wanted+=("${data_packages[@]}") ;;
  test) wanted+=("${deb_packages[@]}" "${web_packages[@]}" "${windows_packages[@]}" "${data_packages[@]}"
                 "${test_packages[@]}") ;;
  *) echo "usage: scripts/deps.sh build|deb|web|windows|data|test" >&2; exit 2 ;;
esac

# Names that installed packages provide count as installed (a node package
# that brings its own npm provides npm and conflicts with Debian's).
provided=" $(dpkg-query -W -f='${db:Status-Abbrev} ${Provides}\n' 2>/dev/null |
             awk '/^ii/ { $1 = ""; print }' | tr ',' ' ' | sed 's/([^)]*)//g' | tr -s ' \n' '  ') "
missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) [[ "$provided" == *" $p "* ]] || missing+=("$p") ;;
  esac
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
else
  as_root=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
