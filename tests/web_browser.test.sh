#!/usr/bin/env bash
# The web build (build/web, made by ./web.sh --build, or another site) in headless Chromium,
# driven by tests/web/browser.mjs through puppeteer-core: the desktop flow,
# phones in portrait and landscape, the keyboard and full screen, a slow
# link, broken downloads and sound, and the site without qtn.mp3.
# Usage: web_browser.test.sh BIN_DIR SOURCE_DIR [SITE_DIR DATA_DIR]: another
# site (a party's repacked one) and the data folder it was made from.
set -euo pipefail
source_dir=$2
site=${3:-}
data=${4:-}
source "$source_dir/tests/web/prepare.sh"
web_test_prepare "$source_dir" /usr/bin/chromium
node "$runner/browser.mjs" "$site" "$expect"
