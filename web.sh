#!/usr/bin/env bash
# The invitation in a web browser: installs what is missing, builds the
# WebAssembly libraries once (cached in build/webdeps/), builds the site into
# build/web/ and the studio (where an organiser makes the invitation their
# party's) into build/studio/, and serves them on http://127.0.0.1:8000/ and
# http://127.0.0.1:8000/studio/.
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
scripts/studio_release.sh

[ "${1:-}" = --build ] && exit 0

port=8000
python3 - "$port" build/web build/studio <<'PY'
import http.server, os, sys
port, site, studio = int(sys.argv[1]), os.path.abspath(sys.argv[2]), os.path.abspath(sys.argv[3])

class Handler(http.server.SimpleHTTPRequestHandler):
    # The studio's folder at /studio/, the site's at the top.
    def translate_path(self, path):
        clean = path.split("?", 1)[0].split("#", 1)[0]
        if clean == "/studio" or clean.startswith("/studio/"):
            rest = path[len("/studio"):] or "/"
            return http.server.SimpleHTTPRequestHandler.translate_path(self, rest).replace(site, studio, 1)
        return http.server.SimpleHTTPRequestHandler.translate_path(self, path)

    def log_message(self, *args):
        pass

handler = lambda *args, **kwargs: Handler(*args, directory=site, **kwargs)
try:
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
except OSError as e:
    sys.exit(f"web.sh: cannot serve on port {port}: {e.strerror}")
print(f"Serving the invitation on http://127.0.0.1:{port}/ and the studio on http://127.0.0.1:{port}/studio/ (Ctrl+C stops)", flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PY
