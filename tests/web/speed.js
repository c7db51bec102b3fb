'use strict';
// Not a test: the speed of the WebAssembly engine in Chromium beside the native build, on the
// same fixed search ("position startpos", "go depth DEPTH"), RUNS times each, alternating.
// Prints each run's last "info time ... nodes ... nps" line, and the median and best rates
// (on a shared machine the best is the least disturbed).
//   node tests/web/speed.js [DEPTH] [RUNS]
// Needs the built page (scripts/serve-web.sh --build-only) and the native build/tervane.

const { spawn } = require('node:child_process');
const path = require('node:path');
const readline = require('node:readline');
const puppeteer = require('puppeteer-core');
const { startServer, pageAddress } = require('../../scripts/web-server.js');

const root = path.resolve(__dirname, '../..');
const depth = Number(process.argv[2] ?? 8);
const runs = Number(process.argv[3] ?? 5);
const commands = ['position startpos', `go depth ${depth}`];

// The native engine's input stays open until it answers: the end of input would end the search.
function nativeSearch(engine) {
  return new Promise((resolve) => {
    let last = null;
    const onLine = (line) => {
      if (line.startsWith('info time ')) last = line;
      if (!line.startsWith('bestmove')) return;
      engine.lines.off('line', onLine);
      resolve(last);
    };
    engine.lines.on('line', onLine);
    for (const command of commands) engine.process.stdin.write(`${command}\n`);
  });
}

function browserSearch(page) {
  return page.evaluate(
    (lines) =>
      new Promise((resolve) => {
        let last = null;
        window.speedEngine.onLine = (line) => {
          if (line.startsWith('info time ')) last = line;
          if (line.startsWith('bestmove')) resolve(last);
        };
        for (const line of lines) window.speedEngine.send(line);
      }),
    commands,
  );
}

const rate = (line) => Number(/ nps (\d+)/.exec(line)[1]);
const nodes = (line) => Number(/ nodes (\d+)/.exec(line)[1]);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function main() {
  const child = spawn(path.join(root, 'build/tervane'), [], { stdio: ['pipe', 'pipe', 'inherit'] });
  const native = { process: child, lines: readline.createInterface({ input: child.stdout }) };
  const server = await startServer(path.join(root, 'build-web/site'), { port: 0 });
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: process.getuid?.() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    const page = await browser.newPage();
    // The board page only for its isolation; the engine measured is a second one of its own.
    await page.goto(pageAddress(server));
    await page.evaluate(async () => {
      const { startEngine } = await import('./engine-client.js');
      window.speedEngine = startEngine('./engine/');
      await window.speedEngine.ready;
    });
    const results = { native: [], wasm: [] };
    for (let i = 0; i < runs; i++) {
      const a = await nativeSearch(native);
      const b = await browserSearch(page);
      console.log(`run ${i + 1} native: ${a}`);
      console.log(`run ${i + 1} wasm:   ${b}`);
      if (nodes(a) !== nodes(b)) console.log('  the node counts differ!');
      results.native.push(rate(a));
      results.wasm.push(rate(b));
    }
    for (const [name, pick] of [['median', median], ['best', (values) => Math.max(...values)]]) {
      const n = pick(results.native);
      const w = pick(results.wasm);
      console.log(`${name} nps at depth ${depth} over ${runs} runs: native ${n}, WebAssembly in Chromium ${w}, native/wasm ${(n / w).toFixed(2)}`);
    }
  } finally {
    child.stdin.end('quit\n');
    await browser.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
