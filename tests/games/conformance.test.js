'use strict';
// The engine as chess interfaces and match managers see it: over pipes, through node-uci
// where node-uci can say it, and through a bare child process where a test must see every
// line or time a reply. chess.js is the judge of every position and move.

const { describe, test, afterEach } = require('node:test');
const assert = require('node:assert/strict');
const { Engine } = require('node-uci');
const { EngineProcess, enginePath, sleep } = require('./lib/engine_process');
const {
  Chess,
  START_FEN,
  legalMove,
  firstIllegal,
  printedBoard,
  parsePrint,
  randomGame,
  playKnown,
  sanToUci,
} = require('./lib/chess_tools');

// Replies a search must give at once: the engine looks at its input every 65536 nodes, a
// few tens of milliseconds; these bounds only tell a slow machine from a hung engine.
const PROMPT_MS = 2000;
const SEARCH_MS = 10000;

const running = [];
function start() {
  const engine = new EngineProcess();
  running.push(engine);
  return engine;
}
afterEach(() => {
  for (const engine of running.splice(0)) engine.kill();
});

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Error(`no ${what} within ${ms} ms`)), ms);
  });
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

async function handshake(engine) {
  engine.send('uci');
  await engine.expect('uciok', PROMPT_MS, '"uciok"');
}

// The position `chess` as the engine must print it.
async function assertPrinted(engine, chess, context) {
  engine.send('print');
  const lines = await engine.sync();
  const shown = parsePrint(lines);
  assert.deepEqual(shown.board, printedBoard(chess), `board after ${context}`);
  assert.equal(shown.turn, chess.turn() === 'w' ? 'W' : 'B', `side to move after ${context}`);
  assert.equal(shown.fifty, Number(chess.fen().split(' ')[4]), `fifty-move counter after ${context}`);
}

function assertLegalBestmove(line, fen) {
  const match = /^bestmove (\S+)/.exec(line);
  assert.ok(match, `not a bestmove line: ${line}`);
  assert.ok(legalMove(new Chess(fen), match[1]), `bestmove ${match[1]} is not legal in ${fen}`);
  return match[1];
}

function assertLegalPvs(lines, fen) {
  for (const line of lines) {
    const pv = / pv (.*)$/.exec(line);
    if (!pv) continue;
    const moves = pv[1].trim().split(/\s+/);
    const bad = firstIllegal(fen, moves);
    assert.equal(bad, -1, `pv move ${moves[bad]} is not legal in "${line}" from ${fen}`);
  }
}

const isBestmove = (l) => l.startsWith('bestmove');
const isInfo = (l) => l.startsWith('info');

// Starts an analysis that only "stop" may end, and waits until it is really searching.
async function startInfinite(engine, position = 'position startpos') {
  engine.send(position);
  engine.send('go infinite');
  const first = await engine.expect(isInfo, PROMPT_MS, 'first "info" of the search');
  assert.ok(!first.before.some(isBestmove), 'bestmove before the search began');
}

describe('handshake and idle commands', () => {
  test('node-uci completes the handshake and reads the identification', async () => {
    const engine = new Engine(enginePath());
    try {
      await withTimeout(engine.init(), PROMPT_MS, '"uciok"');
      assert.match(engine.id.name, /^Tervane \S+/);
      assert.ok(engine.id.author, 'no "id author" line');
      await withTimeout(engine.isready(), PROMPT_MS, '"readyok"');
      // node-uci waits for "readyok" after an option it sends: the engine must not choke.
      await withTimeout(engine.setoption('Hash', '16'), PROMPT_MS, '"readyok" after setoption');
      await withTimeout(engine.quit(), PROMPT_MS, 'exit after "quit"');
    } finally {
      if (engine.proc) engine.proc.kill('SIGKILL');
    }
  });

  test('"uci" answers exactly the id lines and "uciok"', async () => {
    const engine = start();
    engine.send('uci');
    const { before } = await engine.expect('uciok', PROMPT_MS, '"uciok"');
    const reply = before.filter((l) => l.startsWith('id ') || l.startsWith('option '));
    assert.deepEqual(
      reply.map((l) => l.split(' ').slice(0, 2).join(' ')),
      ['id name', 'id author'],
      `reply to "uci": ${JSON.stringify(before)}`,
    );
    // Interfaces read anything before "uci" as noise, but nothing may trail "uciok".
    assert.deepEqual(await engine.sync(), []);
  });

  test('"isready" answers "readyok" and nothing else, however often it is asked', async () => {
    const engine = start();
    await handshake(engine);
    for (let i = 0; i < 5; ++i) assert.deepEqual(await engine.sync(), []);
  });

  test('unknown commands, lines that are no command, and "stop" or "ponderhit" while idle answer nothing', async () => {
    const engine = start();
    await handshake(engine);
    for (const line of [
      'setoption name Hash value 64',
      'setoption name UCI_AnalyseMode value true',
      'setoption name Clear Hash',
      'debug on',
      'debug off',
      'register later',
      'register name Someone code 1234',
      'xyzzy',
      '',
      '   ',
      ' go depth 1',
      // A manager may send these just after the answer has crossed its own "stop".
      'stop',
      'ponderhit',
    ])
      engine.send(line);
    assert.deepEqual(await engine.sync(), []);
    // Still in the initial position and still answering.
    await assertPrinted(engine, new Chess(), 'ignored lines');
  });
});

describe('position', () => {
  const ruyFen = 'r1bqkbnr/1ppp1ppp/p1n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 0 4';
  // En passant, castling on both wings, under-promotion and a capturing promotion.
  const specialFen = 'r3k2r/1P6/8/3pP3/8/8/6p1/R3K2R w KQkq d6 0 1';
  const specialMoves = sanToUci(specialFen, ['exd6', 'O-O', 'O-O-O', 'g1=N', 'bxa8=Q', 'Rxa8']);

  const cases = [
    { command: 'position startpos', fen: START_FEN, moves: [] },
    { command: 'position startpos moves e2e4 e7e5 g1f3', fen: START_FEN, moves: ['e2e4', 'e7e5', 'g1f3'] },
    { command: `position fen ${ruyFen}`, fen: ruyFen, moves: [] },
    { command: `position fen ${ruyFen} moves`, fen: ruyFen, moves: [] },
    { command: 'position startpos moves ', fen: START_FEN, moves: [] },
    { command: `position fen ${ruyFen} moves e1g1`, fen: ruyFen, moves: ['e1g1'] },
    { command: `position fen ${specialFen} moves ${specialMoves.join(' ')}`, fen: specialFen, moves: specialMoves },
    { command: 'position startpos moves e2e4   e7e5  ', fen: START_FEN, moves: ['e2e4', 'e7e5'] },
    // Moves that are not legal where they stand are skipped and the rest still played.
    { command: 'position startpos moves e2e5 e2e4 zzzz e7e5 e7e5 g1f3', fen: START_FEN, moves: ['e2e4', 'e7e5', 'g1f3'] },
    { command: 'position startpos moves e1g1 a1a1 e2e4', fen: START_FEN, moves: ['e2e4'] },
  ];

  test('each form of the command sets up the position chess.js sets up', async () => {
    const engine = start();
    await handshake(engine);
    for (const { command, fen, moves } of cases) {
      const chess = new Chess(fen);
      for (const m of moves) assert.ok(chess.move(legalMove(chess, m)));
      engine.send(command);
      await assertPrinted(engine, chess, JSON.stringify(command));
    }
  });

  test('after skipped illegal moves the engine still searches the position it holds', async () => {
    const engine = start();
    await handshake(engine);
    engine.send('position startpos moves e2e4 e2e4 c7c5 h1h8 g1f3');
    engine.send('go depth 3');
    const { line } = await engine.expect(isBestmove, SEARCH_MS, 'bestmove');
    const chess = new Chess();
    for (const m of ['e2e4', 'c7c5', 'g1f3']) chess.move(legalMove(chess, m));
    assertLegalBestmove(line, chess.fen());
  });

  test('a 2000-ply game is replayed move for move', async () => {
    const engine = start();
    await handshake(engine);
    for (const seed of [7, 2024]) {
      const { moves, chess } = randomGame(seed, 2000, { captureChance: 0.05 });
      const command = `position startpos moves ${moves.join(' ')}`;
      engine.send(command);
      await assertPrinted(engine, chess, `random game ${seed} (2000 plies)`);
      // Also from a FEN, and then searched: the long history must not upset the search.
      engine.send(`position fen ${START_FEN} moves ${moves.join(' ')}`);
      await assertPrinted(engine, chess, `random game ${seed} from its FEN`);
      engine.send('go wtime 100 btime 100');
      const { line, before } = await engine.expect(isBestmove, SEARCH_MS, 'bestmove');
      assertLegalBestmove(line, chess.fen());
      assertLegalPvs(before, chess.fen());
    }
  });

  test('every prefix of random games sets up the right position', async () => {
    const engine = start();
    await handshake(engine);
    for (const seed of [1, 2, 3]) {
      const { moves } = randomGame(seed, 300, { captureChance: 0.3 });
      const chess = new Chess();
      for (let n = 1; n <= moves.length; ++n) {
        playKnown(chess, moves[n - 1]);
        if (n % 5 !== 0) continue;
        engine.send(`position startpos moves ${moves.slice(0, n).join(' ')}`);
        await assertPrinted(engine, chess, `${n} plies of random game ${seed}`);
      }
    }
  });
});

describe('go with a clock', () => {
  const positions = [
    { name: 'initial position', command: 'position startpos', fen: START_FEN },
    {
      name: 'black to move',
      command: 'position startpos moves e2e4 c7c5 g1f3',
      fen: 'rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2',
    },
    {
      name: 'middlegame',
      command: 'position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R w KQ - 0 9',
      fen: 'r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R w KQ - 0 9',
    },
    // Mates in the tree end lines early: what is printed after them must still be legal.
    { name: 'mate ahead', command: 'position fen 7k/4Q3/8/5K2/8/8/8/8 w - - 0 1', fen: '7k/4Q3/8/5K2/8/8/8/8 w - - 0 1' },
  ];
  // Progress lines come from the fifth iteration on; a timed search cut before it reports
  // its latest line once, just before its move, so every clock yields a score, and so does
  // a node or mate limit (sent as node-uci words them).
  const limits = [
    { go: { wtime: 100, btime: 100 } },
    { go: { wtime: 100, btime: 100, winc: 100, binc: 100 } },
    { go: { movetime: 200 } },
    { go: { nodes: 20000 } },
    { go: { mate: 2 } },
  ];

  test('a short clock, a node or a mate limit yields a scored "info" line and a legal bestmove', async () => {
    const engine = new Engine(enginePath());
    try {
      await withTimeout(engine.init(), PROMPT_MS, '"uciok"');
      for (const position of positions) {
        const { name, command, fen } = position;
        for (const { go: limit } of limits) {
          const what = `${name}, go ${JSON.stringify(limit)}`;
          await withTimeout(engine.ucinewgame(), PROMPT_MS, '"readyok"');
          engine.write(command);
          await withTimeout(engine.isready(), PROMPT_MS, '"readyok"');
          const result = await withTimeout(engine.go(limit), SEARCH_MS, `bestmove (${what})`);
          assert.ok(legalMove(new Chess(fen), result.bestmove), `bestmove ${result.bestmove} illegal: ${what}`);
          assert.ok(result.info.length > 0, `no "info" line before bestmove: ${what}`);
          assert.ok(
              result.info.some((info) => info.score && Number.isFinite(info.score.value)),
              `no "info" line with a score before bestmove: ${what}`,
            );
          for (const info of result.info) {
            if (!info.pv) continue;
            const line = info.pv.trim().split(/\s+/);
            const bad = firstIllegal(fen, line);
            assert.equal(bad, -1, `pv move ${line[bad]} illegal in "${info.pv}": ${what}`);
          }
        }
      }
      await withTimeout(engine.quit(), PROMPT_MS, 'exit after "quit"');
    } finally {
      if (engine.proc) engine.proc.kill('SIGKILL');
    }
  });

  test('a root without legal moves answers "bestmove 0000"', async () => {
    const engine = start();
    await handshake(engine);
    for (const fen of [
      'r1bqkbnr/pppp1Qpp/2n5/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4', // mated
      '7k/5Q2/6K1/8/8/8/8/8 b - - 0 1', // stalemated
    ]) {
      engine.send(`position fen ${fen}`);
      engine.send('go wtime 1000 btime 1000');
      const { line } = await engine.expect(isBestmove, SEARCH_MS, `bestmove in ${fen}`);
      assert.equal(line, 'bestmove 0000', fen);
      assert.deepEqual(await engine.sync(), []);
    }
  });

  test('after its answer the engine searches on from the position it reached', async () => {
    // An interface sends the whole game each time; a new game after ucinewgame too.
    const engine = start();
    await handshake(engine);
    const chess = new Chess();
    for (let ply = 0; ply < 4; ++ply) {
      engine.send('ucinewgame');
      engine.send(`position startpos moves ${chess.history({ verbose: true }).map((m) => m.lan).join(' ')}`);
      engine.send('go wtime 1000 btime 1000 winc 10 binc 10');
      const { line } = await engine.expect(isBestmove, SEARCH_MS, 'bestmove');
      chess.move(legalMove(chess, assertLegalBestmove(line, chess.fen())));
    }
  });
});

describe('stopping and ending a search', () => {
  test('"isready" is answered at once during a search, and "stop" ends it at once', async () => {
    const engine = start();
    await handshake(engine);
    await startInfinite(engine);
    for (let i = 0; i < 3; ++i) {
      engine.send('isready');
      const { before } = await engine.expect('readyok', PROMPT_MS, '"readyok" during the search');
      assert.ok(!before.some(isBestmove), '"isready" ended the search');
    }
    engine.send('stop');
    const { line, before } = await engine.expect(isBestmove, PROMPT_MS, 'bestmove after "stop"');
    assertLegalBestmove(line, START_FEN);
    assertLegalPvs(before, START_FEN);
    assert.deepEqual(await engine.sync(), []);
  });

  test('"go infinite" and "go ponder" hold bestmove until released, even with one legal move', async () => {
    const engine = start();
    await handshake(engine);
    const forced = 'k7/8/8/8/8/8/8/1R5K b - - 0 1'; // only a8a7
    // "ponder" counts as the last word of the line only.
    for (const go of ['go infinite', 'go wtime 1000 btime 1000 ponder']) {
      engine.send(`position fen ${forced}`);
      engine.send(go);
      assert.ok(!(await engine.sync()).some(isBestmove), `bestmove before release after "${go}"`);
      await sleep(500);
      assert.ok(!engine.take().some(isBestmove), `bestmove before release after "${go}"`);
      engine.send(go === 'go infinite' ? 'stop' : 'ponderhit');
      const { line } = await engine.expect(isBestmove, PROMPT_MS, `bestmove after releasing "${go}"`);
      assert.equal(line, 'bestmove a8a7');
    }
  });

  test('"ponderhit" turns a ponder search into a timed one', async () => {
    const engine = start();
    await handshake(engine);
    engine.send('position startpos moves e2e4');
    engine.send('go wtime 1000 btime 1000 winc 0 binc 0 ponder');
    await engine.expect(isInfo, PROMPT_MS, 'first "info"');
    await sleep(300);
    assert.ok(!engine.take().some(isBestmove), 'bestmove while pondering');
    engine.send('ponderhit');
    // Black's 1000 ms clock: the answer must come within it.
    const { line } = await engine.expect(isBestmove, 1000 + PROMPT_MS, 'bestmove after "ponderhit"');
    assertLegalBestmove(line, 'rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1');
  });

  test('lines other than stop, quit, isready and ponderhit wait until the search is over', async () => {
    const engine = start();
    await handshake(engine);
    await startInfinite(engine);
    engine.send('position startpos moves e2e4');
    engine.send('stop');
    const { line } = await engine.expect(isBestmove, PROMPT_MS, 'bestmove after "stop"');
    assertLegalBestmove(line, START_FEN); // the search was of the initial position
    const chess = new Chess();
    chess.move('e4');
    await assertPrinted(engine, chess, 'the queued position command');
  });

  test('"quit" during a search ends the program promptly with status 0', async () => {
    for (const go of ['go infinite', 'go wtime 600000 btime 600000']) {
      const engine = start();
      await handshake(engine);
      engine.send('position startpos');
      engine.send(go);
      await engine.expect(isInfo, PROMPT_MS, 'first "info"');
      engine.send('quit');
      const exit = await engine.waitExit(PROMPT_MS);
      assert.equal(exit.signal, null, `"quit" after "${go}": killed by ${exit.signal}`);
      assert.equal(exit.code, 0, `"quit" after "${go}": exit status`);
      const best = engine.take().filter(isBestmove);
      assert.ok(best.length <= 1, `${best.length} bestmove lines`);
      for (const l of best) assertLegalBestmove(l, START_FEN);
    }
  });

  test('closing the input during a search ends the program with status 0', async () => {
    for (const go of ['go infinite', 'go wtime 600000 btime 600000', 'go ponder wtime 600000 btime 600000']) {
      const engine = start();
      await handshake(engine);
      engine.send('position startpos');
      engine.send(go);
      await engine.expect(isInfo, PROMPT_MS, 'first "info"');
      engine.closeInput();
      const exit = await engine.waitExit(PROMPT_MS);
      assert.equal(exit.signal, null, `input closed after "${go}": killed by ${exit.signal}`);
      assert.equal(exit.code, 0, `input closed after "${go}": exit status`);
    }
  });

  test('closing the input while idle ends the program with status 0', async () => {
    const engine = start();
    await handshake(engine);
    engine.closeInput();
    const exit = await engine.waitExit(PROMPT_MS);
    assert.deepEqual([exit.code, exit.signal], [0, null]);
  });
});

describe('line ends', () => {
  test('carriage return before line feed changes nothing', async () => {
    const engine = start();
    engine.sendRaw('uci\r\n');
    const { before } = await engine.expect('uciok', PROMPT_MS, '"uciok" after "uci\\r\\n"');
    assert.ok(before.every((l) => !l.endsWith('\r')));
    engine.sendRaw('isready\r\n');
    await engine.expect('readyok', PROMPT_MS, '"readyok" after "isready\\r\\n"');
    // The last move of the line must be read without the carriage return.
    engine.sendRaw('position startpos moves e2e4 e7e5\r\n');
    const chess = new Chess();
    chess.move('e4');
    chess.move('e5');
    await assertPrinted(engine, chess, 'a CR LF position command');
    // "infinite" as the last word must still be recognised: no answer until "stop".
    engine.sendRaw('go infinite\r\n');
    await engine.expect(isInfo, PROMPT_MS, 'first "info"');
    await sleep(300);
    assert.ok(!engine.take().some(isBestmove), '"go infinite\\r\\n" answered without "stop"');
    engine.sendRaw('stop\r\n');
    const { line } = await engine.expect(isBestmove, PROMPT_MS, 'bestmove after "stop\\r\\n"');
    assertLegalBestmove(line, chess.fen());
    engine.sendRaw('quit\r\n');
    assert.deepEqual(await engine.waitExit(PROMPT_MS).then((e) => [e.code, e.signal]), [0, null]);
  });
});
