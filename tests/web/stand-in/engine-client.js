// A stand-in for the engine's client with the same interface, to work on the page before
// the WebAssembly engine is built: its worker plays a random legal move.
export function startEngine(baseUrl = './engine/') {
  const worker = new Worker(new URL('stand-in-worker.js', new URL(baseUrl, location.href)), { type: 'module' });
  const engine = {
    send: (line) => worker.postMessage(line),
    onLine: () => {},
    ready: Promise.resolve(),
  };
  worker.onmessage = (event) => engine.onLine(event.data);
  return engine;
}
