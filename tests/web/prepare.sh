# Sourced by the browser tests: checks the site and the tools, installs
# puppeteer-core from tests/web's lock file into build/web-test/ (once; again
# when the lock file changes) beside the test scripts, and writes the exact
# pictures and texts the page must show into a temporary folder.
# Usage: web_test_prepare SOURCE_DIR TOOL...
# Reads: site and data when set (another party's repacked site and the data
# folder it was made from); by default the build's site and data/.
# Sets: site, data, runner, expect (removed on exit).
web_test_prepare() {
  local source_dir=$1
  shift
  site=${site:-$source_dir/build/web}
  data=${data:-$source_dir/data}
  runner=$source_dir/build/web-test
  # The files index.html lists are checked by the tests themselves.
  if [ ! -f "$site/index.html" ]; then
    echo "$site/index.html is missing: build the site with ./web.sh --build" >&2
    exit 1
  fi
  local tool
  for tool in node npm convert "$@"; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/deps.sh test installs it)" >&2; exit 1; }
  done

  mkdir -p "$runner"
  if ! cmp -s "$source_dir/tests/web/package-lock.json" "$runner/package-lock.json" || [ ! -d "$runner/node_modules/puppeteer-core" ]; then
    cp "$source_dir/tests/web/package.json" "$source_dir/tests/web/package-lock.json" "$runner/"
    (cd "$runner" && npm ci --no-audit --no-fund --loglevel=error)
  fi
  cp "$source_dir"/tests/web/*.mjs "$source_dir/layout.json" "$runner/"

  # The exact pictures the canvas must show: raw RGB crops of the data files.
  expect=$(mktemp -d)
  trap 'rm -rf "$expect"' EXIT
  crop() { convert "$data/$1" -crop "$2" +repage -depth 8 "rgb:$expect/$3"; }
  # The screen layout's numbers come from layout.json.
  local width bar_y header_rows pages
  width=$(layout_value screen.width)
  bar_y=$(layout_value loading_bar.y)
  header_rows=$(layout_value header_rows)
  pages=$(layout_value pages)
  crop loading.png "${width}x${bar_y}+0+0" loading_top.rgb
  crop panel.png "${width}x${header_rows}+0+0" panel_header.rgb
  crop panel.png 40x360+0+60 panel_margin.rgb
  crop textpanel.png 40x360+0+60 textpanel_margin.rgb
  # What the page must show as text.
  cp "$data/web/party.txt" "$expect/"
  local name
  for name in $pages; do
    cp "$data/$name.txt" "$expect/"
  done
}

# The value at a member path of layout.json (beside the test scripts), as
# text; a missing one stops the tests.
layout_value() {
  node -e '
    const [file, path] = process.argv.slice(1);
    const value = path.split(".").reduce((at, key) => at?.[key], JSON.parse(require("fs").readFileSync(file, "utf8")));
    if (value === undefined) { console.error(`${file}: no ${path}`); process.exit(1); }
    console.log(Array.isArray(value) ? value.join(" ") : value);
  ' "$runner/layout.json" "$1"
}
