#!/usr/bin/env bash
# The archive tool end to end: pack, then list, extract and cat give back
# every file byte for byte; decode loads a picture as the program does; pack
# refuses what the reader could not serve, leaving no archive behind.
# Usage: test_paktool.test.sh BIN_DIR SOURCE_DIR
set -uo pipefail
bin="$1/paktool"
src="$2"
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

# refused WANT COMMAND...: the command fails with status 1 and a message
# holding WANT.
refused() {
  local want="$1" status=0
  shift
  "$@" >out.txt 2>err.txt || status=$?
  [ "$status" -eq 1 ] && grep -qF -- "$want" err.txt && return 0
  echo "$* exited with $status: $(cat err.txt)" >&2
  return 1
}

mkdir in
cp "$src"/tests/data/pngsuite/basn2c08.png "$src"/tests/data/pngsuite/basn6a08.png in/
cp "$src"/tests/data/pngsuite/README in/readme.txt
: >in/empty.bin
printf 'ends in zeros\0\0\0' >in/zeros.bin
seq 1 5000 >in/Numbers.TXT
files=(in/basn2c08.png in/empty.bin in/readme.txt in/zeros.bin in/Numbers.TXT in/basn6a08.png)

check "pack writes the archive" "$bin" pack out.pak "${files[@]}" || { checks_done; exit 1; }
check "pack leaves no temporary file" [ ! -e out.pak.partial ]

# list: one line per entry in the order given, ascending Fptr, the file's size.
"$bin" list out.pak >list.txt
check "list has one line per entry ($(wc -l <list.txt))" [ "$(wc -l <list.txt)" -eq ${#files[@]} ]
i=0
prev=-1
while read -r name fptr size; do
  f="${files[$i]}"
  check "entry $i is $(basename "$f") ($name)" [ "$name" = "$(basename "$f")" ]
  check "$name: listed size $size is the file's" [ "$size" -eq "$(stat -c %s "$f")" ]
  check "$name: Fptr $fptr ascends" [ "$fptr" -gt "$prev" ]
  prev=$fptr
  i=$((i + 1))
done <list.txt

"$bin" extract out.pak outdir
for f in "${files[@]}"; do
  check "extract gives back $(basename "$f")" cmp "$f" "outdir/$(basename "$f")"
  "$bin" cat out.pak "$(basename "$f")" >cat.out
  check "cat gives back $(basename "$f")" cmp "$f" cat.out
done

# cat: a name outside the archive comes from disk; one found nowhere ends with 1.
printf 'on disk' >disk.txt
check "cat reads a name outside the archive from disk" [ "$("$bin" cat out.pak disk.txt)" = "on disk" ]
check "cat of a name found nowhere ends with 1" refused "file nowhere.txt not found!" "$bin" cat out.pak nowhere.txt

# decode goes through the archive first: the name exists only there.
check "the work folder has no basn2c08.png" [ ! -e basn2c08.png ]
line=$("$bin" decode --pak out.pak BASN2C08.PNG raw.out)
check "decode through the archive ($line)" [ "$line" = "width 32 height 32 bpp 24 kind 4 size 4096" ]
check "decode writes 4096 bytes ($(stat -c %s raw.out))" [ "$(stat -c %s raw.out)" -eq 4096 ]
line=$("$bin" decode in/basn6a08.png raw.out)
check "decode from disk ($line)" [ "$line" = "width 32 height 32 bpp 32 kind 4 size 4096" ]
check "decode refuses a text file" refused "not a picture type" "$bin" decode in/readme.txt raw.out

# --log names the log file; the archive's lines show in it.
"$bin" --log log.txt list out.pak >/dev/null
check "the log has the archive's lines" grep -qF " wporzo" log.txt
check "the log names the entries" grep -qF "    Fname  :readme.txt" log.txt

# Refusals: no archive left behind.
cp in/basn2c08.png in/Logo.PNG
check "pack refuses upper-case picture names" refused "upper-case" "$bin" pack bad.pak in/readme.txt in/Logo.PNG
mkdir -p a b && printf 1 >a/same.txt && printf 2 >b/same.txt
check "pack refuses two entries of one name" refused "two entries are named same.txt" "$bin" pack bad.pak a/same.txt b/same.txt
mkdir many
for n in $(seq 1 1025); do : >"many/f$n"; done
check "pack refuses 1025 entries" refused "more than 1024 entries" "$bin" pack bad.pak many/*
check "pack refuses a file it cannot read" refused "cannot read in/absent.bin" "$bin" pack bad.pak in/readme.txt in/absent.bin
check "a refused pack leaves no archive" [ ! -e bad.pak -a ! -e bad.pak.partial ]
check "pack takes 1024 entries" "$bin" pack full.pak $(ls many/f* | head -1024)

# Damaged or missing archives and bad commands end with status 1.
head -c 100 out.pak >short.pak
check "list refuses a cut archive" refused "not a valid archive" "$bin" list short.pak
check "list refuses a missing archive" refused "cannot read missing.pak" "$bin" list missing.pak
# The tool's own errors are its lines, without the invitation's box caption.
check "the error line is paktool's own" test "$(cat err.txt)" = "paktool: cannot read missing.pak"
check "an unknown command ends with 1" refused "unknown command" "$bin" frobnicate out.pak
check "no command ends with 1" refused "usage" "$bin"
checks_done
