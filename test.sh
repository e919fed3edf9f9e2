#!/usr/bin/env bash
# Installs what is missing, builds the sanitizer preset, the release preset
# (what the Debian package holds: the package test makes the .deb from it, as
# a user would), the Windows release and the browser build (whose tests
# compare them with the desktop build; the studio, built with the browser
# build, repacks the Windows release), and runs every test.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test
cmake --preset asan >/dev/null
cmake --build --preset asan
./release.sh windows
./web.sh --build
cmake --build --preset release --target installable
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --preset asan -j "$(nproc)"
