# A party folder with one fault of each kind an organiser makes, for the
# tests that show how each is reported (sourced):
#   faulty_party DIR   makes DIR with: no "place:" line in party.txt, a page
#       line of 56 characters (pages/compo.txt:2:39), a letter the page
#       font lacks (pages/credits.txt:3:3, 'ï'), loading.png of 320 x 200
#       pixels and music.wav of 5.0 s.
faulty_party() {
  local dir=$1 p
  mkdir -p "$dir/pages"
  printf 'name: Fault Party\nedition: First\ndates: 1 - 2 May 2030\nsummary: Faults.\n' >"$dir/party.txt"
  for p in info compo contact credits; do echo "$p" >"$dir/pages/$p.txt"; done
  printf 'fine\nthis line is far too long for the page of the invitation\n' >"$dir/pages/compo.txt"
  printf 'fine\n\nna\xc3\xafve\n' >"$dir/pages/credits.txt"
  convert -size 320x200 xc:navy "$dir/loading.png"
  ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=5" -ar 48000 "$dir/music.wav"
}
