#!/usr/bin/env bash
# Installs the Debian packages that are missing, through sudo when not root.
# Usage: scripts/deps.sh build|web|test   (test includes web, web includes build)
# Quick when everything is already there: it only asks dpkg.
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config libsdl2-dev libmpg123-dev libpng-dev
                zlib1g-dev libjpeg62-turbo-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-apps
               python3 python3-pil python3-numpy fonts-dejavu-core imagemagick ffmpeg clang libclang-rt-14-dev
               help2man lintian appstream man-db)
# The browser build: the WebAssembly compiler, node to run its tools, what
# scripts/webdeps.sh needs to fetch and unpack Debian's library sources, and the
# browser the web tests drive.
web_packages=(emscripten nodejs node-acorn npm dpkg-dev xz-utils make python3 chromium imagemagick)

wanted=("${build_packages[@]}")
case "${1:-build}" in
  build) ;;
  web) wanted+=("${web_packages[@]}") ;;
  test) wanted+=("${web_packages[@]}" "${test_packages[@]}") ;;
  *) echo "usage: scripts/deps.sh build|web|test" >&2; exit 2 ;;
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
