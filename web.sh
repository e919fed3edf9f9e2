#!/usr/bin/env bash
# The invitation in a web browser: installs what is missing, builds the
# WebAssembly libraries once (cached in build/webdeps/), builds the site into
# build/web/ and serves it on http://127.0.0.1:8000/.
# Usage: ./web.sh            build and serve (Ctrl+C stops the server)
#        ./web.sh --build    build only
set -euo pipefail
cd "$(dirname "$0")"

case "${1:-}" in
  ""|--build) ;;
  *) echo "usage: ./web.sh [--build]" >&2; exit 2 ;;
esac

scripts/deps.sh web
scripts/crossdeps.sh web
cmake --preset web >/dev/null
cmake --build --preset web -j 2

[ "${1:-}" = --build ] && exit 0

port=8000
python3 - "$port" build/web <<'PY'
import functools, http.server, sys
port, site = int(sys.argv[1]), sys.argv[2]
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=site)
handler.func.log_message = lambda *args: None
try:
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
except OSError as e:
    sys.exit(f"web.sh: cannot serve on port {port}: {e.strerror}")
print(f"Serving the invitation on http://127.0.0.1:{port}/ (Ctrl+C stops)", flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PY
