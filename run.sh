#!/usr/bin/env bash
# Installs what is missing, builds the release preset and starts the invitation.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh build
cmake --preset release >/dev/null
cmake --build --preset release
exec build/release/bin/velmora2k
