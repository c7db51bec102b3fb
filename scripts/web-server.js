'use strict';
// A static file server for the board page. The engine's worker shares memory with the page,
// which browsers allow only to a cross-origin isolated page: every answer carries the
// opener and embedder policies that make it one. The files are served by sirv (an npm
// package of the page, from web/package-lock.json), which reads them anew at each request
// and lets the browser revalidate its copies, so that an updated page is seen at once.
//   node scripts/web-server.js [FOLDER] [--port N] [--host ADDRESS]
// Port 0 picks a free port; the address is printed once the server listens.

const http = require('node:http');
const path = require('node:path');
const { createRequire } = require('node:module');

const sirv = createRequire(path.join(__dirname, '../web/package.json'))('sirv');

const ISOLATION = {
  'Cross-Origin-Opener-Policy': 'same-origin',
  'Cross-Origin-Embedder-Policy': 'require-corp',
  'Cross-Origin-Resource-Policy': 'same-origin',
  'X-Content-Type-Options': 'nosniff',
};

// Resolves with the listening server; its address() gives the port chosen.
function startServer(folder, { port = 8080, host = '127.0.0.1' } = {}) {
  const files = sirv(path.resolve(folder), { dev: true, etag: true });
  // Set before sirv answers, so that its "not modified" and "not found" answers carry them too.
  const server = http.createServer((req, res) => {
    for (const [name, value] of Object.entries(ISOLATION)) res.setHeader(name, value);
    if (req.method !== 'GET' && req.method !== 'HEAD') {
      res.writeHead(405, { 'Content-Type': 'text/plain; charset=utf-8' });
      res.end('only GET and HEAD\n');
      return;
    }
    files(req, res);
  });
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
