#!/usr/bin/env bash
# Builds the libraries that the cross builds link statically, from Debian's
# own source packages:
#   web      zlib, libpng, libjpeg-turbo, libmpg123, and for the party kit
#            FreeType and minizip, and for the studio's MP3 encoder
#            libmp3lame, for WebAssembly (emscripten), for the browser
#            build: build/webdeps/
#   windows  the same, SDL2, and glibc's sin, cos and sincos for 64-bit
#            Windows (MinGW-w64, the posix thread model), for the Windows
#            build: build/windeps/
#
# Usage: scripts/crossdeps.sh web|windows [--refresh]
#   CROSSDEPS_DIR=FOLDER builds into FOLDER instead of build/webdeps or
#   build/windeps (a second set of libraries beside the one the builds use).
#
# Everything of a target lives under its folder: a private apt state (the
# system's apt configuration is only read, never changed), the unpacked
# sources and the install prefix .../prefix/{include,lib,lib/pkgconfig}.
# Each library is built from the newest source version that the archive
# serves and rebuilt only when that version, the compiler or this script
# changes; when the compiler and this script are unchanged, a later run skips
# even the look-up (no network needed). --refresh looks up the versions again
# and rebuilds all. Deleting a library's stamp (prefix/stamps/PACKAGE)
# rebuilds that library from the sources already unpacked.
set -euo pipefail
# The script's own path, resolved before changing folder: its content is part
# of every library's stamp.
script=$(readlink -f "${BASH_SOURCE[0]}")
# A folder given is named from where the script was started.
[ -z "${CROSSDEPS_DIR:-}" ] || CROSSDEPS_DIR=$(readlink -m "$CROSSDEPS_DIR")
cd "$(dirname "$script")/.."

target=${1:-}
refresh=${2:-}
# Each target's libraries in build order (libpng, FreeType and minizip need
# zlib): each Debian
# source package with the function that builds it.
case $target in
  web)
    root=${CROSSDEPS_DIR:-$PWD/build/webdeps}
    libraries=(zlib:build_zlib_configure libpng1.6:build_libpng libjpeg-turbo:build_libjpeg_turbo
               mpg123:build_mpg123 freetype:build_freetype minizip:build_minizip
               lame:build_lame)
    compiler_version() { emcc --version | sed -n 1p; }
    ;;
  windows)
    root=${CROSSDEPS_DIR:-$PWD/build/windeps}
    libraries=(zlib:build_zlib_cmake libpng1.6:build_libpng libjpeg-turbo:build_libjpeg_turbo
               mpg123:build_mpg123 libsdl2:build_sdl2 glibc:build_glibc_sincos
               freetype:build_freetype minizip:build_minizip)
    mingw=x86_64-w64-mingw32
    compiler_version() { "$mingw-gcc-posix" --version | sed -n 1p; }
    ;;
  *)
    echo "usage: scripts/crossdeps.sh web|windows [--refresh]" >&2
    exit 2
    ;;
esac
packages=("${libraries[@]%%:*}")
case $refresh in
  ""|--refresh) ;;
  *) echo "usage: scripts/crossdeps.sh web|windows [--refresh]" >&2; exit 2 ;;
esac
prefix=$root/prefix
stamp=$prefix/versions.txt
jobs=2
script_hash=$(sha256sum "$script" | cut -d' ' -f1)

node_modules_dir() {
  # emcc runs its JS tools with node, which must find Debian's node modules.
  local acorn
  acorn=$(dpkg -L node-acorn 2>/dev/null | grep -m1 '/acorn/package.json$' || true)
  [ -n "$acorn" ] && dirname "$(dirname "$acorn")"
}

build_key() {
  # What the built prefix depends on besides the source versions.
  echo "$(compiler_version) $script_hash"
}

all_stamped() {
  local pkg
  for pkg in "${packages[@]}"; do [ -f "$prefix/stamps/$pkg" ] || return 1; done
}

if [ "$refresh" != --refresh ] && [ -f "$stamp" ] && all_stamped &&
   [ "$(head -n1 "$stamp")" = "key: $(build_key)" ]; then
  echo "Libraries for $target are up to date in $prefix:"
  tail -n +2 "$stamp"
  exit 0
fi

if [ "$target" = web ]; then
  nm_dir=$(node_modules_dir)
  export NODE_PATH="${nm_dir}${NODE_PATH:+:$NODE_PATH}"
fi

# ---- A private apt state that knows the source packages of the suites the
# system already uses. The archive addresses come from the system's own
# sources, whatever format they are written in.
apt_dir=$root/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Identifier: Packages' |
  sort -u | awk 'NF == 3 { print "deb-src " $1 " " $2 " " $3 }' > "$apt_dir/sources.list.new"
if [ ! -s "$apt_dir/sources.list.new" ]; then
  echo "crossdeps: the system's apt sources name no Debian archive" >&2
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
    echo "crossdeps: $pkg $v ($suite) could not be fetched, trying the next one listed" >&2
  done < <(candidates "$pkg")
  echo "crossdeps: no version of $pkg could be fetched" >&2
  return 1
}

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig

# ---- How each target compiles: one helper per build system.
# The checkout's own path is mapped to "." in everything compiled (assert
# texts, debug information), so that the programs linking these libraries
# are the same bytes whatever folder they are built in.
path_map="-ffile-prefix-map=$PWD=."

if [ "$target" = web ]; then
  # The browser build runs on WebAssembly SIMD anyway: let the compiler use it.
  cflags="-O3 -msimd128 $path_map"
  build_subdir=wasm-build
  # CMake runs its type-size probes under node; emcmake's own node flag is
  # refused by current node versions, which made every probe fail.
  web_emulator="$(command -v node 2>/dev/null);--no-experimental-fetch"
  host=wasm32
  mpg123_cpu=generic_fpu
  # libpng's x86 filters are not compiled for WebAssembly.
  png_target_options=(-DPNG_HARDWARE_OPTIMIZATIONS=OFF)
  # FreeType flattens curves one way where SSE2 is there (x86-64: the Linux
  # and Windows builds) and another way elsewhere, which moves a few glyph
  # pixels by one: WebAssembly gets SSE2 too (emscripten turns it into
  # WebAssembly SIMD), so that its glyphs are Linux's.
  freetype_cflags="$cflags -msse2"

  cmake_configure() {  # SOURCE BUILD_DIR OPTION...
    local src=$1 b=$2
    shift 2
    rm -rf "$b"
    emcmake cmake -S "$src" -B "$b" -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$cflags" \
      -DCMAKE_CROSSCOMPILING_EMULATOR="$web_emulator" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" "$@"
  }
  configure_make() {  # SOURCE MAKE_TARGET CONFIGURE_OPTION...
    local src=$1 goal=$2
    shift 2
    (cd "$src" && { make distclean >/dev/null 2>&1 || true; } &&
     CFLAGS="$cflags" emconfigure ./configure --prefix="$prefix" "$@" &&
     emmake make -j"$jobs" "$goal")
  }
  c_compiler=emcc
  c_archiver=emar
else
  cflags="-O2 $path_map"
  build_subdir=win-build
  host=$mingw
  # The x86-64 decoders that Debian's own build has, chosen at run time by
  # the processor, so that the music decodes to the same samples as on Linux.
  mpg123_cpu=x86-64
  png_target_options=()
  freetype_cflags=$cflags

  cmake_configure() {  # SOURCE BUILD_DIR OPTION... (the windows preset's toolchain)
    local src=$1 b=$2
    shift 2
    rm -rf "$b"
    cmake -S "$src" -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS="$cflags" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_ROOT_PATH="$prefix" "$@"
  }
  configure_make() {  # SOURCE MAKE_TARGET CONFIGURE_OPTION...
    local src=$1 goal=$2
    shift 2
    (cd "$src" && { make distclean >/dev/null 2>&1 || true; } &&
     CC="$mingw-gcc-posix" CFLAGS="$cflags" ./configure --prefix="$prefix" "$@" &&
     make -j"$jobs" "$goal")
  }
  c_compiler=$mingw-gcc-posix
  c_archiver=$mingw-gcc-ar-posix
fi

# A library without a build system we can cross-compile with, or with much
# more than we need: the C files named compiled with the target's compiler
# and flags (and the library's own compiler options given first, such as
# -I and -D) into the static library prefix/lib/LIBRARY.
compile_library() {  # LIBRARY BUILD_DIR [-OPTION...] C_FILE...
  local lib=$1 b=$2 file objects=() flags
  shift 2
  read -ra flags <<< "$cflags"
  while [ $# -gt 0 ] && [ "${1#-}" != "$1" ]; do flags+=("$1"); shift; done
  rm -rf "$b"
  mkdir -p "$b" "$prefix/lib"
  for file in "$@"; do
    objects+=("$b/$(basename "${file%.c}").o")
    "$c_compiler" "${flags[@]}" -I"$prefix/include" -c "$file" -o "${objects[-1]}"
  done
  rm -f "$prefix/lib/$lib"
  "$c_archiver" rcs "$prefix/lib/$lib" "${objects[@]}"
}

# ---- Each library's options, given once for both targets.
# zlib as the libraries that use it find it: the one built here.
zlib_options=(-DZLIB_ROOT="$prefix" -DZLIB_INCLUDE_DIR="$prefix/include" -DZLIB_LIBRARY="$prefix/lib/libz.a")
png_options=("${zlib_options[@]}"
             -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
             -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON "${png_target_options[@]}")
# libjpeg-turbo: the static decoding library alone, without its SIMD code
# (which needs an assembler more); pictures are decoded once, at start, and
# the C code gives the same pixels.
jpeg_options=(-DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DWITH_SIMD=OFF -DENABLE_SHARED=OFF -DENABLE_STATIC=ON
              -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JAVA=OFF)
# libmpg123: only the decoding library; the players and the output libraries
# are not needed, so they are neither built nor installed.
mpg123_options=(--host="$host" --disable-shared --enable-static --with-cpu="$mpg123_cpu"
                --disable-modules --with-audio=dummy)
sdl2_options=(-DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON)
# FreeType: the static library with its default modules, Debian's own
# configuration (its patches enable the same options the Linux library has)
# and, as Debian builds it, without bzip2 and HarfBuzz; PNG (colour emoji)
# and Brotli (WOFF2) are left out too: the kit draws outlines of TrueType
# fonts only. zlib reads gzip-compressed fonts.
freetype_options=(-DBUILD_SHARED_LIBS=OFF -DFT_REQUIRE_ZLIB=ON "${zlib_options[@]}"
                  -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON)
# minizip: writing and reading zips over its ioapi, which the kit gives its
# own in-memory functions; the file tools of Debian's library (mztools, the
# Windows file functions) are not needed.
minizip_sources=(ioapi.c zip.c unzip.c)
minizip_headers=(ioapi.h zip.h unzip.h)
# libmp3lame: the encoding library alone (no frontend, no mpglib decoder),
# compiled directly: lame's configure predates WebAssembly hosts. Its
# config.h is written here with what configure finds on x86-64 Linux (the
# IEEE 754 shortcuts and the fast logarithm included) less the SSE code.
lame_config='#define STDC_HEADERS 1
#define HAVE_ERRNO_H 1
#define HAVE_FCNTL_H 1
#define HAVE_INTTYPES_H 1
#define HAVE_STDINT_H 1
#define TAKEHIRO_IEEE754_HACK 1
#define USE_FAST_LOG 1
#define LAME_LIBRARY_BUILD 1
typedef float ieee754_float32_t;
typedef double ieee754_float64_t;'

# ---- The libraries.
build_zlib_configure() {  # zlib's own configure script, for WebAssembly
  local src=$1
  configure_make "$src" libz.a --static
  (cd "$src" && emmake make install)
}

build_zlib_cmake() {  # for Windows, where zlib's configure does not cross-compile
  local src=$1 b=$1/$build_subdir
  cmake_configure "$src" "$b"
  cmake --build "$b" -j"$jobs" --target zlibstatic
  mkdir -p "$prefix/include" "$prefix/lib"
  cp "$b/libzlibstatic.a" "$prefix/lib/libz.a"
  cp "$src/zlib.h" "$b/zconf.h" "$prefix/include/"
}

build_libpng() {
  local src=$1 b=$1/$build_subdir
  cmake_configure "$src" "$b" "${png_options[@]}"
  cmake --build "$b" -j"$jobs" --target png_static
  cmake --install "$b"
}

build_libjpeg_turbo() {
  # Its install rule also wants the command-line programs, which are not built.
  local src=$1 b=$1/$build_subdir
  cmake_configure "$src" "$b" "${jpeg_options[@]}"
  cmake --build "$b" -j"$jobs" --target jpeg-static
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp "$b/libjpeg.a" "$prefix/lib/"
  cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$b/jconfig.h" "$prefix/include/"
  cp "$b/pkgscripts/libjpeg.pc" "$prefix/lib/pkgconfig/"
}

build_mpg123() {
  local src=$1
  configure_make "$src" src/libmpg123/libmpg123.la "${mpg123_options[@]}"
  mkdir -p "$prefix/include" "$prefix/lib/pkgconfig"
  cp "$src/src/libmpg123/.libs/libmpg123.a" "$prefix/lib/"
  cp "$src/src/libmpg123/mpg123.h" "$src/src/libmpg123/fmt123.h" "$prefix/include/"
  cp "$src/libmpg123.pc" "$prefix/lib/pkgconfig/"
}

build_sdl2() {
  local src=$1 b=$1/$build_subdir
  cmake_configure "$src" "$b" "${sdl2_options[@]}"
  cmake --build "$b" -j"$jobs"
  cmake --install "$b"
}

build_glibc_sincos() {
  # The blob turns by sin and cos (and sincos, which the compiler makes of the
  # pair): Linux computes them with glibc's code, so the Windows programs get
  # the same code, not the runtime's own, and give the same bits. As glibc
  # does on x86-64, a processor with FMA and AVX2 runs the copy compiled for
  # them (whose contracted multiply-adds round differently), any other the
  # SSE2 copy. Only these files of glibc are built, with the few internal
  # headers they need written here.
  local src=$1 b=$1/win-build dbl=$1/sysdeps/ieee754/dbl-64 v flags
  rm -rf "$b"
  mkdir -p "$b/shim"
  cat > "$b/shim/math_private.h" <<'EOF'
#include <stdint.h>
#define attribute_hidden
#define __always_inline __inline __attribute__ ((__always_inline__))
#define __glibc_likely(c) __builtin_expect ((c), 1)
#define __glibc_unlikely(c) __builtin_expect ((c), 0)
#define __set_errno(e) (errno = (e))
EOF
  cat > "$b/shim/endian.h" <<'EOF'
#define __LITTLE_ENDIAN 1234
#define __BIG_ENDIAN 4321
#define __BYTE_ORDER __LITTLE_ENDIAN
#define __FLOAT_WORD_ORDER __BYTE_ORDER
#define LITTLE_ENDI 1
#define HIGH_HALF 1
#define LOW_HALF 0
EOF
  # SSE arithmetic rounds to double already; errno and underflow are left as
  # the runtime has them; the names are given below.
  echo '#define SET_RESTORE_ROUND_53BIT(mode)' > "$b/shim/fenv_private.h"
  echo '#define math_check_force_underflow(x) ((void) 0)' > "$b/shim/math-underflow.h"
  echo '#define libm_alias_double(from, to)' > "$b/shim/libm-alias-double.h"
  cat > "$b/dispatch.c" <<'EOF'
/* sin, cos and sincos: the FMA copy where the processor has FMA and AVX2. */
double __sin_sse2 (double), __sin_fma (double), __cos_sse2 (double), __cos_fma (double);
void __sincos_sse2 (double, double *, double *), __sincos_fma (double, double *, double *);
static int fma_usable = -1;
static int use_fma (void) {
  if (fma_usable < 0) {
    __builtin_cpu_init ();
    fma_usable = __builtin_cpu_supports ("fma") && __builtin_cpu_supports ("avx2");
  }
  return fma_usable;
}
double sin (double x) { return use_fma () ? __sin_fma (x) : __sin_sse2 (x); }
double cos (double x) { return use_fma () ? __cos_fma (x) : __cos_sse2 (x); }
void sincos (double x, double *s, double *c) {
  if (use_fma ()) __sincos_fma (x, s, c); else __sincos_sse2 (x, s, c);
}
EOF
  local cc=("$mingw-gcc-posix" -O2 "$path_map" -I"$b/shim" -I"$dbl")
  for v in sse2 fma; do
    flags=()
    [ "$v" = fma ] && flags=(-mfma -mavx2)
    "${cc[@]}" "${flags[@]}" -D__sin=__sin_$v -D__cos=__cos_$v -c "$dbl/s_sin.c" -o "$b/s_sin_$v.o"
    "${cc[@]}" "${flags[@]}" -D__sincos=__sincos_$v -c "$dbl/s_sincos.c" -o "$b/s_sincos_$v.o"
  done
  "${cc[@]}" -c "$dbl/branred.c" -o "$b/branred.o"
  "${cc[@]}" -c "$dbl/sincostab.c" -o "$b/sincostab.o"
  "${cc[@]}" -c "$b/dispatch.c" -o "$b/dispatch.o"
  mkdir -p "$prefix/lib"
  rm -f "$prefix/lib/libglibc-sincos.a"
  "$mingw-gcc-ar-posix" rcs "$prefix/lib/libglibc-sincos.a" "$b"/*.o
}

build_freetype() {
  local src=$1 b=$1/$build_subdir
  cmake_configure "$src" "$b" "${freetype_options[@]}" -DCMAKE_C_FLAGS="$freetype_cflags"
  cmake --build "$b" -j"$jobs" --target freetype
  cmake --install "$b"
}

build_minizip() {
  # Installed as Debian installs it: the headers in include/minizip/.
  local src=$1
  compile_library libminizip.a "$src/$build_subdir" "${minizip_sources[@]/#/$src/}"
  mkdir -p "$prefix/include/minizip"
  cp "${minizip_headers[@]/#/$src/}" "$prefix/include/minizip/"
}

build_lame() {
  local src=$1 config=$1/$build_subdir-config
  rm -rf "$config"
  mkdir -p "$config" "$prefix/include/lame"
  echo "$lame_config" > "$config/config.h"
  compile_library libmp3lame.a "$src/$build_subdir" -DHAVE_CONFIG_H -I"$config" -I"$src/include" \
    -I"$src/libmp3lame" "$src"/libmp3lame/*.c
  cp "$src/include/lame.h" "$prefix/include/lame/"
}

builder_of() {  # PACKAGE: the function that builds it, from $libraries
  local entry
  for entry in "${libraries[@]}"; do
    [ "${entry%%:*}" = "$1" ] && { echo "${entry#*:}"; return 0; }
  done
  return 1
}

[ "$refresh" = --refresh ] && rm -rf "$prefix"
mkdir -p "$prefix/stamps"
key=$(build_key)
built=()
for pkg in "${packages[@]}"; do
  src=$(fetch_source "$pkg")
  version=${src##*/$pkg-}
  # Each library is rebuilt only when its source version, the compiler or
  # this script (its flags and build steps) changed.
  if [ "$(cat "$prefix/stamps/$pkg" 2>/dev/null)" != "$version $key" ]; then
    echo "crossdeps: building $pkg $version for $target"
    started=$SECONDS
    "$(builder_of "$pkg")" "$src"
    echo "$version $key" > "$prefix/stamps/$pkg"
    echo "crossdeps: built $pkg for $target in $((SECONDS - started)) s"
  fi
  built+=("$pkg $version")
done

{ echo "key: $key"; printf '%s\n' "${built[@]}"; } > "$stamp"
echo "Libraries for $target built in $prefix:"
printf '  %s\n' "${built[@]}"
