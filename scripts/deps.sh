#!/usr/bin/env bash
# Installs the Debian packages that are missing, through sudo when not root.
# Usage: scripts/deps.sh build|test
# Quick when everything is already there: it only asks dpkg.
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config libsdl2-dev libmpg123-dev libpng-dev
                zlib1g-dev libjpeg62-turbo-dev)
test_packages=(libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-apps
               python3 python3-pil python3-numpy fonts-dejavu-core imagemagick ffmpeg clang libclang-rt-14-dev dpkg-dev)

wanted=("${build_packages[@]}")
if [ "${1:-build}" = test ]; then
  wanted+=("${test_packages[@]}")
fi

missing=()
for p in "${wanted[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  case "$status" in
    *"install ok installed"*) ;;
    *) missing+=("$p") ;;
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
