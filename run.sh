#!/usr/bin/env bash
# Installs what is missing, builds what the run needs (the program, the
# archive tool and the data it packs) with the release preset, and starts the
# invitation. ./test.sh builds everything else.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build
cmake --preset release >/dev/null
cmake --build --preset release --target invitation
exec build/release/bin/velmora2k
