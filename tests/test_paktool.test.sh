#!/usr/bin/env bash
# The archive tool end to end: pack, then list, extract and cat give back
# every file byte for byte; decode loads a picture as the program does; pack
# refuses what the reader could not serve, leaving no archive behind.
# Usage: test_paktool.test.sh BIN_DIR SOURCE_DIR
set -euo pipefail
bin="$1/paktool"
src="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Expects the command to fail with status 1 and a message holding $1.
expect_refusal() {
  local want="$1"; shift
  local status=0
  "$@" >out.txt 2>err.txt || status=$?
  [ "$status" -eq 1 ] || fail "$* exited with $status, not 1"
  grep -qF -- "$want" err.txt || fail "$* did not say '$want': $(cat err.txt)"
}

mkdir in
cp "$src"/tests/data/pngsuite/basn2c08.png "$src"/tests/data/pngsuite/basn6a08.png in/
cp "$src"/tests/data/pngsuite/README in/readme.txt
: >in/empty.bin
printf 'ends in zeros\0\0\0' >in/zeros.bin
seq 1 5000 >in/Numbers.TXT
files=(in/basn2c08.png in/empty.bin in/readme.txt in/zeros.bin in/Numbers.TXT in/basn6a08.png)

"$bin" pack out.pak "${files[@]}"
[ ! -e out.pak.partial ] || fail "pack left its temporary file"

# list: one line per entry in the order given, ascending Fptr, the file's size.
"$bin" list out.pak >list.txt
[ "$(wc -l <list.txt)" -eq ${#files[@]} ] || fail "list has $(wc -l <list.txt) lines"
i=0
prev=-1
while read -r name fptr size; do
  f="${files[$i]}"
  [ "$name" = "$(basename "$f")" ] || fail "entry $i is $name, not $(basename "$f")"
  [ "$size" -eq "$(stat -c %s "$f")" ] || fail "$name: listed size $size"
  [ "$fptr" -gt "$prev" ] || fail "$name: Fptr $fptr does not ascend"
  prev=$fptr
  i=$((i + 1))
done <list.txt

"$bin" extract out.pak outdir
for f in "${files[@]}"; do
  cmp "$f" "outdir/$(basename "$f")" || fail "extract changed $(basename "$f")"
  "$bin" cat out.pak "$(basename "$f")" >cat.out
  cmp "$f" cat.out || fail "cat changed $(basename "$f")"
done

# cat: a name outside the archive comes from disk; one found nowhere ends with 1.
printf 'on disk' >disk.txt
[ "$("$bin" cat out.pak disk.txt)" = "on disk" ] || fail "cat did not read the disk file"
expect_refusal "file nowhere.txt not found!" "$bin" cat out.pak nowhere.txt

# decode goes through the archive first: the name exists only there.
[ ! -e basn2c08.png ] || fail "work folder is not clean"
line=$("$bin" decode --pak out.pak BASN2C08.PNG raw.out)
[ "$line" = "width 32 height 32 bpp 24 kind 4 size 4096" ] || fail "decode printed '$line'"
[ "$(stat -c %s raw.out)" -eq 4096 ] || fail "decode wrote $(stat -c %s raw.out) bytes"
line=$("$bin" decode in/basn6a08.png raw.out)
[ "$line" = "width 32 height 32 bpp 32 kind 4 size 4096" ] || fail "decode printed '$line'"
expect_refusal "not a picture type" "$bin" decode in/readme.txt raw.out

# --log names the log file; the archive's lines show in it.
"$bin" --log log.txt list out.pak >/dev/null
grep -qF " wporzo" log.txt || fail "the log has no archive lines"
grep -qF "    Fname  :readme.txt" log.txt || fail "the log does not name the entries"

# Refusals: no archive left behind.
cp in/basn2c08.png in/Logo.PNG
expect_refusal "upper-case" "$bin" pack bad.pak in/readme.txt in/Logo.PNG
mkdir -p a b && printf 1 >a/same.txt && printf 2 >b/same.txt
expect_refusal "two entries are named same.txt" "$bin" pack bad.pak a/same.txt b/same.txt
mkdir many
for n in $(seq 1 1025); do : >"many/f$n"; done
expect_refusal "more than 1024 entries" "$bin" pack bad.pak many/*
expect_refusal "cannot read in/absent.bin" "$bin" pack bad.pak in/readme.txt in/absent.bin
[ ! -e bad.pak ] && [ ! -e bad.pak.partial ] || fail "a refused pack left an archive"
"$bin" pack full.pak $(ls many/f* | head -1024) || fail "1024 entries were refused"

# Damaged or missing archives and bad commands end with status 1.
head -c 100 out.pak >short.pak
expect_refusal "not a valid archive" "$bin" list short.pak
expect_refusal "cannot read missing.pak" "$bin" list missing.pak
# The tool's own errors are its lines, without the invitation's box caption.
[ "$(cat err.txt)" = "paktool: cannot read missing.pak" ] || fail "the error line is '$(cat err.txt)'"
expect_refusal "unknown command" "$bin" frobnicate out.pak
expect_refusal "usage" "$bin"

echo "paktool: all checks passed"
