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
//
// Every move's time is judged against the budget the engine derives from the clock, and
// the moves furthest past it are shown with where their time went (see describeTiming);
// --timing writes one line per move. The machine's load is sampled through the run, as
// other work on it delays the engines.

const fs = require('node:fs');
const os = require('node:os');
const { parseArgs } = require('node:util');
const { enginePath } = require('./lib/engine_process');
const { OPENINGS } = require('./lib/openings');
const { playGame, describeFault, describeTiming } = require('./lib/referee');
const { parseTimeControl } = require('./lib/time_control');

const usage = `usage: node match.js [--games N] [--tc BASE+INC] [--cap PLIES] [--concurrency N]
                     [--engine FILE] [--opponent FILE] [--grace MS] [--play-on] [--quiet]
                     [--timing FILE] [--show N]
  --games        games to play (default 50)
  --tc           clock in ms and increment per move in ms (default 2000+50)
  --cap          plies after which a game is called a draw (default 300)
  --concurrency  games played at once, two engine processes each (default 1)
  --engine       engine under test (default: TERVANE_ENGINE or the build's binary)
  --opponent     the other engine (default: the same as --engine)
  --grace        ms past its clock an engine may answer before it counts as stalled (default 1000)
  --play-on      after a flag fall refill the clock and play on (every fall still counts)
  --quiet        only the summary line and the faults
  --timing       write each move's time, budget, processor and run-queue time to FILE (tab-separated)
  --show         moves furthest past their budget to show after the summary (default 5)`;

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
      timing: { type: 'string' },
      show: { type: 'string', default: '5' },
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
    timingFile: values.timing,
    show: Math.max(0, Number(values.show)),
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
    moves: 0,
    overBudget: 0, // moves past their budget by more than OVER_BUDGET_MS
    slowest: [], // the moves furthest past their budget, furthest first
  };
  const started = Date.now();
  const OVER_BUDGET_MS = 10;
  const timingOut = opt.timingFile ? fs.openSync(opt.timingFile, 'w') : null;
  if (timingOut !== null) {
    fs.writeSync(
      timingOut,
      'game\tply\tside\tclock_ms\tbudget_ms\tused_ms\tcpu_ms\trunqueue_ms\treferee_cpu_ms\treferee_runqueue_ms\tdepth\tforfeit\n',
    );
  }
  const onTiming = ({ game, timing: t }) => {
    totals.moves += 1;
    const past = t.usedMs - t.budgetMs;
    if (past > OVER_BUDGET_MS) totals.overBudget += 1;
    const slowest = totals.slowest;
    if (opt.show > 0 && (slowest.length < opt.show || past > slowest.at(-1).usedMs - slowest.at(-1).budgetMs)) {
      slowest.push({ ...t, game: game.id });
      slowest.sort((a, b) => b.usedMs - b.budgetMs - (a.usedMs - a.budgetMs));
      slowest.length = Math.min(slowest.length, opt.show);
    }
    if (timingOut === null) return;
    const ms = (v) => (v === null ? '' : v.toFixed(2));
    const row = [
      game.id,
      t.ply,
      t.side,
      ms(t.clockMs),
      ms(t.budgetMs),
      ms(t.usedMs),
      ms(t.cpuMs),
      ms(t.waitMs),
      ms(t.refereeCpuMs),
      ms(t.refereeWaitMs),
      t.depth,
      t.forfeit ? 1 : 0,
    ];
    fs.writeSync(timingOut, `${row.join('\t')}\n`);
  };
  // The one-minute load average, sampled every ten seconds.
  const loads = [];
  const sampleLoad = () => {
    try {
      loads.push(Number(fs.readFileSync('/proc/loadavg', 'utf8').split(' ')[0]));
    } catch {
      // no load figures on this system
    }
  };
  sampleLoad();
  const loadTimer = setInterval(sampleLoad, 10000);

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
      onTiming,
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
  clearInterval(loadTimer);
  sampleLoad();
  if (timingOut !== null) fs.closeSync(timingOut);

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
  const load = loads.length
    ? `; load average (1 min) mean ${(loads.reduce((a, b) => a + b, 0) / loads.length).toFixed(2)}, ` +
      `max ${Math.max(...loads).toFixed(2)} on ${os.availableParallelism()} processors`
    : '';
  console.log(
    `moves ${totals.moves} with ${opt.concurrency} game(s) at once: ${totals.overBudget} more than ` +
      `${OVER_BUDGET_MS} ms past their budget${load}`,
  );
  for (const t of totals.slowest) console.log(`  game ${t.game}: ${describeTiming(t)}`);
  process.exitCode = Object.values(f).some((n) => n > 0) ? 1 : 0;
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 2;
});
