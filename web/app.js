// The board page: a game against the engine, or free analysis.
//
// The board is cm-chessboard: MIT licensed, so it sets no terms on this page (chessground,
// the other common choice, is GPL-3.0 and would put the page under its licence); plain ES
// modules with no dependencies, drawn as SVG; and one input code path for mouse and touch,
// taking a move by drag or by two taps.
// chess.js keeps the game: legal moves, notation, the end of the game, and FEN and PGN in
// and out, with the record's tags.
import { Chessboard, COLOR, INPUT_EVENT_TYPE } from './vendor/cm-chessboard/src/Chessboard.js';
import { Markers, MARKER_TYPE } from './vendor/cm-chessboard/src/extensions/markers/Markers.js';
import {
  PromotionDialog,
  PROMOTION_DIALOG_RESULT_TYPE,
} from './vendor/cm-chessboard/src/extensions/promotion-dialog/PromotionDialog.js';
import { Chess, DEFAULT_POSITION, validateFen } from './vendor/chess.js/chess.js';
import { engine } from './engine-start.js';
import { holdPressesWhileBusy } from './board-input.js';
import { parseInfo, whiteScore, formatScore, whiteShare, formatRate, lineToSan, coordinateMove } from './engine-lines.js';
import {
  LEVELS,
  TIME_CONTROLS,
  DEFAULT_LEVEL,
  DEFAULT_TIME_CONTROL,
  levelOf,
  timeControlOf,
  usesClock,
  levelLabel,
  engineName,
  timeControlTag,
  searchPlan,
} from './levels.js';
import { randomBookMove, openingName, bookBuilt, buildBook } from './openings.js';
import { readStored, writeStored } from './storage.js';
import { playSound } from './sound.js';

const CLOCK_TICK_MS = 100;
const MAX_ENGINE_LINES = 30;
// A book move comes after this pause, as if thought about, and after the player's move has
// been drawn.
const BOOK_PAUSE_MS = 400;
const PLAYER_NAME = 'Player';
const SITE = 'Tervane board page';

const $ = (id) => document.getElementById(id);
const other = (side) => (side === 'w' ? 'b' : 'w');
const sideName = (side) => (side === 'w' ? 'White' : 'Black');

// ---- the state, all of it kept across a reload ----

// The game: its moves (the line on the board) and its record's tags are chess.js's, which
// always stands at the end of the line. `ending` is what the rules do not show: a
// resignation, a loss on time, the result of an imported game.
let game = new Chess();
let ending = null;
// The ply on the board: 0 is the start, line.length the end.
let viewed = 0;
// The moves that a new continuation replaced, from ply `ply` on, to bring them back.
let replaced = null;
// The player's choices; those of a game against the engine are fixed at its start, in
// `match` (null for a game not played against the engine here).
const choice = {
  mode: 'play',
  colour: 'w',
  level: DEFAULT_LEVEL,
  timeControl: DEFAULT_TIME_CONTROL,
  sound: false,
  showThinking: false,
};
let match = null;
// True while the page writes the record's tags itself: for its own games, not imported ones.
let ownRecord = true;
let orientation = 'w';
let analysing = false;
// Milliseconds left on each clock, the side whose clock runs and since when, and the
// clocks after each move of the game against the engine (history[0] at ply fromPly).
const clock = { w: 0, b: 0, running: null, since: 0, fromPly: 0, history: [] };

// Derived from `game` after every change: its moves, with the positions before and after.
let line = [];

// The engine runs one search at a time and answers lines in order. A search that is no
// longer wanted is stopped and its move ignored; a wanted one waits for it to end.
const search = { current: null, queued: null, bookTimer: null };
let engineReady = false;

const board = new Chessboard($('board'), {
  position: DEFAULT_POSITION,
  assetsUrl: './vendor/cm-chessboard/assets/',
  style: { cssClass: 'default', borderType: 'none', animationDuration: 200 },
  extensions: [{ class: Markers, props: { autoMarkers: MARKER_TYPE.square } }, { class: PromotionDialog }],
});

// ---- the game ----

const startFen = () => game.getHeaders().FEN ?? DEFAULT_POSITION;
const fenAt = (ply) => (ply === 0 ? startFen() : line[ply - 1].after);
const turnAt = (ply) => fenAt(ply).split(' ')[1];
const playing = () => choice.mode === 'play';
const matchLevel = () => levelOf(match.level);
const matchTimeControl = () => timeControlOf(match.timeControl);

function lineChanged() {
  line = game.history({ verbose: true });
  viewed = Math.min(viewed, line.length);
  game.setHeader('Result', outcome()?.result ?? '*');
}

const winner = (side) => (side === 'w' ? '1-0' : '0-1');

// The end of the game, if it has ended: { result, reason }.
function outcome() {
  if (ending) return ending;
  if (game.isCheckmate()) {
    const side = other(game.turn());
    return { result: winner(side), reason: `Checkmate: ${sideName(side)} wins` };
  }
  const draw = (reason) => ({ result: '1/2-1/2', reason });
  if (game.isStalemate()) return draw('Draw by stalemate');
  if (game.isInsufficientMaterial()) return draw('Draw: insufficient material');
  if (game.isThreefoldRepetition()) return draw('Draw by threefold repetition');
  if (game.isDrawByFiftyMoves()) return draw('Draw by the fifty-move rule');
  return null;
}

const gameOver = () => outcome() !== null;
const engineToMove = () => playing() && !gameOver() && game.turn() !== match.colour;

// Takes the line back to `ply` moves.
function truncate(ply) {
  while (game.history().length > ply) game.undo();
  ending = null;
  lineChanged();
}

const viewedHasMoves = () => new Chess(fenAt(viewed)).moves().length > 0;

// Whether the player may move on the board now, in the viewed position.
function canMoveNow() {
  if (!engineReady) return false;
  if (!playing()) return viewedHasMoves();
  return viewed === line.length && !gameOver() && game.turn() === match.colour;
}

// Plays the player's move `wanted` (anything chess.js takes: "Nf3", "e2e4", {from, to,
// promotion}) in the viewed position. Returns false when it cannot be played there.
function playerMove(wanted) {
  if (!canMoveNow()) return false;
  let move;
  try {
    move = new Chess(fenAt(viewed)).move(wanted);
  } catch {
    return false;
  }
  if (viewed < line.length) {
    // Only in analysis: the game's own next move just steps forward; another move starts a
    // new continuation, which replaces the moves that followed.
    if (line[viewed].lan === move.lan) {
      setViewed(viewed + 1);
      return true;
    }
    replaced = { ply: viewed, moves: line.slice(viewed).map((m) => m.san), ending };
    truncate(viewed);
  }
  addMove(move.lan);
  return true;
}

// Adds a move at the end of the line (the player's or the engine's) and lets the engine
// and the clocks go on from there.
function addMove(lan) {
  const move = game.move(coordinateMove(lan));
  ending = null;
  lineChanged();
  viewed = line.length;
  if (playing()) pressClock(move.color);
  if (choice.sound) playSound(gameOver() ? 'end' : move.captured ? 'capture' : 'move');
  positionChanged();
}

// After any change of the game: show it, store it, and set the engine to work on it.
function positionChanged() {
  cancelSearch();
  clearEngineView();
  refresh();
  save();
  if (playing()) {
    if (engineToMove()) askForMove();
  } else if (analysing && viewedHasMoves()) {
    startAnalysis();
  }
}

// Shows another ply of the game. In analysis the engine follows the board.
function setViewed(ply) {
  const wanted = Math.max(0, Math.min(line.length, ply));
  if (wanted === viewed) return;
  viewed = wanted;
  clearEngineView();
  refresh();
  save();
  if (!playing() && analysing) {
    cancelSearch();
    if (viewedHasMoves()) startAnalysis();
  }
}

// ---- the engine ----

// The position command for the game up to `ply`: the engine sees the moves that led there,
// for repetitions.
function positionCommand(ply) {
  const start = startFen() === DEFAULT_POSITION ? 'startpos' : `fen ${startFen()}`;
  const moves = line.slice(0, ply).map((move) => move.lan);
  return `position ${start}${moves.length ? ` moves ${moves.join(' ')}` : ''}`;
}

function startSearch(request) {
  if (search.current) {
    cancelSearch();
    search.queued = request;
    return;
  }
  search.current = request;
  request.startedAt = performance.now();
  engine.send(request.position);
  const { go, stopAfterMs } = request.plan();
  engine.send(go);
  if (stopAfterMs !== null) {
    request.timer = setTimeout(() => {
      if (search.current === request && !request.unwanted) engine.send('stop');
    }, stopAfterMs);
  }
  refreshControls();
}

function cancelSearch() {
  clearTimeout(search.bookTimer);
  search.bookTimer = null;
  search.queued = null;
  const current = search.current;
  if (current && !current.unwanted) {
    current.unwanted = true;
    engine.send('stop');
  }
}

function onEngineLine(text) {
  if (text.startsWith('info ')) {
    if (search.current && !search.current.unwanted) showInfo(text, search.current);
    return;
  }
  if (!text.startsWith('bestmove')) return;
  const done = search.current;
  search.current = null;
  clearTimeout(done?.timer);
  const next = search.queued;
  search.queued = null;
  if (done && !done.unwanted) done.answer(text.split(/\s+/)[1], done);
  if (next) startSearch(next);
  refreshControls();
}

function askForMove() {
  const fen = game.fen();
  const book = randomBookMove(fen);
  if (book) {
    // The player's move is drawn first; the book move then comes as any other.
    search.bookTimer = setTimeout(() => {
      search.bookTimer = null;
      engineMove(book, fen, 0);
    }, BOOK_PAUSE_MS);
    return;
  }
  startSearch({
    fen,
    position: positionCommand(line.length),
    plan: () => searchPlan(matchLevel(), matchTimeControl(), { w: clockLeft('w'), b: clockLeft('b') }, game.turn()),
    answer: (text, request) => engineMove(text, fen, performance.now() - request.startedAt),
  });
}

function engineMove(text, fen, thinkingMs) {
  if (game.fen() !== fen) return;
  try {
    new Chess(fen).move(coordinateMove(text));
  } catch {
    setStatus(`The engine answered ${text}, which is not legal here`);
    return;
  }
  // For the tests and benchmarks: how long the last answer took.
  document.body.dataset.lastThinkingMs = String(Math.round(thinkingMs));
  addMove(text);
}

function startAnalysis() {
  analysing = true;
  const fen = fenAt(viewed);
  startSearch({
    fen,
    position: positionCommand(viewed),
    plan: () => ({ go: 'go infinite', stopAfterMs: null }),
    // Only the player's "stop" ends an analysis and is answered here.
    answer: (text) => {
      if (fenAt(viewed) === fen) $('pv').textContent = `Best move: ${lineToSan(fen, [text])}`;
      refresh();
    },
  });
  refreshControls();
}

function toggleAnalysis() {
  if (analysing) return stopAnalysis();
  clearEngineView();
  startAnalysis();
  refresh();
  save();
}

function stopAnalysis() {
  analysing = false;
  search.queued = null;
  // The answer to this stop is the analysis' best move, shown by its request.
  if (search.current && !search.current.unwanted) engine.send('stop');
  refresh();
  save();
}

// ---- the engine's panel ----

// Whether the engine's view may be shown: always in analysis; in a game only when asked,
// since its line and score would play for the player.
const panelShown = () => !playing() || choice.showThinking;

function showInfo(text, request) {
  const info = parseInfo(text);
  if (!info || !panelShown() || request.fen !== fenAt(viewed)) return;
  if (info.nps) $('speed').textContent = formatRate(info.nps);
  if (info.depth === undefined || !info.score) return;
  const turn = request.fen.split(' ')[1];
  const score = whiteScore(info.score, turn);
  const moves = lineToSan(request.fen, info.pv);
  $('depth').textContent = `depth ${info.depth}`;
  $('score').textContent = formatScore(score);
  $('pv').textContent = moves;
  showBar(score, info.depth);
  const list = $('engine-lines');
  const item = document.createElement('li');
  item.textContent = `${info.depth}: ${formatScore(score)} ${moves}`;
  list.prepend(item);
  while (list.childElementCount > MAX_ENGINE_LINES) list.lastElementChild.remove();
}

// The bar beside the board, and the score under it, in sight on a phone too.
function showBar(score, depth) {
  $('eval-bar').classList.toggle('off', !panelShown());
  $('eval-white').style.height = `${(score ? whiteShare(score) : 0.5) * 100}%`;
  $('bar-score').textContent = score && panelShown() ? `${formatScore(score)} · depth ${depth}` : '';
}

function clearEngineView() {
  for (const id of ['depth', 'score']) $(id).textContent = '–';
  $('speed').textContent = '';
  $('pv').textContent = '';
  $('engine-lines').replaceChildren();
  showBar(null);
}

// ---- the clocks ----

const clocksUsed = () => playing() && match !== null && usesClock(matchTimeControl());
const runningFor = (side) => (clock.running === side ? performance.now() - clock.since : 0);
const clockLeft = (side) => Math.max(1, Math.round(clock[side] - runningFor(side)));

// The clocks of a game against the engine, at its start: they start with its first move.
function resetClocks() {
  const tc = matchTimeControl();
  clock.w = clock.b = usesClock(tc) ? tc.base : 0;
  clock.running = null;
  clock.fromPly = line.length;
  clock.history = [{ w: clock.w, b: clock.b }];
}

// Stops the running clock, keeping the time it ran.
function holdClocks() {
  if (clock.running) clock[clock.running] -= runningFor(clock.running);
  clock.running = null;
}

// After a move by `side`: it pays for its thinking time and gains the increment, and the
// other side's clock starts (the first move of the game is free).
function pressClock(side) {
  if (!clocksUsed()) return;
  if (clock.running === side) {
    clock[side] -= runningFor(side);
    if (clock[side] <= 0) return flag(side);
    clock[side] += matchTimeControl().increment;
  }
  clock.running = gameOver() ? null : other(side);
  clock.since = performance.now();
  clock.history.length = line.length - clock.fromPly;
  clock.history.push({ w: clock.w, b: clock.b });
}

// The clocks as they were when the game stood at `ply`, for a take-back.
function restoreClocks(ply) {
  if (!clocksUsed()) return;
  const kept = clock.history[ply - clock.fromPly];
  if (!kept) {
    resetClocks();
    return;
  }
  clock.w = kept.w;
  clock.b = kept.b;
  clock.history.length = ply - clock.fromPly + 1;
  clock.running = ply > clock.fromPly ? turnAt(ply) : null;
  clock.since = performance.now();
}

function flag(side) {
  clock[side] = 0;
  clock.running = null;
  ending = { result: winner(other(side)), reason: `${sideName(side)} lost on time: ${sideName(other(side))} wins` };
  game.setHeader('Result', ending.result);
  cancelSearch();
  if (choice.sound) playSound('end');
  refresh();
  save();
}

function checkFlag() {
  const side = clock.running;
  if (side && clock[side] - runningFor(side) <= 0) flag(side);
  else showClocks();
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
  for (const [id, side] of [['clock-bottom', orientation], ['clock-top', other(orientation)]]) {
    const element = $(id);
    element.hidden = !used;
    element.textContent = formatClock(clock[side] - runningFor(side));
    element.classList.toggle('running', clock.running === side);
    element.classList.toggle('flagged', used && clock[side] - runningFor(side) <= 0);
  }
}

// ---- the board ----

function onMoveInput(event) {
  switch (event.type) {
    case INPUT_EVENT_TYPE.moveInputStarted: {
      const moves = canMoveNow() ? new Chess(fenAt(viewed)).moves({ square: event.squareFrom, verbose: true }) : [];
      board.addLegalMovesMarkers(moves);
      return moves.length > 0;
    }
    case INPUT_EVENT_TYPE.validateMoveInput: {
      board.removeLegalMovesMarkers();
      // The page draws the position itself once the move is played: the board's own
      // animation of a click move would only hold up the next move.
      event.animate = false;
      const move = new Chess(fenAt(viewed))
        .moves({ square: event.squareFrom, verbose: true })
        .find((candidate) => candidate.to === event.squareTo);
      if (!move) return false;
      // The board moves the piece once this returns; the page draws the rest of the move
      // (a capture en passant, the rook of a castling) after it.
      if (!move.promotion) {
        queueMicrotask(() => playerMove(move.lan));
        return true;
      }
      board.showPromotionDialog(event.squareTo, move.color, (result) => {
        if (result.type !== PROMOTION_DIALOG_RESULT_TYPE.pieceSelected || !playerMove(move.lan.slice(0, 4) + result.piece.charAt(1))) {
          board.setPosition(fenAt(viewed), true);
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

function showPosition() {
  const fen = fenAt(viewed);
  board.setPosition(fen, true);
  board.removeMarkers(MARKER_TYPE.frame);
  board.removeMarkers(MARKER_TYPE.circleDanger);
  const last = line[viewed - 1];
  if (last) {
    board.addMarker(MARKER_TYPE.frame, last.from);
    board.addMarker(MARKER_TYPE.frame, last.to);
  }
  const position = new Chess(fen);
  if (position.inCheck()) {
    board.addMarker(MARKER_TYPE.circleDanger, position.findPiece({ type: 'k', color: position.turn() })[0]);
  }
}

function setOrientation(side) {
  orientation = side;
  document.body.dataset.orientation = side;
  if (board.getOrientation() !== side) board.setOrientation(side === 'w' ? COLOR.white : COLOR.black);
  refresh();
  save();
}

// ---- the page ----

function setStatus(text) {
  $('status').textContent = text;
}

function refresh() {
  document.body.dataset.mode = choice.mode;
  showPosition();
  showMoves();
  showLineNote();
  showPlayers();
  showClocks();
  showStatus();
  refreshControls();
}

function showStatus() {
  const result = outcome();
  if (playing() && viewed < line.length) {
    setStatus(`You are looking at an earlier move: → or End goes back to the game.`);
  } else if (result && viewed === line.length) {
    setStatus(`${result.reason} (${result.result})`);
  } else if (!playing()) {
    setStatus(analysing ? 'Analysing…' : `${sideName(turnAt(viewed))} to move`);
  } else if (engineToMove()) {
    setStatus('Tervane is thinking…');
  } else {
    setStatus('Your move');
  }
}

function refreshControls() {
  const over = gameOver();
  $('take-back').disabled = line.length === 0;
  $('resign').disabled = !playing() || over;
  $('analyse').textContent = analysing ? 'Stop analysis' : 'Analyse';
  $('analyse').disabled = !analysing && !viewedHasMoves();
  $('first').disabled = $('back').disabled = viewed === 0;
  $('forward').disabled = $('last').disabled = viewed === line.length;
  $('next-game-note').hidden = !playing() || !match || ['colour', 'level', 'timeControl'].every((key) => match[key] === choice[key]);
  const hidden = !panelShown();
  $('engine-view').hidden = hidden;
  $('engine-hidden').hidden = !hidden;
  $('eval-bar').classList.toggle('off', hidden);
}

function showPlayers() {
  const names = { w: game.getHeaders().White ?? '?', b: game.getHeaders().Black ?? '?' };
  if (!playing()) {
    names.w = 'White';
    names.b = 'Black';
  } else if (match) {
    names[match.colour] = 'You';
    names[other(match.colour)] = `Tervane · ${levelOf(match.level).name}`;
  }
  $('name-bottom').textContent = names[orientation];
  $('name-top').textContent = names[other(orientation)];
}

// The move list: each move a button that shows its position, and the result at the end.
function showMoves() {
  const full = $('moves');
  const recent = $('recent-moves');
  full.replaceChildren();
  recent.replaceChildren();
  const firstNumber = Number(startFen().split(' ')[5]);
  const blackFirst = turnAt(0) === 'b';
  let row = null;
  for (const [i, move] of line.entries()) {
    const ply = i + 1;
    const number = firstNumber + Math.floor((i + (blackFirst ? 1 : 0)) / 2);
    if (move.color === 'w' || row === null) {
      row = document.createElement('li');
      row.value = number;
      if (move.color === 'b') row.append(placeholder());
      full.append(row);
    }
    row.append(moveButton(move.san, ply));
    const item = document.createElement('li');
    const label = move.color === 'w' ? `${number}.` : i === 0 ? `${number}…` : '';
    item.append(moveButton(`${label}${move.san}`, ply));
    recent.append(item);
  }
  const result = outcome();
  if (result) {
    const item = document.createElement('li');
    item.className = 'result';
    item.textContent = `${result.result} ${result.reason}`;
    full.append(item);
    const short = document.createElement('li');
    short.className = 'result';
    short.textContent = result.result;
    recent.append(short);
  }
  // The viewed move in sight, in the middle of each list (never by scrolling the page).
  const current = full.querySelector('[aria-current]');
  full.scrollTop = current ? current.offsetTop - full.clientHeight / 2 : viewed === 0 ? 0 : full.scrollHeight;
  const currentRecent = recent.querySelector('[aria-current]');
  recent.scrollLeft = currentRecent ? currentRecent.offsetLeft - recent.clientWidth / 2 : 0;
  // The book is built once the engine has started, not to hold up the page's start.
  const name = bookBuilt() ? openingName([startFen(), ...line.slice(0, viewed).map((move) => move.after)]) : null;
  $('opening').textContent = name ?? '';
}

function placeholder() {
  const span = document.createElement('span');
  span.className = 'move placeholder';
  span.textContent = '…';
  return span;
}

function moveButton(text, ply) {
  const button = document.createElement('button');
  button.type = 'button';
  button.className = 'move';
  button.textContent = text;
  button.dataset.ply = ply;
  if (ply === viewed) button.setAttribute('aria-current', 'true');
  return button;
}

function showLineNote() {
  const note = $('line-note');
  note.hidden = !replaced;
  if (!replaced) return;
  const count = replaced.moves.length;
  const [, turn, , , , number] = fenAt(replaced.ply).split(' ');
  const shown = `${replaced.moves.slice(0, 4).join(' ')}${count > 4 ? ' …' : ''}`;
  $('line-note-text').textContent =
    `A new line from move ${number}${turn === 'b' ? '…' : ''}: the ${count === 1 ? 'move' : `${count} moves`} ` +
    `that followed there (${shown}) ${count === 1 ? 'was' : 'were'} taken off the game.`;
}

// Puts the moves that a new continuation replaced back, and keeps the new continuation as
// the one to bring back in turn.
function bringBack() {
  if (!replaced) return;
  const { ply, moves } = replaced;
  const now = { ply, moves: line.slice(ply).map((move) => move.san), ending };
  truncate(ply);
  for (const san of moves) game.move(san);
  ending = replaced.ending ?? null;
  lineChanged();
  viewed = line.length;
  replaced = now.moves.length ? now : null;
  positionChanged();
}

// ---- the controls ----

// The player's choices become those of the game against the engine, with its record's tags.
function startMatch() {
  match = { colour: choice.colour, level: choice.level, timeControl: choice.timeControl };
  const engineSide = other(match.colour);
  const level = matchLevel();
  const tc = matchTimeControl();
  ownRecord = true;
  game.setHeader('Event', `Game against Tervane, ${levelLabel(level)}`);
  game.setHeader('Site', SITE);
  game.setHeader('Date', pgnDate(new Date()));
  game.setHeader('Round', '-');
  game.setHeader(sideName(match.colour), PLAYER_NAME);
  game.setHeader(sideName(engineSide), engineName(level, tc));
  const tag = timeControlTag(tc);
  if (tag) game.setHeader('TimeControl', tag);
  else game.removeHeader('TimeControl');
  resetClocks();
}

function pgnDate(date) {
  const two = (n) => String(n).padStart(2, '0');
  return `${date.getFullYear()}.${two(date.getMonth() + 1)}.${two(date.getDate())}`;
}

function newGame() {
  analysing = false;
  cancelSearch();
  game = new Chess();
  ending = null;
  replaced = null;
  viewed = 0;
  lineChanged();
  engine.send('ucinewgame');
  if (playing()) {
    startMatch();
    setOrientation(match.colour);
  } else {
    match = null;
    ownRecord = true;
    game.setHeader('Event', 'Analysis');
    game.setHeader('Site', SITE);
    game.setHeader('Date', pgnDate(new Date()));
  }
  positionChanged();
}

// Takes back the player's last move (and the engine's answer to it); in analysis, the last
// move of the line.
function takeBack() {
  if (line.length === 0) return;
  cancelSearch();
  let ply = line.length - 1;
  if (playing()) {
    while (ply > 0 && turnAt(ply) !== match.colour) ply--;
  }
  replaced = null;
  truncate(ply);
  viewed = ply;
  restoreClocks(ply);
  positionChanged();
}

function resign() {
  if (!playing() || gameOver()) return;
  holdClocks();
  const side = match.colour;
  ending = { result: winner(other(side)), reason: `${sideName(side)} resigned: ${sideName(other(side))} wins` };
  game.setHeader('Result', ending.result);
  viewed = line.length;
  positionChanged();
  if (choice.sound) playSound('end');
}

function setMode(mode) {
  if (mode === choice.mode) return;
  cancelSearch();
  analysing = false;
  choice.mode = mode;
  if (mode === 'play') {
    // Play on from the end of the line, against the engine as now chosen.
    viewed = line.length;
    replaced = null;
    startMatch();
    setOrientation(match.colour);
  } else {
    holdClocks();
  }
  positionChanged();
}

// A change of colour, level or time applies from the next game; before the game's first
// move it applies at once.
function setChoice(key, value) {
  choice[key] = value;
  save();
  if (playing() && !gameOver() && line.length === clock.fromPly) {
    cancelSearch();
    startMatch();
    setOrientation(match.colour);
    positionChanged();
  } else {
    refreshControls();
  }
}

// ---- positions and games in and out ----

function ioMessage(text) {
  $('io-message').textContent = text;
  $('io').open = true;
}

// A FEN has its ranks parted by slashes and no tags or move numbers.
const looksLikeFen = (text) => text.includes('/') && !/\[|\d+\s*\.(?!\d)/.test(text);

// Reads a pasted or typed FEN or PGN into a new game for analysis; a text that cannot be
// read leaves the game as it was.
function importText(text) {
  const trimmed = text.trim();
  if (!trimmed) {
    ioMessage('Paste or type a FEN or a PGN first.');
    return false;
  }
  const loaded = new Chess();
  if (looksLikeFen(trimmed)) {
    const fen = trimmed.split(/\s+/).length < 6 ? completeFen(trimmed) : trimmed;
    const checked = validateFen(fen);
    const problem = checked.ok ? positionProblem(fen) : checked.error;
    if (problem) {
      ioMessage(`This FEN cannot be read: ${problem}. The game on the board is unchanged.`);
      return false;
    }
    loaded.load(fen);
  } else {
    try {
      loaded.loadPgn(trimmed);
    } catch (error) {
      ioMessage(`This PGN cannot be read: ${error.message}. The game on the board is unchanged.`);
      return false;
    }
    const problem = positionProblem(loaded.getHeaders().FEN ?? DEFAULT_POSITION);
    if (problem) {
      ioMessage(`This PGN cannot be read: ${problem}. The game on the board is unchanged.`);
      return false;
    }
  }
  cancelSearch();
  analysing = false;
  choice.mode = 'analyse';
  $('mode').value = 'analyse';
  holdClocks();
  // The result the record gives, unless the rules give it from the position.
  const result = loaded.getHeaders().Result;
  game = loaded;
  match = null;
  ownRecord = false;
  replaced = null;
  ending = null;
  if (['1-0', '0-1', '1/2-1/2'].includes(result) && outcome()?.result !== result) {
    ending = { result, reason: 'Result of the imported game' };
  }
  lineChanged();
  viewed = line.length;
  engine.send('ucinewgame');
  positionChanged();
  ioMessage(
    line.length
      ? `Loaded a game of ${line.length} ${line.length === 1 ? 'move' : 'moves'}, for analysis. Choose "Play against Tervane" to play on from its end.`
      : 'Loaded the position, for analysis. Choose "Play against Tervane" to play it.',
  );
  return true;
}

// chess.js takes a FEN without its last fields; the page keeps the whole.
function completeFen(fen) {
  const fields = fen.split(/\s+/);
  const missing = ['w', '-', '-', '0', '1'].slice(fields.length - 1);
  return [...fields, ...missing].join(' ');
}

// What chess.js lets through but no game can reach, and the engine cannot search.
function positionProblem(fen) {
  const fields = fen.split(' ');
  fields[1] = other(fields[1]);
  fields[3] = '-';
  const flipped = new Chess(fields.join(' '), { skipValidation: true });
  return flipped.inCheck() ? 'the side not to move is in check' : null;
}

// The game's record as PGN, with the page's own tags for its own games.
function exportPgn() {
  const copy = new Chess();
  copy.loadPgn(game.pgn());
  if (ownRecord) {
    const name = openingName([startFen(), ...line.map((move) => move.after)]);
    if (name) copy.setHeader('Opening', name);
    if (ending && ending.reason.includes('on time')) copy.setHeader('Termination', 'time forfeit');
    if (ending) copy.setComment(ending.reason);
  }
  return copy.pgn({ maxWidth: 79 });
}

async function copyText(text, what) {
  $('io-text').value = text;
  try {
    await navigator.clipboard.writeText(text);
    ioMessage(`Copied ${what}; it is in the box above too.`);
  } catch {
    $('io-text').select();
    ioMessage(`The browser did not let the page copy ${what}: it is in the box above, selected.`);
  }
}

function downloadPgn() {
  const text = exportPgn();
  $('io-text').value = text;
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([text], { type: 'application/x-chess-pgn' }));
  const date = (game.getHeaders().Date ?? '').replace(/\?/g, '').replace(/\./g, '-');
  link.download = `tervane${date ? `-${date}` : ''}.pgn`;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
  ioMessage(`Downloading ${link.download}; the PGN is in the box above too.`);
}

// ---- keeping the state ----

function save() {
  const problem = writeStored({
    pgn: game.pgn(),
    ending,
    viewed,
    replaced,
    choice,
    match,
    ownRecord,
    orientation,
    analysing,
    clock: {
      w: clock.w - runningFor('w'),
      b: clock.b - runningFor('b'),
      running: clock.running,
      fromPly: clock.fromPly,
      history: clock.history,
    },
  });
  showStorageNote(problem);
}

function showStorageNote(problem) {
  $('storage-note').hidden = !problem;
  $('storage-note').textContent = problem ?? '';
}

// What became of the game stored before this page opened; until the next new game.
function showRestoreNote(problem) {
  $('restore-note').hidden = !problem;
  $('restore-note').textContent = problem ?? '';
}

// Takes up the state stored by this page or an older one; false when there is none to take.
function restore() {
  const { state, problem } = readStored();
  showRestoreNote(problem ?? null);
  if (!state) return false;
  const restored = new Chess();
  try {
    restored.loadPgn(state.pgn);
  } catch {
    showRestoreNote('The stored game could not be read; a new game was started.');
    return false;
  }
  game = restored;
  for (const key of Object.keys(choice)) {
    if (state.choice && typeof state.choice[key] === typeof choice[key]) choice[key] = state.choice[key];
  }
  if (!levelOf(choice.level)) choice.level = DEFAULT_LEVEL;
  if (!timeControlOf(choice.timeControl)) choice.timeControl = DEFAULT_TIME_CONTROL;
  match = state.match && levelOf(state.match.level) && timeControlOf(state.match.timeControl) ? state.match : null;
  if (choice.mode === 'play' && !match) choice.mode = 'analyse';
  ending = state.ending ?? null;
  replaced = state.replaced ?? null;
  ownRecord = state.ownRecord !== false;
  analysing = state.analysing === true && choice.mode === 'analyse';
  lineChanged();
  viewed = Number.isInteger(state.viewed) ? Math.max(0, Math.min(line.length, state.viewed)) : line.length;
  Object.assign(clock, state.clock ?? {});
  clock.since = performance.now();
  orientation = state.orientation === 'b' ? 'b' : 'w';
  return true;
}

// ---- the start ----

function fillSelect(id, items, valueOf, labelOf) {
  $(id).replaceChildren(
    ...items.map((item) => {
      const option = document.createElement('option');
      option.value = valueOf(item);
      option.textContent = labelOf(item);
      return option;
    }),
  );
}

function showChoices() {
  $('mode').value = choice.mode;
  $('colour').value = choice.colour;
  $('level').value = choice.level;
  $('time-control').value = choice.timeControl;
  $('sound').checked = choice.sound;
  $('show-thinking').checked = choice.showThinking;
}

const typing = (target) => target instanceof HTMLElement && target.matches('input, textarea, select, [contenteditable]');

function onKey(event) {
  if (typing(event.target) || event.altKey || event.ctrlKey || event.metaKey) return;
  const step = { ArrowLeft: viewed - 1, ArrowRight: viewed + 1, Home: 0, End: line.length }[event.key];
  if (step === undefined) return;
  event.preventDefault();
  setViewed(step);
}

function onMoveForm(event) {
  event.preventDefault();
  const input = $('move-input');
  const text = input.value.trim();
  if (!text) return;
  if (playerMove(text)) {
    input.value = '';
    input.removeAttribute('aria-invalid');
    return;
  }
  input.setAttribute('aria-invalid', 'true');
  setStatus(canMoveNow() ? `"${text}" is not a legal move here` : `You cannot move now: ${$('status').textContent}`);
}

function wireControls() {
  $('mode').addEventListener('change', (event) => setMode(event.target.value));
  $('colour').addEventListener('change', (event) => setChoice('colour', event.target.value));
  $('level').addEventListener('change', (event) => setChoice('level', event.target.value));
  $('time-control').addEventListener('change', (event) => setChoice('timeControl', event.target.value));
  $('show-thinking').addEventListener('change', (event) => {
    choice.showThinking = event.target.checked;
    clearEngineView();
    refreshControls();
    save();
  });
  $('sound').addEventListener('change', (event) => {
    choice.sound = event.target.checked;
    if (choice.sound) playSound('move');
    save();
  });
  $('new-game').addEventListener('click', () => {
    showRestoreNote(null);
    newGame();
  });
  $('take-back').addEventListener('click', takeBack);
  $('resign').addEventListener('click', resign);
  $('flip').addEventListener('click', () => setOrientation(other(orientation)));
  $('analyse').addEventListener('click', toggleAnalysis);
  $('first').addEventListener('click', () => setViewed(0));
  $('back').addEventListener('click', () => setViewed(viewed - 1));
  $('forward').addEventListener('click', () => setViewed(viewed + 1));
  $('last').addEventListener('click', () => setViewed(line.length));
  for (const list of [$('moves'), $('recent-moves')]) {
    list.addEventListener('click', (event) => {
      const ply = event.target.closest('button.move')?.dataset.ply;
      if (ply !== undefined) setViewed(Number(ply));
    });
  }
  $('bring-back').addEventListener('click', bringBack);
  $('move-form').addEventListener('submit', onMoveForm);
  $('load').addEventListener('click', () => importText($('io-text').value));
  $('copy-fen').addEventListener('click', () => copyText(fenAt(viewed), 'the FEN'));
  $('copy-pgn').addEventListener('click', () => copyText(exportPgn(), 'the PGN'));
  $('download-pgn').addEventListener('click', downloadPgn);
  $('reload').addEventListener('click', () => location.reload());
  document.addEventListener('keydown', onKey);
  // A FEN or PGN pasted anywhere but in a text field is loaded.
  document.addEventListener('paste', (event) => {
    if (typing(event.target)) return;
    const text = event.clipboardData?.getData('text/plain') ?? '';
    if (!text.trim()) return;
    event.preventDefault();
    $('io-text').value = text;
    importText(text);
  });
  // The clocks are stored at each move; this keeps the time used since then.
  addEventListener('pagehide', save);
  document.addEventListener('visibilitychange', () => document.visibilityState === 'hidden' && save());
}

// Keeps the page's files for use without a network (localhost or HTTPS only), and says so
// when a newer page has been installed while this one is open.
function keepForOffline() {
  navigator.serviceWorker
    ?.register('./service-worker.js')
    .then((registration) => {
      registration.addEventListener('updatefound', () => {
        const worker = registration.installing;
        if (!navigator.serviceWorker.controller || !worker) return;
        worker.addEventListener('statechange', () => {
          if (worker.state === 'activated') $('update-note').hidden = false;
        });
      });
    })
    .catch(() => {});
}

// The engine's first answers show that its worker runs and that it speaks the protocol.
function handshake() {
  return new Promise((resolve) => {
    engine.onLine = (text) => {
      if (text === 'uciok') engine.send('isready');
      if (text === 'readyok') resolve();
    };
    engine.send('uci');
  });
}

async function main() {
  keepForOffline();
  fillSelect('level', LEVELS, (level) => level.id, levelLabel);
  fillSelect('time-control', TIME_CONTROLS, (tc) => tc.value, (tc) => tc.name);
  holdPressesWhileBusy(board, $('board'));
  board.enableMoveInput(onMoveInput);
  const restored = restore();
  if (playing() && !match) startMatch();
  showChoices();
  if (board.getOrientation() !== orientation) await board.setOrientation(orientation === 'w' ? COLOR.white : COLOR.black);
  document.body.dataset.orientation = orientation;
  lineChanged();
  refresh();
  try {
    await engine.ready;
    await handshake();
  } catch (error) {
    setStatus(`The engine could not start: ${error.message ?? error}`);
    return;
  }
  engine.onLine = onEngineLine;
  engineReady = true;
  wireControls();
  setInterval(checkFlag, CLOCK_TICK_MS);
  $('setup').disabled = false;
  $('actions').disabled = false;
  document.body.dataset.readyMs = String(Math.round(performance.now()));
  if (restored) {
    positionChanged();
  } else {
    newGame();
  }
  setTimeout(() => {
    buildBook();
    showMoves();
  });
}

main();
