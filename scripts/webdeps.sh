#!/usr/bin/env bash
# Builds zlib, libpng, libjpeg-turbo and libmpg123 as WebAssembly static
# libraries from Debian's own source packages, for the browser build.
#
# Usage: scripts/webdeps.sh [--refresh]
#
# Everything lives under build/webdeps/: a private apt state (the system's apt
# configuration is only read, never changed), the unpacked sources and the
# install prefix build/webdeps/prefix/{include,lib,lib/pkgconfig}.
# Each library is built from the newest source version that the archive
# serves and rebuilt only when that version or the compiler changes; when the
# compiler and this script are unchanged, a later run skips even the look-up
# (no network needed). --refresh looks up the versions again and rebuilds all.
set -euo pipefail
cd "$(dirname "$0")/.."

root=$PWD/build/webdeps
prefix=$root/prefix
stamp=$prefix/versions.txt
jobs=2
# Debian source package names, in build order (libpng needs zlib).
packages=(zlib libpng1.6 libjpeg-turbo mpg123)

node_modules_dir() {
  # emcc runs its JS tools with node, which must find Debian's node modules.
  local acorn
  acorn=$(dpkg -L node-acorn 2>/dev/null | grep -m1 '/acorn/package.json$' || true)
  [ -n "$acorn" ] && dirname "$(dirname "$acorn")"
}

build_key() {
  # What the built prefix depends on besides the source versions.
  { emcc --version | sed -n 1p; sha256sum "$0" | cut -d' ' -f1; } | tr '\n' ' '
}

all_stamped() {
  local pkg
  for pkg in "${packages[@]}"; do [ -f "$prefix/stamps/$pkg" ] || return 1; done
}

if [ "${1:-}" != --refresh ] && [ -f "$stamp" ] && all_stamped &&
   [ "$(head -n1 "$stamp")" = "key: $(build_key)" ]; then
  echo "WebAssembly libraries are up to date in $prefix:"
  tail -n +2 "$stamp"
  exit 0
fi

nm_dir=$(node_modules_dir)
export NODE_PATH="${nm_dir}${NODE_PATH:+:$NODE_PATH}"

# ---- A private apt state that knows the source packages of the suites the
# system already uses. The archive addresses come from the system's own
# sources, whatever format they are written in.
apt_dir=$root/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
  sort -u | awk 'NF == 3 { print "deb-src " $1 " " $2 " " $3 }' > "$apt_dir/sources.list.new"
if [ ! -s "$apt_dir/sources.list.new" ]; then
  echo "webdeps: the system's apt sources name no Debian archive" >&2
  exit 1
fi
mv "$apt_dir/sources.list.new" "$apt_dir/sources.list"
apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.list"
          -o "Dir::Etc::SourceParts=/dev/null"
          -o "Dir::State::Lists=$apt_dir/lists"
          -o "Dir::Cache=$apt_dir/cache"
          -o "APT::Sandbox::User=root"
          -o "Debug::NoLocking=1")
apt-get "${apt_opts[@]}" -qq update

# Prints "version suite" for each suite that holds the source package, newest
# version first by dpkg's ordering. apt chooses the archive by suite, so a
# version is always asked for together with the suite that lists it.
candidates() {
  local pkg=$1 suite dsc v sorted=() i
  for suite in $(awk '{ print $3 }' "$apt_dir/sources.list" | sort -u); do
    dsc=$(apt-get "${apt_opts[@]}" -qq source --print-uris "$pkg/$suite" 2>/dev/null |
          awk '$2 ~ /\.dsc$/ { print $2; exit }')
    [ -n "$dsc" ] || continue
    v=${dsc#"${pkg}_"}
    v=${v%.dsc}
    i=${#sorted[@]}
    while [ "$i" -gt 0 ] && dpkg --compare-versions "$v" gt "${sorted[i-1]%% *}"; do
      sorted[i]=${sorted[i-1]}
      i=$((i - 1))
    done
    sorted[i]="$v $suite"
  done
  [ ${#sorted[@]} -gt 0 ] && printf '%s\n' "${sorted[@]}"
}

# Unpacks the newest version of a source package that can be fetched into
# $root/src and prints its folder. A listed version whose files the archive
# no longer serves is skipped for the next one listed (the same version in
# another suite, or the one before it).
fetch_source() {
  local pkg=$1 v suite dir
  mkdir -p "$root/src"
  while read -r v suite; do
    dir=$root/src/$pkg-$v
    if [ -f "$dir/.unpacked" ]; then echo "$dir"; return 0; fi
    rm -rf "$dir" "$root/dl"
    mkdir -p "$root/dl"
    if (cd "$root/dl" && apt-get "${apt_opts[@]}" -qq source --download-only "$pkg/$suite" >&2 &&
        dpkg-source -x --no-check ./*.dsc "$dir" >&2); then
      touch "$dir/.unpacked"
      rm -rf "$root/dl"
      echo "$dir"
      return 0
    fi
    echo "webdeps: $pkg $v ($suite) could not be fetched, trying the next one listed" >&2
  done < <(candidates "$pkg")
  echo "webdeps: no version of $pkg could be fetched" >&2
  return 1
}

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig
# The browser build runs on WebAssembly SIMD anyway: let the compiler use it.
common_cflags="-O3 -msimd128"
# CMake runs its type-size probes under node; emcmake's own node flag is
# refused by current node versions, which made every probe fail.
emulator="$(command -v node);--no-experimental-fetch"

build_zlib() {
  local src=$1
  (cd "$src" && make distclean >/dev/null 2>&1 || true
   cd "$src" && CFLAGS="$common_cflags" emconfigure ./configure --static --prefix="$prefix" &&
   emmake make -j"$jobs" libz.a && emmake make install)
}

build_libpng() {
  local src=$1 b=$1/wasm-build
  rm -rf "$b"
  emcmake cmake -S "$src" -B "$b" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$common_cflags" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DZLIB_ROOT="$prefix" -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON
  cmake --build "$b" -j"$jobs" --target png_static
  cmake --install "$b"
}

build_libjpeg_turbo() {
  local src=$1 b=$1/wasm-build
  rm -rf "$b"
  emcmake cmake -S "$src" -B "$b" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$common_cflags" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$emulator" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR="$prefix/lib" \
    -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG8=OFF -DWITH_JAVA=OFF
  cmake --build "$b" -j"$jobs" --target jpeg-static
  # Its install rule also wants the command-line programs, which are not built.
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp "$b/libjpeg.a" "$prefix/lib/"
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$b/jconfig.h" "$prefix/include/"
  cp "$b/pkgscripts/libjpeg.pc" "$prefix/lib/pkgconfig/"
}

build_mpg123() {
  local src=$1
  # Only the decoding library: the players and the output libraries are not
  # needed, so they are neither built nor installed.
  (cd "$src" && make distclean >/dev/null 2>&1 || true
   cd "$src" && CFLAGS="$common_cflags" emconfigure ./configure --host=wasm32 --prefix="$prefix" \
     --disable-shared --enable-static --with-cpu=generic_fpu --disable-modules --with-audio=dummy &&
   emmake make -j"$jobs" src/libmpg123/libmpg123.la)
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp "$src/src/libmpg123/.libs/libmpg123.a" "$prefix/lib/"
  cp "$src/src/libmpg123/mpg123.h" "$src/src/libmpg123/fmt123.h" "$prefix/include/"
  cp "$src/libmpg123.pc" "$prefix/lib/pkgconfig/"
}

[ "${1:-}" = --refresh ] && rm -rf "$prefix"
mkdir -p "$prefix/stamps"
compiler=$(emcc --version | sed -n 1p)
built=()
for pkg in "${packages[@]}"; do
  src=$(fetch_source "$pkg")
  version=${src##*/$pkg-}
  # Each library is rebuilt only when its source version, the compiler or the
  # compiler flags changed.
  if [ "$(cat "$prefix/stamps/$pkg" 2>/dev/null)" != "$version $compiler $common_cflags" ]; then
    echo "webdeps: building $pkg $version for WebAssembly"
    case $pkg in
      zlib) build_zlib "$src" ;;
      libpng1.6) build_libpng "$src" ;;
      libjpeg-turbo) build_libjpeg_turbo "$src" ;;
      mpg123) build_mpg123 "$src" ;;
    esac
    echo "$version $compiler $common_cflags" > "$prefix/stamps/$pkg"
  fi
  built+=("$pkg $version")
done

{ echo "key: $(build_key)"; printf '%s\n' "${built[@]}"; } > "$stamp"
echo "WebAssembly libraries built in $prefix:"
printf '  %s\n' "${built[@]}"
