'use strict';
// A static file server for the board page. The engine's worker shares memory with the page,
// which browsers allow only to a cross-origin isolated page: every answer carries the
// opener and embedder policies that make it one. No framework, nothing cached.
//   node scripts/web-server.js [FOLDER] [--port N] [--host ADDRESS]
// Port 0 picks a free port; the address is printed once the server listens.

const http = require('node:http');
const fs = require('node:fs');
const path = require('node:path');

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.json': 'application/json',
  '.webmanifest': 'application/manifest+json',
  '.wasm': 'application/wasm',
  '.map': 'application/json',
};

const ISOLATION = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
  'Cross-Origin-Resource-Policy': 'same-origin',
  'Cache-Control': 'no-cache',
  'X-Content-Type-Options': 'nosniff',
};

function answer(res, status, text) {
  res.writeHead(status, { ...ISOLATION, 'Content-Type': 'text/plain; charset=utf-8' });
  res.end(text);
}

function handle(root, req, res) {
  if (req.method !== 'GET' && req.method !== 'HEAD') return answer(res, 405, 'only GET and HEAD\n');
  let name;
  try {
    name = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
  } catch {
    return answer(res, 400, 'bad address\n');
  }
  if (name.endsWith('/')) name += 'index.html';
  const file = path.join(root, path.normalize(name));
  if (file !== root && !file.startsWith(root + path.sep)) return answer(res, 403, 'outside the page\n');
  fs.stat(file, (err, stat) => {
    if (err || !stat.isFile()) return answer(res, 404, 'not found\n');
    res.writeHead(200, {
      ...ISOLATION,
      'Content-Type': TYPES[path.extname(file).toLowerCase()] ?? 'application/octet-stream',
      'Content-Length': stat.size,
    });
    if (req.method === 'HEAD') return res.end();
    fs.createReadStream(file).pipe(res);
  });
}

// Resolves with the listening server; its address() gives the port chosen.
function startServer(folder, { port = 8080, host = '127.0.0.1' } = {}) {
  const root = path.resolve(folder);
  const server = http.createServer((req, res) => handle(root, req, res));
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => resolve(server));
  });
}

function pageAddress(server) {
  const { address, port } = server.address();
  return `http://${address.includes(':') ? `[${address}]` : address}:${port}/`;
}

module.exports = { startServer, pageAddress };

if (require.main === module) {
  const args = process.argv.slice(2);
  const option = (flag, fallback) => {
    const i = args.indexOf(flag);
    if (i < 0) return fallback;
    const value = args[i + 1];
    args.splice(i, 2);
    return value;
  };
  const port = Number(option('--port', '8080'));
  const host = option('--host', '127.0.0.1');
  const folder = args[0] ?? '.';
  startServer(folder, { port, host }).then(
    (server) => console.log(`Serving ${path.resolve(folder)} at ${pageAddress(server)}`),
    (err) => {
      console.error(`web-server: ${err.message}`);
      process.exit(1);
    },
  );
}
