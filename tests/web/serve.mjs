// A static file server for the site folder on 127.0.0.1 at a free port,
// with the types browsers insist on (JavaScript for worklet modules). Files
// named in `hidden` answer 404 as if they were not there, and so does any
// path that leads out of the site (an encoded "../" included). `inject`, when
// given, is put at the start of index.html's head: a test's own script that
// runs before the page's (for a browser driven without a way to add one).
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';

const kTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript',
  '.mjs': 'text/javascript',
  '.css': 'text/css',
  '.wasm': 'application/wasm',
  '.png': 'image/png',
};

// The file a request names inside the site, or null.
function siteFile(site, url) {
  let name;
  try {
    name = decodeURIComponent(new URL(url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
  } catch (e) {
    return null;  // a malformed escape
  }
  const file = path.resolve(site, name);
  return file.startsWith(site + path.sep) ? {name, file} : null;
}

export function serve(root, hidden = [], inject = '') {
  const site = path.resolve(root);
  const server = http.createServer((req, res) => {
    const found = siteFile(site, req.url);
    if (!found || hidden.includes(found.name) || !fs.existsSync(found.file) || !fs.statSync(found.file).isFile()) {
      res.writeHead(404, {'Content-Type': 'text/plain'});
      res.end('not found\n');
      return;
    }
    res.writeHead(200, {'Content-Type': kTypes[path.extname(found.file)] || 'application/octet-stream'});
    if (inject && found.name === 'index.html') {
      res.end(fs.readFileSync(found.file, 'utf8').replace('<head>', '<head>\n' + inject));
      return;
    }
    fs.createReadStream(found.file).pipe(res);
  });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => resolve({server, url: `http://127.0.0.1:${server.address().port}/`}));
  });
}

// A server as serve() makes, and a fault to switch on and off while it runs:
// while faults.short names a file, that file is sent cut to half its length
// (with a Content-Length to match, as a proxy that lost the rest would).
export async function serveFaulty(root, faults) {
  const site = await serve(root);
  const plain = site.server.listeners('request');
  site.server.removeAllListeners('request');
  site.server.on('request', (req, res) => {
    const found = siteFile(path.resolve(root), req.url);
    if (faults.short && found && found.name === faults.short) {
      const bytes = fs.readFileSync(found.file);
      const half = bytes.subarray(0, bytes.length >> 1);
      res.writeHead(200, {'Content-Type': 'application/octet-stream', 'Content-Length': half.length});
      res.end(half);
      return;
    }
    for (const handler of plain) handler.call(site.server, req, res);
  });
  return site;
}
