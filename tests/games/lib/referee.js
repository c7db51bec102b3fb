'use strict';
// Plays refereed games between two engine processes, driven through node-uci the way a
// match manager drives them: "position" with the whole game and "go" with both clocks for
// every move. chess.js judges every move and every line the engines print, keeps the
// clocks and ends the game by the rules.

const fs = require('node:fs');
const { Engine } = require('node-uci');
const { Chess, legalMove, firstIllegal, gameOver } = require('./chess_tools');
const { moveBudgetMs } = require('./time_control');

const READY_TIMEOUT_MS = 2000;
const START_TIMEOUT_MS = 5000;
const QUIT_TIMEOUT_MS = 2000;
// A fixed-node move has no clock: this only tells a slow machine from a hung engine.
const FIXED_NODES_TIMEOUT_MS = 30000;

class Stall extends Error {}

function withTimeout(promise, ms, what) {
  let timer;
  const limit = new Promise((_, reject) => {
    timer = setTimeout(() => reject(new Stall(`no ${what} within ${Math.round(ms)} ms`)), ms);
  });
  // The losing promise may still reject later (node-uci rejects its reads when the process
  // closes); that is expected once we have given up on it.
  promise.catch(() => {});
  return Promise.race([promise, limit]).finally(() => clearTimeout(timer));
}

// Milliseconds a process has spent on a processor and waiting in the run queue (ready but
// not scheduled), from the Linux scheduler's statistics; null where there are none.
function schedulerTimes(pid = 'self') {
  try {
    const [onCpu, waiting] = fs.readFileSync(`/proc/${pid}/schedstat`, 'utf8').split(' ').map(Number);
    return { cpuMs: onCpu / 1e6, waitMs: waiting / 1e6 };
  } catch {
    return null;
  }
}

// One engine process under node-uci, with what node-uci does not keep: how it ended.
class Player {
  constructor(file, label) {
    this.file = file;
    this.label = label;
    this.engine = new Engine(file);
    this.exit = null;
    this.stderr = '';
    this.pid = null;
    // When output holding "bestmove" arrived, stamped as it is read: node-uci hands the
    // answer over only after parsing every line of the search, which is not the engine's time.
    this.answeredAt = null;
    this.carry = '';
  }

  async start() {
    const init = this.engine.init();
    const proc = this.engine.proc;
    proc.stdin.on('error', () => {});
    proc.stderr.setEncoding('utf8');
    proc.stderr.on('data', (chunk) => {
      this.stderr = (this.stderr + chunk).slice(-2000);
    });
    proc.on('close', (code, signal) => {
      this.exit = { code, signal };
    });
    this.pid = proc.pid;
    proc.stdout.on('data', (chunk) => {
      const seen = this.carry + chunk;
      this.carry = seen.slice(-8);
      if (this.answeredAt === null && seen.includes('bestmove')) this.answeredAt = performance.now();
    });
    await withTimeout(init, START_TIMEOUT_MS, '"uciok"');
    await withTimeout(this.engine.ucinewgame(), READY_TIMEOUT_MS, '"readyok"');
  }

  describeExit() {
    if (!this.exit) return 'still running';
    const how = this.exit.signal ? `signal ${this.exit.signal}` : `status ${this.exit.code}`;
    return this.stderr ? `${how}, stderr ${JSON.stringify(this.stderr.slice(-300))}` : how;
  }

  async stop() {
    const proc = this.engine.proc;
    if (!proc || this.exit) return;
    try {
      await withTimeout(this.engine.quit(), QUIT_TIMEOUT_MS, 'exit after "quit"');
    } catch {
      proc.kill('SIGKILL');
    }
  }
}

// Options: white and black engine files, { baseMs, incMs }, the opening (see openings.js),
// a ply cap, an id for messages, and `graceMs`: how long past its clock an engine may
// still answer (a late answer is a forfeit, none at all a stall). With `playOn` a flag fall
// is recorded, the clock refilled and the game goes on, so that long games can be had
// from an engine that loses on time. `onTiming` gets every answer's time against the
// engine's budget and where it went (see describeTiming), a forfeited one too. With `nodes`
// (and no `tc`) every move is asked for with "go nodes N" alone, as in a fixed-node match:
// no clock is kept and no time judged, so that a game replays move for move.
async function playGame({
  whiteFile,
  blackFile,
  tc,
  opening,
  maxPlies = 300,
  id = 'game',
  graceMs = 1000,
  playOn = false,
  nodes = 0,
  onMove,
  onTiming,
}) {
  const players = { w: new Player(whiteFile, 'white'), b: new Player(blackFile, 'black') };
  const chess = new Chess(opening.fen);
  for (const uci of opening.moves) chess.move(legalMove(chess, uci));
  const moves = [...opening.moves];
  const timed = !nodes;
  const clock = timed ? { w: tc.baseMs, b: tc.baseMs } : { w: Infinity, b: Infinity };
  const game = {
    id,
    opening: opening.name,
    result: null,
    reason: null,
    plies: 0,
    faults: [],
    pvLines: 0,
    worstOverrunMs: -Infinity, // largest (thinking time - clock left); above 0 is a flag fall
  };

  const fault = (kind, side, detail, fen = chess.fen()) => {
    const moveNumber = Number(fen.split(' ')[5]);
    game.faults.push({ kind, game: id, side, moveNumber, fen, detail });
  };
  const end = (result, reason) => {
    game.result = result;
    game.reason = reason;
  };
  // Anything that went wrong while waiting on an engine: it died, or it fell silent.
  const failure = (side, error, waitingFor) => {
    const player = players[side];
    if (player.exit) fault('crash', side, `engine ended (${player.describeExit()}) while waiting for ${waitingFor}`);
    else if (error instanceof Stall) fault('stall', side, error.message);
    else fault('crash', side, `${waitingFor}: ${error && error.message ? error.message : String(error)}`);
  };

  try {
    for (const side of ['w', 'b']) {
      try {
        await players[side].start();
      } catch (error) {
        failure(side, error, 'start-up');
        end(null, 'engine failed to start');
        return game;
      }
    }

    for (;;) {
      const over = gameOver(chess);
      if (over) {
        end(over.result, over.reason);
        break;
      }
      if (game.plies >= maxPlies) {
        end('1/2-1/2', 'move cap');
        break;
      }
      const side = chess.turn();
      const other = side === 'w' ? 'b' : 'w';
      const { engine } = players[side];
      const fen = chess.fen();

      try {
        await withTimeout(engine.position(opening.position, moves), READY_TIMEOUT_MS, '"readyok" after "position"');
      } catch (error) {
        failure(side, error, '"readyok"');
        end(null, 'aborted');
        break;
      }

      const player = players[side];
      const before = schedulerTimes(player.pid);
      const refereeBefore = schedulerTimes();
      player.answeredAt = null;
      player.carry = '';
      const started = performance.now();
      let answer;
      try {
        answer = timed
          ? await withTimeout(
              // Whole milliseconds, rounded down as interfaces do; judged on the exact clock.
              engine.go({ wtime: Math.floor(clock.w), btime: Math.floor(clock.b), winc: tc.incMs, binc: tc.incMs }),
              clock[side] + graceMs,
              `"bestmove" (clock ${Math.round(clock[side])} ms + ${graceMs} ms grace)`,
            )
          : await withTimeout(engine.go({ nodes }), FIXED_NODES_TIMEOUT_MS, `"bestmove" (go nodes ${nodes})`);
      } catch (error) {
        failure(side, error, '"bestmove"');
        end(null, 'aborted');
        break;
      }
      const used = (player.answeredAt ?? performance.now()) - started;
      const after = schedulerTimes(player.pid);
      const refereeAfter = schedulerTimes();
      if (timed) game.worstOverrunMs = Math.max(game.worstOverrunMs, used - clock[side]);
      // Where the move's time went: the engine on a processor, the engine ready but not
      // scheduled, and the rest (the lines' way through the pipes and the referee's own delay).
      const timing = timed && {
        ply: moves.length,
        side,
        fen,
        clockMs: clock[side],
        budgetMs: moveBudgetMs(Math.floor(clock[side]), tc.incMs),
        usedMs: used,
        cpuMs: before && after ? after.cpuMs - before.cpuMs : null,
        waitMs: before && after ? after.waitMs - before.waitMs : null,
        refereeCpuMs: refereeBefore && refereeAfter ? refereeAfter.cpuMs - refereeBefore.cpuMs : null,
        refereeWaitMs: refereeBefore && refereeAfter ? refereeAfter.waitMs - refereeBefore.waitMs : null,
        depth: Math.max(0, ...answer.info.map((i) => i.depth ?? 0)),
        forfeit: used > clock[side],
      };
      if (onTiming && timed) onTiming({ game, timing });

      for (const info of answer.info) {
        if (!info.pv) continue;
        game.pvLines += 1;
        const line = info.pv.trim().split(/\s+/);
        const bad = firstIllegal(fen, line);
        if (bad >= 0) {
          fault('illegal pv', side, `move ${bad + 1} (${line[bad]}) of pv "${info.pv}" at depth ${info.depth}`, fen);
        }
      }

      const move = legalMove(chess, answer.bestmove);
      if (!move) {
        fault('illegal move', side, `bestmove ${answer.bestmove}`);
        end(side === 'w' ? '0-1' : '1-0', `illegal move by ${players[side].label}`);
        break;
      }
      if (used > clock[side]) {
        fault('forfeit', side, `${used.toFixed(1)} ms used with ${clock[side].toFixed(1)} ms on the clock`);
        if (!playOn) {
          end(side === 'w' ? '0-1' : '1-0', `${players[side].label} lost on time`);
          break;
        }
        clock[side] = tc.baseMs + used; // refilled: what it used is taken off below
      }
      if (timed) clock[side] = clock[side] - used + tc.incMs;
      chess.move(move);
      moves.push(move.lan);
      game.plies += 1;
      if (onMove) onMove({ game, side, move: move.lan, usedMs: used, clock: { ...clock }, other });
    }
  } finally {
    await Promise.all([players.w.stop(), players.b.stop()]);
  }
  game.finalFen = chess.fen();
  return game;
}

function describeFault(f) {
  return `${f.kind}: game ${f.game}, move ${f.moveNumber} (${f.side === 'w' ? 'white' : 'black'}), FEN ${f.fen}: ${f.detail}`;
}

// One line on a move's time against its budget and where the time went.
function describeTiming(t) {
  const ms = (v) => (v === null ? '?' : v.toFixed(1));
  const rest = t.cpuMs === null ? null : t.usedMs - t.cpuMs - t.waitMs;
  return (
    `${ms(t.usedMs)} ms on a budget of ${ms(t.budgetMs)} ms (clock ${ms(t.clockMs)} ms, depth ${t.depth}): ` +
    `engine on a processor ${ms(t.cpuMs)} ms, ready but not scheduled ${ms(t.waitMs)} ms, ` +
    `elsewhere ${ms(rest)} ms (referee on a processor ${ms(t.refereeCpuMs)} ms, not scheduled ${ms(t.refereeWaitMs)} ms); ply ${t.ply}, FEN ${t.fen}`
  );
}

module.exports = { playGame, describeFault, describeTiming };
