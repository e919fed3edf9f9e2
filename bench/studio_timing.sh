#!/usr/bin/env bash
# How soon the studio answers in Chromium (a measurement, not a test; see
# bench/studio_timing.mjs): from opening the example party's zip to the
# preview's first picture, and from a keystroke in the party's name to the
# preview's new menu (the goal: at most 0.5 s on 2 cores), RUNS times each;
# the median and the slowest are printed.
# Usage: bench/studio_timing.sh [RUNS]
#   (after ./web.sh --build and a browser test, which installs puppeteer-core
#   into build/web-test/)
set -euo pipefail
cd "$(dirname "$0")/.."
runner=build/web-test
if [ ! -d "$runner/node_modules/puppeteer-core" ]; then
  echo "run tests/web_browser.test.sh once first: it installs puppeteer-core into $runner" >&2
  exit 1
fi
[ -f build/studio/example.zip ] || { echo "build the studio first: ./web.sh --build" >&2; exit 1; }
cp bench/studio_timing.mjs tests/web/serve.mjs tests/web/drivers.mjs tests/web/webdriver.mjs tests/web/checks.mjs "$runner/"
node "$runner/studio_timing.mjs" "$(realpath build/studio)" "${1:-10}"
