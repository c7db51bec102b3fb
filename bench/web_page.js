'use strict';
// Not a test: how quickly the board page serves a player, in Chromium and in Firefox.
// - Load: from the page's request to its engine being ready for a move (the first load
//   in a new profile, then LOADS reloads, whose median is the usual case).
// - Answer: from the player's typed move to the engine's answer in the move list, at full
//   strength and "1 s a move", out of the opening book, MOVES times.
//   node bench/web_page.js [LOADS] [MOVES]
// Needs the built page (scripts/serve-web.sh --build-only) and the browser tests' packages
// (tests/web/node_modules, which tests/web/run.sh installs).

const path = require('node:path');
const { createRequire } = require('node:module');
const { startServer, pageAddress } = require('../scripts/web-server.js');
const { BROWSERS, launchBrowser } = require('../tests/web/browsers.js');

const root = path.resolve(__dirname, '..');
const { Chess } = createRequire(path.join(root, 'tests/web/package.json'))('chess.js');
const loads = Number(process.argv[2] ?? 5);
const moves = Number(process.argv[3] ?? 3);
// White to move, out of the page's opening book.
const START = 'r1bq1rk1/ppp2ppp/2np1n2/2b1p3/2B1P3/2PP1N2/PP3PPP/RNBQ1RK1 w - - 1 7';
const WAIT_MS = 30000;

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function loadTime(page) {
  await page.waitForFunction(() => document.body.dataset.readyMs, { timeout: WAIT_MS });
  return Number(await page.evaluate(() => document.body.dataset.readyMs));
}

// The page's own clock, from the typed move to the list showing the answer.
function answerTime(page, move) {
  return page.evaluate(
    (typed) =>
      new Promise((resolve) => {
        const list = document.getElementById('moves');
        const wanted = list.querySelectorAll('button.move').length + 2;
        const observer = new MutationObserver(() => {
          if (list.querySelectorAll('button.move').length < wanted) return;
          observer.disconnect();
          resolve(Math.round(performance.now() - started));
        });
        observer.observe(list, { childList: true, subtree: true });
        document.getElementById('move-input').value = typed;
        const started = performance.now();
        document.getElementById('move-form').requestSubmit();
      }),
    move,
  );
}

async function measure(name, address) {
  const { browser, close } = await launchBrowser(name);
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 800 });
    await page.goto(address);
    const first = await loadTime(page);
    const reloads = [];
    for (let i = 0; i < loads; i++) {
      await page.reload();
      reloads.push(await loadTime(page));
    }
    console.log(`${name}: page load to engine ready: first ${first} ms, reloads ${reloads.join(' ')} ms, median ${median(reloads)} ms`);

    await page.waitForFunction(() => !document.getElementById('actions').disabled, { timeout: WAIT_MS });
    await page.select('#mode', 'analyse');
    await page.$eval('#io', (details) => (details.open = true));
    await page.$eval('#io-text', (box, fen) => (box.value = fen), START);
    await page.click('#load');
    await page.waitForFunction(() => document.getElementById('status').textContent === 'White to move', { timeout: WAIT_MS });
    await page.select('#colour', 'w');
    await page.select('#level', 'full');
    await page.select('#time-control', 'move:1000');
    await page.select('#mode', 'play');
    const answers = [];
    for (let i = 0; i < moves; i++) {
      await page.waitForFunction(() => document.getElementById('status').textContent === 'Your move', { timeout: WAIT_MS });
      const game = new Chess(START);
      for (const san of await page.$$eval('#moves button.move', (buttons) => buttons.map((b) => b.textContent))) game.move(san);
      const quiet = game.moves({ verbose: true }).find((move) => !move.captured) ?? game.moves({ verbose: true })[0];
      answers.push(await answerTime(page, quiet.san));
    }
    const thinking = await page.evaluate(() => document.body.dataset.lastThinkingMs);
    console.log(`${name}: answer at full strength, 1 s a move: ${answers.join(' ')} ms (the engine's last search ${thinking} ms)`);
  } finally {
    await close();
  }
}

async function main() {
  const server = await startServer(path.join(root, 'build-web/site'), { port: 0 });
  try {
    for (const name of BROWSERS) await measure(name, pageAddress(server));
  } finally {
    server.close();
  }
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
