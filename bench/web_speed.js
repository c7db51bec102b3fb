'use strict';
// Not a test: the speed of the WebAssembly engine in Chromium beside the native build, on the
// same fixed search ("position startpos", "go depth DEPTH"), RUNS times each, alternating.
// Prints each run's last "info time ... nodes ... nps" line and its CPU time, then the median
// and best rates, by the clock and by CPU time (on a busy machine the clock lies: the CPU
// time of the engine's thread, the native process or the browser's worker thread, does much
// less). Linux only, for the CPU times.
//   node bench/web_speed.js [DEPTH] [RUNS]
// Needs the built page (scripts/serve-web.sh --build-only), the browser tests' packages
// (tests/web/node_modules, which tests/web/run.sh installs) and the native build/tervane.

const fs = require('node:fs');
const path = require('node:path');
const { startServer, pageAddress } = require('../scripts/web-server.js');
const { launchBrowser } = require('../tests/web/browsers.js');
const { EngineProcess } = require('../tests/games/lib/engine_process.js');

const root = path.resolve(__dirname, '..');
const depth = Number(process.argv[2] ?? 8);
const runs = Number(process.argv[3] ?? 5);
const commands = ['position startpos', `go depth ${depth}`];

// The native engine's input stays open until it answers: the end of input would end the search.
async function nativeSearch(engine) {
  for (const command of commands) engine.send(command);
  const { before } = await engine.expect((line) => line.startsWith('bestmove'), 3600000, '"bestmove"');
  return before.findLast((line) => line.startsWith('info time ')) ?? null;
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

const TICKS_PER_SECOND = 100;

// CPU milliseconds of each thread of the processes whose command line matches, by thread.
function threadTimes(match, name) {
  const times = new Map();
  for (const pid of fs.readdirSync('/proc').filter((entry) => /^\d+$/.test(entry))) {
    try {
      if (!match(fs.readFileSync(`/proc/${pid}/cmdline`, 'utf8'))) continue;
      for (const tid of fs.readdirSync(`/proc/${pid}/task`)) {
        const stat = fs.readFileSync(`/proc/${pid}/task/${tid}/stat`, 'utf8');
        const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
        if (name && !stat.includes(`(${name}`)) continue;
        times.set(tid, ((Number(fields[11]) + Number(fields[12])) * 1000) / TICKS_PER_SECOND);
      }
    } catch {
      // The process ended meanwhile.
    }
  }
  return times;
}

// The CPU time of the busiest thread among those matched, while `work` runs.
async function busiestThreadTime(match, name, work) {
  const before = threadTimes(match, name);
  const result = await work();
  let most = 0;
  for (const [tid, ms] of threadTimes(match, name)) most = Math.max(most, ms - (before.get(tid) ?? 0));
  return { result, cpuMs: most };
}

const rate = (line) => Number(/ nps (\d+)/.exec(line)[1]);
const nodes = (line) => Number(/ nodes (\d+)/.exec(line)[1]);
const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function main() {
  const native = new EngineProcess(path.join(root, 'build/tervane'));
  const server = await startServer(path.join(root, 'build-web/site'), { port: 0 });
  const chromium = await launchBrowser('chromium');
  try {
    const page = await chromium.browser.newPage();
    // The board page only for its isolation; the engine measured is a second one of its own.
    await page.goto(pageAddress(server));
    await page.evaluate(async () => {
      const { startEngine } = await import('./engine-client.js');
      window.speedEngine = startEngine('./engine/');
      await window.speedEngine.ready;
    });
    const isNative = (cmdline) => cmdline.split('\0')[0] === path.join(root, 'build/tervane');
    const isRenderer = (cmdline) => cmdline.includes('chromium') && cmdline.includes('--type=renderer');
    const results = { native: { clock: [], cpu: [] }, wasm: { clock: [], cpu: [] } };
    for (let i = 0; i < runs; i++) {
      const a = await busiestThreadTime(isNative, null, () => nativeSearch(native));
      const b = await busiestThreadTime(isRenderer, 'DedicatedWorker', () => browserSearch(page));
      for (const [name, run] of [['native', a], ['wasm', b]]) {
        console.log(`run ${i + 1} ${name.padEnd(6)} ${run.result} (CPU ${run.cpuMs} ms)`);
        results[name].clock.push(rate(run.result));
        results[name].cpu.push(Math.round((nodes(run.result) * 1000) / run.cpuMs));
      }
      if (nodes(a.result) !== nodes(b.result)) console.log('  the node counts differ!');
    }
    for (const [name, pick] of [['median', median], ['best', (values) => Math.max(...values)]]) {
      for (const by of ['clock', 'cpu']) {
        const n = pick(results.native[by]);
        const w = pick(results.wasm[by]);
        console.log(`${name} nps by ${by} at depth ${depth} over ${runs} runs: native ${n}, WebAssembly in Chromium ${w}, native/wasm ${(n / w).toFixed(2)}`);
      }
    }
  } finally {
    native.send('quit');
    native.closeInput();
    await chromium.close();
    server.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
