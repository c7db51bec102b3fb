'use strict';
// The board page in headless Chromium, used as a player uses it: moves by clicking and by
// dragging the pieces, the engine's answers checked against the rules and against the board
// that the page draws, then take-back, a game as Black on a clock, and an analysis started
// and stopped. The page is served by the project's own server, with the network cut once it
// has loaded. Screenshots go to build-web/screenshots.
// TERVANE_WEB_SITE: the built page (default build-web/site); CHROMIUM: the browser.

const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const fs = require('node:fs');
const path = require('node:path');
const puppeteer = require('puppeteer-core');
const { Chess } = require('chess.js');
const { startServer, pageAddress } = require('../../scripts/web-server.js');

const root = path.resolve(__dirname, '../..');
const site = process.env.TERVANE_WEB_SITE ?? path.join(root, 'build-web/site');
const shots = path.join(root, 'build-web/screenshots');
const REPLY_TIMEOUT_MS = 20000;
// Moves the player tries in this order; the first legal one is played.
const PREFERRED = ['e2e4', 'e7e5', 'g1f3', 'b8c6', 'f1c4', 'g8f6', 'd2d3', 'd7d6', 'e1g1', 'e8g8', 'b1c3', 'c8g4'];

let server;
let browser;
let page;
const pageErrors = [];

before(async () => {
  assert.ok(fs.existsSync(path.join(site, 'index.html')), `no page at ${site}: run scripts/serve-web.sh --build-only`);
  fs.mkdirSync(shots, { recursive: true });
  server = await startServer(site, { port: 0, host: '127.0.0.1' });
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    protocolTimeout: 60000,
    // Chromium refuses to run as root inside its own sandbox.
    args: process.getuid?.() === 0 ? ['--no-sandbox'] : [],
  });
  page = await browser.newPage();
  page.on('pageerror', (error) => pageErrors.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error') pageErrors.push(message.text());
  });
  await page.setViewport({ width: 1100, height: 800 });
  await page.goto(pageAddress(server));
});

after(async () => {
  await browser?.close();
  server?.close();
});

const text = (selector) => page.$eval(selector, (element) => element.textContent);
const shoot = (name) => page.screenshot({ path: path.join(shots, `${name}.png`) });

// Waits for the status line to begin with `wanted`, a text or the source of a pattern.
async function waitForStatus(wanted) {
  const pattern = wanted instanceof RegExp ? wanted.source : `^${wanted.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}`;
  await page.waitForFunction((p) => new RegExp(p).test(document.getElementById('status').textContent), { timeout: REPLY_TIMEOUT_MS }, pattern);
}

async function squareCentre(square) {
  const box = await (await page.$(`#board rect.square[data-square="${square}"]`)).boundingBox();
  return { x: box.x + box.width / 2, y: box.y + box.height / 2 };
}

async function clickMove(from, to) {
  const a = await squareCentre(from);
  const b = await squareCentre(to);
  await page.mouse.click(a.x, a.y);
  await page.mouse.click(b.x, b.y);
}

async function tapMove(from, to) {
  const a = await squareCentre(from);
  const b = await squareCentre(to);
  await page.touchscreen.tap(a.x, a.y);
  await page.touchscreen.tap(b.x, b.y);
}

async function dragMove(from, to) {
  const a = await squareCentre(from);
  const b = await squareCentre(to);
  await page.mouse.move(a.x, a.y);
  await page.mouse.down();
  await page.mouse.move(b.x, b.y, { steps: 12 });
  await page.mouse.up();
}

// What the page draws: piece names ("wp", "bk") by square.
function drawnPieces() {
  return page.$$eval('#board g[data-square][data-piece]', (pieces) =>
    Object.fromEntries(pieces.map((piece) => [piece.dataset.square, piece.dataset.piece])),
  );
}

function expectedPieces(game) {
  const pieces = {};
  for (const row of game.board()) {
    for (const piece of row) if (piece) pieces[piece.square] = piece.color + piece.type;
  }
  return pieces;
}

async function assertBoardShows(game, when) {
  const wanted = expectedPieces(game);
  // Pieces may still be on their way: give the animation time before comparing.
  await page
    .waitForFunction(
      (w) => {
        const drawn = {};
        for (const p of document.querySelectorAll('#board g[data-square][data-piece]')) drawn[p.dataset.square] = p.dataset.piece;
        return JSON.stringify(Object.entries(drawn).sort()) === JSON.stringify(Object.entries(w).sort());
      },
      { timeout: 3000 },
      wanted,
    )
    .catch(() => {});
  assert.deepEqual(await drawnPieces(), wanted, `the board ${when}`);
}

async function shownPlies() {
  const moves = await page.$$eval('#moves li', (items) => items.map((item) => item.textContent).join(' '));
  return moves.split(/\s+/).filter(Boolean).length;
}

const shownLines = () => page.$$eval('#info-lines li', (items) => items.map((item) => item.textContent));

// Waits for the engine's move at ply `plies` and plays it into `game`, checking that it is
// legal there and that its search reported progress before answering.
async function engineReply(game) {
  const plies = game.history().length + 1;
  await page.waitForFunction((n) => document.querySelectorAll('#moves li').length >= Math.ceil(n / 2), { timeout: REPLY_TIMEOUT_MS }, plies);
  await page.waitForFunction(
    (n) => [...document.querySelectorAll('#moves li')].map((li) => li.textContent).join(' ').split(/\s+/).filter(Boolean).length >= n,
    { timeout: REPLY_TIMEOUT_MS },
    plies,
  );
  const lines = await shownLines();
  const last = lines.at(-1);
  assert.match(last, /^bestmove [a-h][1-8][a-h][1-8][qrbn]?$/, 'the last engine line is its move');
  assert.match(lines.at(-2) ?? '', /^info /, 'info lines come before the move');
  const text = last.split(' ')[1];
  let move;
  assert.doesNotThrow(() => {
    move = game.move(text);
  }, `the engine's ${text} is legal after ${game.history().join(' ') || 'the start'}`);
  await assertBoardShows(game, `after the engine's ${move.san}`);
  assert.equal(await shownPlies(), game.history().length, 'the move list has every move');
  return move;
}

function choosePlayerMove(game) {
  const legal = game.moves({ verbose: true });
  for (const lan of PREFERRED) {
    const move = legal.find((candidate) => candidate.lan === lan);
    if (move) return move;
  }
  return legal[0];
}

// `how`: 'drag', 'click' or 'tap'.
async function playerMove(game, how) {
  const move = choosePlayerMove(game);
  await { drag: dragMove, click: clickMove, tap: tapMove }[how](move.from, move.to);
  game.move(move.lan);
  await assertBoardShows(game, `after the player's ${move.san} by ${how}`);
}

test('the page loads, isolated, and starts the engine', async () => {
  await waitForStatus('Your move');
  assert.equal(await page.evaluate(() => crossOriginIsolated), true, 'the page is cross-origin isolated');
  // Its files kept for use without a network.
  await page.waitForFunction(
    async () => (await navigator.serviceWorker.getRegistration())?.active?.state === 'activated',
    { timeout: REPLY_TIMEOUT_MS },
  );
  // From here on the page must live on what it has loaded.
  await page.setOfflineMode(true);
  await assertBoardShows(new Chess(), 'at the start');
  await shoot('1-start');
});

test('a short game as White: moves by drag and by click, every answer legal and shown', async () => {
  await page.select('#time-control', 'move:500');
  const game = new Chess();
  for (let i = 0; i < 4; i++) {
    await playerMove(game, i % 2 === 0 ? 'drag' : 'click');
    await engineReply(game);
    await waitForStatus('Your move');
  }
  const lines = await shownLines();
  assert.ok(
    lines.some((line) => /^info depth \d+ score (cp|mate) -?\d+ time \d+ nodes \d+ nps \d+ pv( [a-h][1-8][a-h][1-8][qrbn]?)+ $/.test(line)),
    `progress lines with a line of moves are shown:\n${lines.join('\n')}`,
  );
  assert.match(await text('#depth'), /^depth \d+$/);
  assert.match(await text('#score'), /^([+-]?\d+\.\d\d|#-?\d+)$/);
  assert.notEqual(await text('#pv'), '');
  await shoot('2-game');

  await page.click('#take-back');
  game.undo();
  game.undo();
  await waitForStatus('Your move');
  await assertBoardShows(game, 'after taking back');
  assert.equal(await shownPlies(), game.history().length);
});

test('a game as Black on a clock: the engine moves first and its clock runs', async () => {
  await page.select('#time-control', 'clock:60000:1000');
  await page.select('#colour', 'b');
  await page.click('#new-game');
  const game = new Chess();
  await engineReply(game);
  await waitForStatus('Your move');
  for (let i = 0; i < 2; i++) {
    await playerMove(game, i % 2 === 0 ? 'click' : 'drag');
    await engineReply(game);
    await waitForStatus('Your move');
  }
  // The player's clock runs on the player's side of the board, and the engine's has stopped.
  assert.match(await text('#clock-top'), /^White [01]:\d\d$/);
  const bottom = await text('#clock-bottom');
  assert.match(bottom, /^Black [01]:\d\d$/);
  assert.equal(await page.$eval('#clock-bottom', (clock) => clock.classList.contains('running')), true);
  assert.equal(await page.$eval('#clock-top', (clock) => clock.classList.contains('running')), false);
  await page.waitForFunction((b) => document.getElementById('clock-bottom').textContent !== b, { timeout: 5000 }, bottom);
  await shoot('3-black-clock');
});

test('analysis: go infinite shows deepening lines until stop, a move restarts it', async () => {
  await page.select('#mode', 'analyse');
  await waitForStatus(/^(White|Black) to move$/);
  await page.click('#go-infinite');
  await waitForStatus('Analysing');
  // Depth 6 shows that the search runs on, beyond the first progress lines.
  await page.waitForFunction(() => /^depth ([6-9]|\d\d+)$/.test(document.getElementById('depth').textContent), {
    timeout: REPLY_TIMEOUT_MS,
  });
  assert.match((await shownLines()).at(-1), /^info /, 'the analysis shows its lines and has not answered');

  // A move on the board during the analysis analyses the new position.
  const game = new Chess();
  const played = await page.$$eval('#moves li', (items) => items.map((item) => item.textContent).join(' '));
  for (const san of played.split(/\s+/).filter(Boolean)) game.move(san);
  await playerMove(game, 'click');
  await waitForStatus('Analysing');
  await page.waitForFunction(() => /^depth \d+$/.test(document.getElementById('depth').textContent), { timeout: REPLY_TIMEOUT_MS });
  await shoot('4-analysis');

  await page.click('#stop');
  await waitForStatus('Best move: ');
  const best = (await shownLines()).at(-1);
  assert.match(best, /^bestmove /);
  const text = best.split(' ')[1];
  assert.doesNotThrow(() => game.move(text), `${text} is legal`);
  assert.equal(await page.$eval('#stop', (button) => button.disabled), true);
  assert.equal(await page.$eval('#go-infinite', (button) => button.disabled), false);
});

test('analysis board: both sides move, and a pawn promotes to the piece picked in the dialog', async () => {
  await page.click('#new-game');
  await waitForStatus('White to move');
  const game = new Chess();
  for (const lan of ['h2h4', 'g7g5', 'h4g5', 'h7h6', 'g5h6', 'f8g7', 'h6g7', 'g8f6']) {
    await clickMove(lan.slice(0, 2), lan.slice(2, 4));
    game.move(lan);
    await assertBoardShows(game, `after ${lan}`);
  }
  await clickMove('g7', 'h8');
  await page.waitForSelector('rect.promotion-dialog-button[data-piece="wn"]', { timeout: 5000 });
  await shoot('5-promotion');
  const button = await (await page.$('rect.promotion-dialog-button[data-piece="wn"]')).boundingBox();
  await page.mouse.click(button.x + button.width / 2, button.y + button.height / 2);
  game.move('g7h8n');
  await assertBoardShows(game, 'after the promotion to a knight');
  assert.match(await page.$eval('#moves', (list) => list.textContent), /gxh8=N/);
});

test('with the server gone, the page opens again from what it kept, on a phone, and plays', async () => {
  server.closeAllConnections();
  await new Promise((resolve) => server.close(resolve));
  server = null;
  await page.setOfflineMode(false);
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  await page.reload();
  await page.select('#time-control', 'move:500');
  await waitForStatus('Your move');
  assert.equal(await page.evaluate(() => crossOriginIsolated), true, 'the kept page is cross-origin isolated');
  const game = new Chess();
  await playerMove(game, 'tap');
  await engineReply(game);
  await shoot('6-offline-phone');
});

test('the page raised no errors', () => {
  assert.deepEqual(pageErrors, []);
});
