#!/usr/bin/env bash
# The web build (build/web, made by ./web.sh --build) in headless Chromium,
# driven by tests/web/browser.mjs through puppeteer-core: the desktop flow,
# phones in portrait and landscape, the keyboard and full screen, a slow
# link, broken downloads and sound, and the site without qtn.mp3.
set -euo pipefail
source_dir=$2
source "$source_dir/tests/web/prepare.sh"
web_test_prepare "$source_dir" /usr/bin/chromium
node "$runner/browser.mjs" "$site" "$expect"
