// The board page: a game against the engine, or free analysis.
//
// The board is cm-chessboard: MIT licensed, so it sets no terms on this page (chessground,
// the other common choice, is GPL-3.0 and would put the page under its licence); plain ES
// modules with no dependencies, drawn as SVG (the parts used here are 130 kB unminified,
// with their styles and pieces); and one input code path for mouse and touch, taking a move
// by drag or by two taps.
// chess.js keeps the game: legal moves, notation and the end of the game.
import { Chessboard, COLOR, FEN, INPUT_EVENT_TYPE } from './vendor/cm-chessboard/src/Chessboard.js';
import { Markers, MARKER_TYPE } from './vendor/cm-chessboard/src/extensions/markers/Markers.js';
import {
  PromotionDialog,
  PROMOTION_DIALOG_RESULT_TYPE,
} from './vendor/cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js';
import { Chess } from './vendor/chess.js/chess.js';
import { startEngine } from './engine-client.js';
import { parseInfo, formatScore, formatRate, lineToSan, coordinateMove } from './engine-lines.js';

const MAX_SHOWN_LINES = 60;
const CLOCK_TICK_MS = 100;

const $ = (id) => document.getElementById(id);

const game = new Chess();
const settings = { mode: 'play', colour: 'w', timeControl: parseTimeControl($('time-control').value) };
// Remaining milliseconds per side; `since` is when the running side's clock last started.
const clock = { w: 0, b: 0, running: null, since: 0, flagged: null };
// The engine runs one search at a time and answers lines in order. A search that is no
// longer wanted is stopped and its move ignored; a wanted one waits for it to end.
const search = { current: null, queued: null };
let analysing = false;
let engine = null;

const board = new Chessboard($('board'), {
  position: FEN.start,
  assetsUrl: './vendor/cm-chessboard/assets/',
  style: { cssClass: 'default', borderType: 'none', animationDuration: 200 },
  extensions: [{ class: Markers, props: { autoMarkers: MARKER_TYPE.square } }, { class: PromotionDialog }],
});

function parseTimeControl(value) {
  const [kind, first, second] = value.split(':');
  if (kind === 'clock') return { kind, base: Number(first), increment: Number(second) };
  return { kind, movetime: Number(first) };
}

function gameResult() {
  if (clock.flagged) return `${clock.flagged === 'w' ? 'White' : 'Black'} lost on time`;
  if (game.isCheckmate()) return `Checkmate: ${game.turn() === 'w' ? 'Black' : 'White'} wins`;
  if (game.isStalemate()) return 'Draw by stalemate';
  if (game.isInsufficientMaterial()) return 'Draw: insufficient material';
  if (game.isThreefoldRepetition()) return 'Draw by threefold repetition';
  if (game.isDrawByFiftyMoves()) return 'Draw by the fifty-move rule';
  return null;
}

const gameOver = () => gameResult() !== null;
const playing = () => settings.mode === 'play';
const engineToMove = () => playing() && !gameOver() && game.turn() !== settings.colour;
const clocksUsed = () => playing() && settings.timeControl.kind === 'clock';

// ---- the engine ----

function positionLine() {
  const moves = game.history({ verbose: true }).map((move) => move.lan);
  return moves.length ? `position startpos moves ${moves.join(' ')}` : 'position startpos';
}

function startSearch(request) {
  if (search.current) {
    cancelSearch();
    search.queued = request;
    return;
  }
  search.current = request;
  clearEngineView();
  request.fen = game.fen();
  engine.send(positionLine());
  engine.send(request.go());
  refreshControls();
}

function cancelSearch() {
  search.queued = null;
  const current = search.current;
  if (current && !current.unwanted) {
    current.unwanted = true;
    engine.send('stop');
  }
}

function onEngineLine(line) {
  if (line.startsWith('info ')) {
    if (search.current && !search.current.unwanted) showInfo(line, search.current.fen);
    return;
  }
  if (!line.startsWith('bestmove')) return;
  const done = search.current;
  search.current = null;
  const next = search.queued;
  search.queued = null;
  if (done && !done.unwanted) {
    showLine(line);
    done.answer(line.split(/\s+/)[1], done);
  }
  if (next) startSearch(next);
  refreshControls();
}

function askForMove() {
  startSearch({
    go: () => {
      const tc = settings.timeControl;
      if (tc.kind !== 'clock') return `go movetime ${tc.movetime}`;
      const left = (side) => Math.max(1, Math.round(clock[side] - runningFor(side)));
      return `go wtime ${left('w')} btime ${left('b')} winc ${tc.increment} binc ${tc.increment}`;
    },
    answer: (text) => {
      const move = playCoordinateMove(text);
      if (!move) {
        setStatus(`The engine answered ${text}, which is not legal here`);
        return;
      }
      positionChanged(move);
    },
  });
}

function startAnalysis() {
  analysing = true;
  startSearch({
    go: () => 'go infinite',
    // Only the player's "stop" ends an analysis and is answered here.
    answer: (text, request) => setStatus(`Best move: ${lineToSan(request.fen, [text])}`),
  });
}

function playCoordinateMove(text) {
  try {
    return game.move(coordinateMove(text));
  } catch {
    return null;
  }
}

// ---- the clocks ----

function runningFor(side) {
  return clock.running === side ? performance.now() - clock.since : 0;
}

function resetClocks() {
  const tc = settings.timeControl;
  clock.w = clock.b = tc.kind === 'clock' ? tc.base : 0;
  clock.flagged = null;
  clock.running = null;
  startClock();
}

function startClock() {
  clock.running = clocksUsed() && !gameOver() ? game.turn() : null;
  clock.since = performance.now();
  showClocks();
}

// The side that just moved pays for its thinking time and gains the increment.
function pressClock(side) {
  if (!clocksUsed() || clock.running !== side) return startClock();
  clock[side] -= runningFor(side);
  if (clock[side] <= 0) {
    clock[side] = 0;
    clock.flagged = side;
  } else {
    clock[side] += settings.timeControl.increment;
  }
  startClock();
}

function checkFlag() {
  const side = clock.running;
  if (!side || clock[side] - runningFor(side) > 0) return showClocks();
  clock[side] = 0;
  clock.flagged = side;
  clock.running = null;
  cancelSearch();
  showClocks();
  refresh();
}

function formatClock(ms) {
  const tenths = Math.max(0, Math.ceil(ms / 100));
  const minutes = Math.floor(tenths / 600);
  const seconds = Math.floor((tenths % 600) / 10);
  const text = `${minutes}:${String(seconds).padStart(2, '0')}`;
  return ms < 20000 ? `${text}.${tenths % 10}` : text;
}

function showClocks() {
  const used = clocksUsed();
  const bottom = board.getOrientation() === COLOR.white ? 'w' : 'b';
  for (const [id, side] of [['clock-bottom', bottom], ['clock-top', bottom === 'w' ? 'b' : 'w']]) {
    const element = $(id);
    element.hidden = !used;
    element.textContent = `${side === 'w' ? 'White' : 'Black'} ${formatClock(clock[side] - runningFor(side))}`;
    element.classList.toggle('running', clock.running === side);
    element.classList.toggle('flagged', clock.flagged === side);
  }
}

// ---- the board ----

function canMoveNow() {
  if (!engine || gameOver()) return false;
  return !playing() || game.turn() === settings.colour;
}

function onMoveInput(event) {
  switch (event.type) {
    case INPUT_EVENT_TYPE.moveInputStarted: {
      const moves = canMoveNow() ? game.moves({ square: event.squareFrom, verbose: true }) : [];
      board.addLegalMovesMarkers(moves);
      return moves.length > 0;
    }
    case INPUT_EVENT_TYPE.validateMoveInput: {
      board.removeLegalMovesMarkers();
      const move = game
        .moves({ square: event.squareFrom, verbose: true })
        .find((candidate) => candidate.to === event.squareTo);
      if (!move) return false;
      if (!move.promotion) {
        playerMove(move);
        return true;
      }
      board.showPromotionDialog(event.squareTo, move.color, (result) => {
        if (result.type === PROMOTION_DIALOG_RESULT_TYPE.pieceSelected) {
          playerMove({ ...move, promotion: result.piece.charAt(1) });
        } else {
          board.setPosition(game.fen(), true);
        }
      });
      return true;
    }
    case INPUT_EVENT_TYPE.moveInputCanceled:
      board.removeLegalMovesMarkers();
      return true;
    default:
      return true;
  }
}

function playerMove({ from, to, promotion }) {
  const move = game.move({ from, to, promotion });
  // Castling, en passant and promotion change more than the dragged piece: redraw once the
  // board has finished its own move.
  board.state.moveInputProcess.then(() => positionChanged(move));
}

function showPosition() {
  board.setPosition(game.fen(), true);
  board.removeMarkers(MARKER_TYPE.frame);
  board.removeMarkers(MARKER_TYPE.circleDanger);
  const last = game.history({ verbose: true }).at(-1);
  if (last) {
    board.addMarker(MARKER_TYPE.frame, last.from);
    board.addMarker(MARKER_TYPE.frame, last.to);
  }
  if (game.inCheck()) {
    const king = game.findPiece({ type: 'k', color: game.turn() })[0];
    board.addMarker(MARKER_TYPE.circleDanger, king);
  }
}

// After any change of the game: show it, and set the engine and the clocks to work on it.
function positionChanged(move) {
  if (move) pressClock(move.color);
  else startClock();
  cancelSearch();
  refresh();
  if (gameOver()) return;
  if (!playing()) {
    if (analysing) startAnalysis();
    return;
  }
  if (engineToMove()) askForMove();
}

// ---- the panel ----

function setStatus(text) {
  $('status').textContent = text;
}

function refresh() {
  showPosition();
  showMoves();
  showClocks();
  refreshControls();
  showStatus();
}

function showStatus() {
  const result = gameResult();
  if (result) setStatus(result);
  else if (!playing()) setStatus(analysing ? 'Analysing…' : `${game.turn() === 'w' ? 'White' : 'Black'} to move`);
  else setStatus(engineToMove() ? 'Tervane is thinking…' : 'Your move');
}

function refreshControls() {
  document.body.dataset.mode = settings.mode;
  $('take-back').disabled = game.history().length === 0;
  $('go-infinite').disabled = analysing || gameOver();
  $('stop').disabled = !analysing;
}

function showMoves() {
  const list = $('moves');
  list.replaceChildren();
  const sans = game.history();
  for (let i = 0; i < sans.length; i += 2) {
    const item = document.createElement('li');
    item.textContent = sans.slice(i, i + 2).join(' ');
    list.append(item);
  }
  list.scrollTop = list.scrollHeight;
}

function showLine(line) {
  const list = $('info-lines');
  const item = document.createElement('li');
  item.textContent = line;
  list.append(item);
  while (list.childElementCount > MAX_SHOWN_LINES) list.firstElementChild.remove();
  list.scrollTop = list.scrollHeight;
}

function showInfo(line, fen) {
  const info = parseInfo(line);
  if (!info) return;
  showLine(line);
  if (info.nps) $('speed').textContent = formatRate(info.nps);
  if (info.depth === undefined) return;
  const turn = fen.split(' ')[1];
  $('depth').textContent = `depth ${info.depth}`;
  $('score').textContent = formatScore(info.score, turn);
  $('pv').textContent = lineToSan(fen, info.pv);
}

function clearEngineView() {
  for (const id of ['depth', 'score']) $(id).textContent = '–';
  $('speed').textContent = '';
  $('pv').textContent = '';
}

// ---- the controls ----

function newGame() {
  analysing = false;
  cancelSearch();
  game.reset();
  clearEngineView();
  engine.send('ucinewgame');
  resetClocks();
  positionChanged(null);
}

// Takes back the last move of the player (and the engine's answer to it); in analysis,
// one move.
function takeBack() {
  cancelSearch();
  game.undo();
  if (playing()) {
    while (game.history().length > 0 && game.turn() !== settings.colour) game.undo();
  }
  positionChanged(null);
}

function setMode(mode) {
  settings.mode = mode;
  analysing = false;
  cancelSearch();
  clock.flagged = null;
  positionChanged(null);
}

function setColour(colour) {
  settings.colour = colour;
  board.setOrientation(colour === 'w' ? COLOR.white : COLOR.black);
  positionChanged(null);
}

function setTimeControl(value) {
  settings.timeControl = parseTimeControl(value);
  resetClocks();
  refresh();
}

function goInfinite() {
  startAnalysis();
  showStatus();
}

function stopAnalysis() {
  analysing = false;
  search.queued = null;
  // The answer to this stop is the analysis' best move, shown by its request.
  if (search.current && !search.current.unwanted) engine.send('stop');
  refreshControls();
}

// The engine's first answers show that its worker runs and that it speaks the protocol.
function handshake() {
  return new Promise((resolve) => {
    engine.onLine = (line) => {
      if (line === 'uciok') engine.send('isready');
      if (line === 'readyok') resolve();
    };
    engine.send('uci');
  });
}

async function main() {
  // Keeps the page's files for use without a network (localhost or HTTPS only).
  navigator.serviceWorker?.register('./service-worker.js').catch(() => {});
  board.enableMoveInput(onMoveInput);
  refreshControls();
  try {
    engine = startEngine('./engine/');
    await engine.ready;
    await handshake();
  } catch (error) {
    setStatus(`The engine could not start: ${error.message ?? error}`);
    return;
  }
  engine.onLine = onEngineLine;
  $('mode').addEventListener('change', (event) => setMode(event.target.value));
  $('colour').addEventListener('change', (event) => setColour(event.target.value));
  $('time-control').addEventListener('change', (event) => setTimeControl(event.target.value));
  $('new-game').addEventListener('click', newGame);
  $('take-back').addEventListener('click', takeBack);
  $('go-infinite').addEventListener('click', goInfinite);
  $('stop').addEventListener('click', stopAnalysis);
  setInterval(checkFlag, CLOCK_TICK_MS);
  $('setup').disabled = false;
  newGame();
}

main();
