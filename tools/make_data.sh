#!/bin/sh
# Regenerate every file in data/ from a party folder (default: party/, our
# own invitation) with the generators in tools/, and check the result.
# The same sources give the same bytes on every run.
#
#   tools/make_data.sh [OUT_DIR [PARTY_DIR]]   (default: data/ and party/)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
out=${1:-"$root/data"}
party=${2:-"$root/party"}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# Debian packages the generators use
"$root/scripts/deps.sh" data

# the interpreter that sees Debian's numpy and Pillow
py=""
for cand in /usr/bin/python3 python3; do
    if "$cand" -c "import numpy, PIL" >/dev/null 2>&1; then
        py=$cand
        break
    fi
done
[ -n "$py" ] || { echo "no python3 with numpy and Pillow" >&2; exit 1; }

cd "$root"
"$py" "$here/make_party_data.py" "$party" "$out"
"$py" "$here/check_data.py" "$out"
