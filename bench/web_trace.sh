#!/usr/bin/env bash
# Where the web page's main thread spends its time with the menu showing, and
# the frames a second it holds under Chromium's CPU throttling (a
# measurement, not a test; see bench/web_trace.mjs).
# Usage: bench/web_trace.sh [SITE_DIR] [SECONDS] [RATE]
#   (after ./web.sh --build and tests/web_browser.test.sh, which installs
#   puppeteer-core into build/web-test/)
set -euo pipefail
cd "$(dirname "$0")/.."
site=${1:-build/web}
runner=build/web-test
if [ ! -d "$runner/node_modules/puppeteer-core" ]; then
  echo "run tests/web_browser.test.sh once first: it installs puppeteer-core into $runner" >&2
  exit 1
fi
cp bench/web_trace.mjs tests/web/serve.mjs "$runner/"
node "$runner/web_trace.mjs" "$(realpath "$site")" "${2:-5}" "${3:-4}"
