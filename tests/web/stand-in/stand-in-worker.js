import { Chess } from '../vendor/chess.js/chess.js';

const game = new Chess();
let timer = null;
let depth = 0;
let best = null;
const started = { at: 0 };

function finish() {
  clearInterval(timer);
  timer = null;
  postMessage(`bestmove ${best ?? 'a1a1'}`);
}

function tick(infinite, until) {
  depth += 1;
  const moves = game.moves({ verbose: true });
  if (moves.length) best = moves[Math.floor(Math.random() * moves.length)].lan;
  const time = Math.round(performance.now() - started.at);
  postMessage(`info depth ${depth} score cp ${Math.round(Math.random() * 60 - 30)} time ${time} nodes ${depth * 1000} nps 1000000 pv ${best ?? ''} `);
  postMessage(`info time ${time} nodes ${depth * 1000} nps 1000000 `);
  if (!infinite && performance.now() >= until) finish();
}

onmessage = (event) => {
  const words = event.data.split(' ');
  if (words[0] === 'uci') postMessage('id name stand-in') || postMessage('uciok');
  else if (words[0] === 'isready') postMessage('readyok');
  else if (words[0] === 'position') {
    game.reset();
    for (const m of words.slice(3)) game.move({ from: m.slice(0, 2), to: m.slice(2, 4), promotion: m[4] });
  } else if (words[0] === 'go') {
    depth = 0;
    best = null;
    started.at = performance.now();
    const infinite = words.includes('infinite');
    const movetime = words.includes('movetime') ? Number(words[words.indexOf('movetime') + 1]) : 300;
    tick(infinite, started.at + movetime);
    if (timer || best === null) return;
    timer = setInterval(() => tick(infinite, started.at + movetime), 100);
  } else if (words[0] === 'stop' && timer) finish();
};
