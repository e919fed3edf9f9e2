# expected_page BIN_DIR Y OUT: the page that a quick click at (270, Y) of the
# menu opens, as the headless backend shows it, written to the PNG OUT. The
# capture tool runs at 10 frames a second: the pointer moves from where it
# starts (320, 240) onto the button, clicks within one frame, then is parked
# at (600, 240), clear of the text; frame 239 is the page.
expected_page() {
  local bin_dir=$1 y=$2 out=$3 dir
  dir=$(mktemp -d)
  printf '200 move -50 %d\n202 down left\n202 up left\n205 move 330 %d\n' $((y - 240)) $((240 - y)) >"$dir/click.txt"
  if ! "$bin_dir/velmora2k-capture" --fps 10 --input "$dir/click.txt" --frames 240 --save 239 --out "$dir" >/dev/null; then
    echo "velmora2k-capture failed" >&2
    rm -rf "$dir"
    return 1
  fi
  mv "$dir/frame_000239.png" "$out"
  rm -rf "$dir"
}
