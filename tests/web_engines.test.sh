#!/usr/bin/env bash
# The web build in Chromium, Firefox (Debian's firefox-esr, through
# puppeteer-core's WebDriver BiDi) and WebKit (Debian's WebKitWebDriver with
# its MiniBrowser, on a virtual display), one after the other, each through
# the same scenario (tests/web/engines.mjs). An engine that cannot start
# fails the test.
set -euo pipefail
source_dir=$2
source "$source_dir/tests/web/prepare.sh"
web_test_prepare "$source_dir" /usr/bin/chromium firefox-esr WebKitWebDriver xvfb-run
xvfb-run -a -s "-screen 0 1366x768x24" node "$runner/engines.mjs" "$site" "$expect"
