#!/usr/bin/env bash
# The Windows release as a Windows user gets it, under wine on a virtual X
# display (Xvfb) with no sound card, with xdotool as the hands:
#  1. the zip (./release.sh windows) holds the programs, the data, the
#     README, the licences; the programs import only DLLs that every Windows
#     has and none of the maths the frames and the music use; velmora2k.exe
#     is a GUI program, the tools console programs; the zip's pak.pak is the
#     Linux build's; the capture tool and paktool take a folder whose name
#     has a space and a letter outside ASCII on their command lines;
#     velmora2k.exe's icon, read back with wrestool and icotool, is ours at
#     every size, each a 32-bit bitmap (the fixed-size slot a party's icons
#     are written into);
#  2. unpacked into a folder whose name has a space and a letter outside
#     ASCII, velmora2k.exe reaches the menu silently; an absolute pointer
#     move onto INFO and a quick click open the page, whose pixels are the
#     capture tool's at that moment; Esc fades out and the exit code is 0;
#  3. the same folder without qtn.mp3: the Linux program's message box
#     (found by its caption) tells why, with the same text, and the run ends
#     with the Linux program's exit code;
#  4. velmora2k.exe alone in a folder, as Explorer runs it from inside the
#     zip: the box names the missing pak.pak with its Windows path and says
#     to extract all files of the zip into one folder; the run ends with 1.
set -u
bin_dir=$1
source_dir=$2

zip=$(ls "$source_dir"/build/release-files/velmora2k-*-win64.zip 2>/dev/null | tail -n 1)
if [ -z "$zip" ]; then
  echo "the Windows release is missing: run ./release.sh windows" >&2
  exit 1
fi
work=$(mktemp -d)
export ASAN_OPTIONS=detect_leaks=0
here=$(dirname "$0")
source "$here/checks.sh"
source "$here/expected_page.sh"
source "$here/wine.sh"
trap 'wine_end; rm -rf "$work"' EXIT
wine_setup "$source_dir"

# --- 1. The zip.
folder="$work/Velmora Démo"
mkdir -p "$folder"
unzip -q "$zip" -d "$work/unzipped"
cp -r "$work"/unzipped/velmora2k-*-win64/. "$folder/"
for f in velmora2k.exe velmora2k-capture.exe paktool.exe pak.pak qtn.mp3 README.txt \
         licences/libsdl2.txt licences/zlib.txt licences/libpng1.6.txt licences/libjpeg-turbo.txt \
         licences/mpg123.txt licences/glibc.txt licences/lgpl-sources.txt licences/LGPL-2.1.txt licences/mingw-w64-runtime-and-winpthreads.txt \
         licences/gcc-runtime-libgcc-libstdc++.txt; do
  check "the zip holds $f" [ -s "$folder/$f" ]
done
check "the zip's pak.pak is the Linux build's" cmp -s "$folder/pak.pak" "$bin_dir/pak.pak"
# DLLs that every Windows has (the system's own and the C runtime).
system_dlls='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|OLE32|OLEAUT32|IMM32|WINMM|VERSION|SETUPAPI|SHLWAPI|msvcrt|CFGMGR32)\.dll$'
for exe in velmora2k velmora2k-capture paktool; do
  x86_64-w64-mingw32-objdump -p "$folder/$exe.exe" >"$work/$exe.dump"
  dlls=$(awk '/DLL Name:/ { print $3 }' "$work/$exe.dump" | sort -u)
  echo "$exe.exe imports: $(echo $dlls)"
  check "$exe.exe imports only system DLLs" [ -z "$(echo "$dlls" | grep -v -i -E "$system_dlls")" ]
  # The maths that the frames and the music depend on is linked in (SDL's
  # own maths wrappers, which neither reaches, may import the rest).
  maths=$(awk '/DLL Name:/ { dll = $3 } NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll, $3 }' "$work/$exe.dump" |
          grep -E ' (sin|cos|sincos|sqrt|pow|exp|log|floor|ceil|fmod)f?$' || true)
  check "$exe.exe imports none of the maths the frames and music use ($maths)" [ -z "$maths" ]
done
# The tools take such a folder on their command lines, as wine hands it over
# (on its Z: drive, not C:): the capture tool reads the data from it and
# writes its frames into a folder named the same way; paktool lists the
# archive there and extracts it into another.
wine "$folder/velmora2k-capture.exe" --data "$folder" --frames 30 --save 29 --out "$folder/images é" \
  >"$work/capture.out" 2>&1 || cat "$work/capture.out" >&2
check "velmora2k-capture.exe reads and writes in folders named outside ASCII" \
  [ -s "$folder/images é/frame_000029.png" ]
wine "$folder/paktool.exe" extract "$folder/pak.pak" "$folder/entries ü" >/dev/null 2>&1
listed=$(wine "$folder/paktool.exe" list "$folder/pak.pak" 2>/dev/null | wc -l)
extracted=$(ls "$folder/entries ü" 2>/dev/null | wc -l)
echo "paktool.exe: $listed entries listed, $extracted extracted"
check "paktool.exe lists and extracts an archive in folders named outside ASCII" \
  [ "$listed" -gt 0 -a "$extracted" -eq "$listed" ]
rm -rf "$folder/images é" "$folder/entries ü"
subsystem() { awk '/^Subsystem/ { print $2 }' "$work/$1.dump"; }
check "velmora2k.exe is a GUI program" [ "$(subsystem velmora2k)" = 00000002 ]
check "velmora2k-capture.exe is a console program" [ "$(subsystem velmora2k-capture)" = 00000003 ]
check "paktool.exe is a console program" [ "$(subsystem paktool)" = 00000003 ]
# The program's icon: each image of its icon group (RT_ICON, read raw) is a
# bitmap (a 40-byte header), not a PNG, and each size read back is the
# desktop icon of that size, pixel for pixel, and opaque.
if check "wrestool and icotool (Debian's icoutils) are installed" command -v wrestool icotool >/dev/null; then
  mkdir -p "$work/icon"
  wrestool -x --raw -t3 "$folder/velmora2k.exe" -o "$work/icon/"
  wrestool -x -t14 "$folder/velmora2k.exe" -o "$work/icon/group.ico"
  headers=$(for f in "$work"/icon/*_3_*; do od -An -tx1 -N4 "$f"; done | tr -d ' ' | sort | uniq -c | tr -s ' ')
  check "velmora2k.exe's icon images are all bitmaps ($headers)" [ "$headers" = " 6 28000000" ]
  icotool -x -o "$work/icon" "$work/icon/group.ico"
  for side in 16 32 48 64 128 256; do
    png=$(ls "$work/icon/"group_*_"${side}x${side}x32.png" 2>/dev/null)
    differ=$(compare -metric AE "$png" "$source_dir/dist/icons/velmora2k_$side.png" null: 2>&1)
    alpha=$(convert "$png" -format '%[fx:minima.a]' info: 2>&1)
    check "velmora2k.exe's $side px icon is ours ($differ pixels differ, least alpha $alpha)" \
      [ "$differ" = 0 -a "$alpha" = 1 ]
  done
fi

# The page the quick click on INFO opens.
expected_page "$bin_dir" 177 "$work/page.png" || exit 1

# --- 2 and 3 on a virtual display; wine's own sound drivers are left out,
# so there is no sound device.
cat >"$work/xrun.sh" <<'XRUN'
set -u
here=$1
work=$2
folder=$3
data=$4
expected_missing_code=$5
expected_box=$6
source "$here/checks.sh"
source "$here/xwindow.sh"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winealsa.drv,winepulse.drv,wineoss.drv="

# The window's picture origin in the latest shot: where the menu panel's
# header band (exact pixels) lies.
shot() {
  sleep 0.5
  xwd -root -silent >"$work/shot.xwd" && convert "$work/shot.xwd" "$work/shot.png"
}
origin() {
  /usr/bin/python3 - "$work/shot.png" "$data/panel.png" <<'PY'
import sys
import numpy as np
from PIL import Image
shot = np.asarray(Image.open(sys.argv[1]).convert("RGB")).astype(np.int32)
head = np.asarray(Image.open(sys.argv[2]).convert("RGB"))[:50].astype(np.int32)
pack = lambda a: (a[..., 0] << 16) | (a[..., 1] << 8) | a[..., 2]
s, h = pack(shot), pack(head)
ys, xs = np.nonzero(s[: s.shape[0] - 49, : s.shape[1] - 639] == h[0, 0])
for y, x in zip(ys, xs):
    if np.array_equal(s[y:y + 50, x:x + 640], h):
        print(x, y)
        break
PY
}

# ended WHAT: waits up to 20 s for the run to end after WHAT (ending it
# then); its exit code goes to code.
ended() {
  for _ in $(seq 1 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && { kill "$pid"; echo "velmora2k.exe did not end after $1" >&2; }
  wait "$pid"
  code=$?
}

wine "$folder/velmora2k.exe" 2>"$work/stderr" &
pid=$!
win=$(window_named '^Velmora2K invitation$')
check "a window titled 'Velmora2K invitation' appears" [ -n "$win" ]
# The opening lasts 19 seconds; look for the menu every second, for a minute and a half.
sleep 15
at=
for _ in $(seq 1 90); do
  kill -0 "$pid" 2>/dev/null || break
  shot
  at=$(origin)
  [ -n "$at" ] && break
  sleep 0.5
done
echo "menu at: ${at:-none}"
check "the menu shows, silently" [ -n "$at" ]
if [ -n "$at" ]; then
  read -r x y <<<"$at"
  xdotool mousemove $((x + 270)) $((y + 177))
  sleep 0.3
  xdotool click 1
  sleep 0.3
  xdotool mousemove $((x + 600)) $((y + 240))
  differ=unknown
  for _ in $(seq 1 8); do
    shot
    convert "$work/shot.png" -crop "440x390+$((x + 20))+$((y + 50))" +repage "$work/a.png"
    convert "$work/page.png" -crop 440x390+20+50 +repage "$work/b.png"
    differ=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)
    [ "$differ" = 0 ] && break
  done
  echo "the page opened by a quick click on INFO: $differ pixels differ from the capture tool's"
  check "the page's pixels are the capture tool's" [ "$differ" = 0 ]
  xdotool key --window "$win" Escape 2>/dev/null
fi
ended Esc
echo "exit code after Esc: $code"
check "Esc ends the run with exit code 0" [ "$code" -eq 0 ]
check "no message box text on stderr" [ -z "$(grep -i 'error' "$work/stderr")" ]

# --- Without qtn.mp3.
rm "$folder/qtn.mp3"
wine "$folder/velmora2k.exe" 2>"$work/stderr" &
pid=$!
caption=${expected_box%%: *}
box=$(window_named "^$caption\$")
check "a message box captioned '$caption' tells why" [ -n "$box" ]
sleep 1
[ -n "$box" ] && xdotool key --window "$box" Return 2>/dev/null
ended "the box"
echo "exit code without qtn.mp3: $code (Linux: $expected_missing_code)"
check "the Linux program's exit code" [ "$code" -eq "$expected_missing_code" ]
check "the box says what the Linux program's says ($expected_box)" grep -q -x -F "$expected_box" "$work/stderr"

# --- The program alone.
lone="$work/Temp1_velmora2k é"
mkdir -p "$lone"
cp "$folder/velmora2k.exe" "$lone/"
wine "$lone/velmora2k.exe" 2>"$work/stderr" &
pid=$!
box=$(window_named '^KORAL ERROR !$')
check "the lone program's box appears, captioned 'KORAL ERROR !'" [ -n "$box" ]
sleep 1
[ -n "$box" ] && xdotool key --window "$box" Return 2>/dev/null
ended "the lone program's box"
echo "the lone program's box:"; cat "$work/stderr"
check "the lone program ends with 1 ($code)" [ "$code" -eq 1 ]
check "its box names the missing pak.pak where it was looked for" \
  grep -q -F "The data archive pak.pak is missing (looked for at $(winepath -w "$lone/pak.pak" 2>/dev/null))." "$work/stderr"
check "its box says to extract all files of the zip into one folder" \
  grep -q -F "Extract all files of the zip into one folder" "$work/stderr"
checks_done
XRUN

# The Linux program's message box (its "caption: text" line on stderr) and
# exit code for the same fault.
mkdir -p "$work/nomusic"
cp "$bin_dir/pak.pak" "$work/nomusic/"
missing_line=$("$bin_dir/velmora2k-capture" --data "$work/nomusic" --frames 2000 2>"$work/nomusic.err" | tail -n 1)
missing_code=${missing_line#ended: exit code }
missing_code=${missing_code%% *}
missing_box=$(grep -m1 ': ' "$work/nomusic.err")
echo "Linux without qtn.mp3: $missing_box; $missing_line"

# The console programs above started this prefix's server without a display:
# the window's program starts a new one on the virtual display.
wine_restart
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/xrun.sh" "$here" "$work" "$folder" "$source_dir/data" "$missing_code" \
  "$missing_box"
check "the run under wine" [ "$?" -eq 0 ]
checks_done
