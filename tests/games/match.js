#!/usr/bin/env node
'use strict';
// A long refereed match from the command line, for soak runs outside the test suite:
//
//   node tests/games/match.js --games 200 --tc 2000+50
//
// Games cycle through the openings, each played twice with colours swapped. One line per
// game and one per fault go to standard error; the closing summary goes to standard output.
// Wins, draws and losses count for the first engine (--engine), the opponent defaulting to
// the same binary. The exit status is 1 when any fault was seen.

const { parseArgs } = require('node:util');
const { enginePath } = require('./lib/engine_process');
const { OPENINGS } = require('./lib/openings');
const { playGame, describeFault } = require('./lib/referee');
const { parseTimeControl } = require('./lib/time_control');

const usage = `usage: node match.js [--games N] [--tc BASE+INC] [--cap PLIES] [--concurrency N]
                     [--engine FILE] [--opponent FILE] [--grace MS] [--play-on] [--quiet]
  --games        games to play (default 50)
  --tc           clock in ms and increment per move in ms (default 2000+50)
  --cap          plies after which a game is called a draw (default 300)
  --concurrency  games played at once, two engine processes each (default 1)
  --engine       engine under test (default: TERVANE_ENGINE or the build's binary)
  --opponent     the other engine (default: the same as --engine)
  --grace        ms past its clock an engine may answer before it counts as stalled (default 1000)
  --play-on      after a flag fall refill the clock and play on (every fall still counts)
  --quiet        only the summary line and the faults`;

function options() {
  const { values } = parseArgs({
    options: {
      games: { type: 'string', default: '50' },
      tc: { type: 'string', default: '2000+50' },
      cap: { type: 'string', default: '300' },
      concurrency: { type: 'string', default: '1' },
      engine: { type: 'string' },
      opponent: { type: 'string' },
      grace: { type: 'string', default: '1000' },
      'play-on': { type: 'boolean', default: false },
      quiet: { type: 'boolean', default: false },
      help: { type: 'boolean', default: false },
    },
  });
  if (values.help) {
    console.log(usage);
    process.exit(0);
  }
  const engine = values.engine ?? enginePath();
  return {
    games: Number(values.games),
    tc: parseTimeControl(values.tc),
    cap: Number(values.cap),
    concurrency: Math.max(1, Number(values.concurrency)),
    engine,
    opponent: values.opponent ?? engine,
    graceMs: Number(values.grace),
    playOn: values['play-on'],
    quiet: values.quiet,
  };
}

async function main() {
  const opt = options();
  const totals = {
    games: 0,
    wins: 0,
    draws: 0,
    losses: 0,
    unfinished: 0,
    faults: { 'illegal move': 0, 'illegal pv': 0, forfeit: 0, crash: 0, stall: 0 },
    pvLines: 0,
    worstOverrunMs: -Infinity,
  };
  const started = Date.now();

  const playOne = async (index) => {
    const opening = OPENINGS[Math.floor(index / 2) % OPENINGS.length];
    const engineIsWhite = index % 2 === 0;
    const game = await playGame({
      whiteFile: engineIsWhite ? opt.engine : opt.opponent,
      blackFile: engineIsWhite ? opt.opponent : opt.engine,
      tc: opt.tc,
      opening,
      maxPlies: opt.cap,
      id: String(index + 1),
      graceMs: opt.graceMs,
      playOn: opt.playOn,
    });
    totals.games += 1;
    totals.pvLines += game.pvLines;
    totals.worstOverrunMs = Math.max(totals.worstOverrunMs, game.worstOverrunMs);
    const mine = engineIsWhite ? '1-0' : '0-1';
    if (game.result === null) totals.unfinished += 1;
    else if (game.result === '1/2-1/2') totals.draws += 1;
    else if (game.result === mine) totals.wins += 1;
    else totals.losses += 1;
    for (const f of game.faults) {
      totals.faults[f.kind] += 1;
      console.error(describeFault(f));
    }
    if (!opt.quiet) {
      console.error(
        `game ${game.id} (${opening.name}, engine ${engineIsWhite ? 'white' : 'black'}): ` +
          `${game.result ?? 'no result'} by ${game.reason}, ${game.plies} plies, ` +
          `worst overrun ${Math.round(game.worstOverrunMs)} ms`,
      );
    }
  };

  let next = 0;
  const worker = async () => {
    while (next < opt.games) await playOne(next++);
  };
  await Promise.all(Array.from({ length: Math.min(opt.concurrency, opt.games) }, worker));

  const f = totals.faults;
  const overrun = Number.isFinite(totals.worstOverrunMs) ? Math.round(totals.worstOverrunMs) : 0;
  console.log(
    `games ${totals.games} at ${opt.tc.text}: wins ${totals.wins}, draws ${totals.draws}, ` +
      `losses ${totals.losses}${totals.unfinished ? `, unfinished ${totals.unfinished}` : ''}; ` +
      `illegal moves ${f['illegal move']}, illegal pv moves ${f['illegal pv']} (of ${totals.pvLines} pv lines), ` +
      `forfeits ${f.forfeit}${opt.playOn ? ' (played on)' : ''}, crashes ${f.crash}, stalls ${f.stall}; ` +
      `worst time overrun ${overrun} ms (negative: never past the clock); ` +
      `${Math.round((Date.now() - started) / 1000)} s`,
  );
  process.exitCode = Object.values(f).some((n) => n > 0) ? 1 : 0;
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 2;
});
