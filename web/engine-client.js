// The engine in the browser: Tervane compiled to WebAssembly, running in a Web Worker.
//
// Build (from the repository's root, with Debian's emscripten and node-acorn installed):
//   emcmake cmake -S . -B build-wasm -DTERVANE_WASM=ON && cmake --build build-wasm
// This builds build-wasm/tervane.js (the worker script, with the engine's glue) and
// build-wasm/tervane.wasm, and copies both to web/engine/ (not kept in git), the default
// `baseUrl` below. Serve web/ with the headers that make a page cross-origin isolated
//   Cross-Origin-Opener-Policy: same-origin
//   Cross-Origin-Embedder-Policy: require-corp
// since the page hands its command lines to the engine through a SharedArrayBuffer, which a
// browser gives only to such pages.
//
// Use:
//   import { startEngine } from './engine-client.js';
//   const engine = startEngine();        // or startEngine('path/to/engine/')
//   engine.onLine = (line) => { ... };   // each output line, without its line feed
//   engine.send('uci');                  // one command line, without its line feed
//   await engine.ready;                  // resolved once the engine runs; rejected on failure
//
// The engine keeps its usual synchronous command loop in the worker: lines are read in the
// order they were sent, and "stop", "isready" and "quit" reach a running search, which looks
// at its input every 65536 nodes (a few hundredths of a second). Lines that arrive before `onLine` is set are kept
// for it. Also: `close()` ends the engine's input (it then exits as at the end of standard
// input), `terminate()` ends the worker at once, `exited` is a Promise of the exit status.

// Bytes of the input ring: a power of two. A flood of lines larger than this waits in the page
// until the engine has read the ring's start.
const RING_BYTES = 1 << 16;
const HEADER_BYTES = 16;
const WRITTEN = 0;
const READ = 1;
const CLOSED = 2;
const CHANGES = 3;
// How often lines that did not fit are tried again, in milliseconds.
const RETRY_MS = 5;

const ISOLATION_NEEDED =
  'The engine needs a cross-origin isolated page: serve it with the headers ' +
  'Cross-Origin-Opener-Policy: same-origin and Cross-Origin-Embedder-Policy: require-corp';

// `baseUrl`: the folder of tervane.js and tervane.wasm, relative to this module.
// `options.args`: command-line arguments for the engine, such as ['bench', '5'].
export function startEngine(baseUrl = './engine/', options = {}) {
  let resolveReady;
  let rejectReady;
  const ready = new Promise((resolve, reject) => {
    resolveReady = resolve;
    rejectReady = reject;
  });
  let resolveExited;
  const exited = new Promise((resolve) => {
    resolveExited = resolve;
  });

  let lineHandler = null;
  const heldLines = [];
  const engine = {
    ready,
    exited,
    get onLine() {
      return lineHandler;
    },
    set onLine(handler) {
      lineHandler = handler;
      while (lineHandler && heldLines.length > 0) lineHandler(heldLines.shift());
    },
    send(line) {},
    close() {},
    terminate() {},
  };

  if (typeof SharedArrayBuffer === 'undefined' || globalThis.crossOriginIsolated === false) {
    rejectReady(new Error(ISOLATION_NEEDED));
    resolveExited(1);
    return engine;
  }

  const buffer = new SharedArrayBuffer(HEADER_BYTES + RING_BYTES);
  const header = new Int32Array(buffer, 0, HEADER_BYTES / 4);
  const data = new Uint8Array(buffer, HEADER_BYTES);
  const encoder = new TextEncoder();
  // Bytes sent and not yet in the ring, oldest first; `offset` of them written already.
  const pending = [];
  let offset = 0;
  let retry = null;
  let closing = false;

  // Copies what fits of the pending bytes into the ring and wakes the engine.
  function flush() {
    retry = null;
    let written = Atomics.load(header, WRITTEN);
    const read = Atomics.load(header, READ);
    let free = RING_BYTES - ((written - read) >>> 0);
    const before = written;
    while (pending.length > 0 && free > 0) {
      const bytes = pending[0];
      const count = Math.min(bytes.length - offset, free);
      for (let i = 0; i < count; ++i) data[(written + i) & (RING_BYTES - 1)] = bytes[offset + i];
      written = (written + count) | 0;
      free -= count;
      offset += count;
      if (offset === bytes.length) {
        pending.shift();
        offset = 0;
      }
    }
    if (written !== before) Atomics.store(header, WRITTEN, written);
    if (pending.length === 0 && closing) Atomics.store(header, CLOSED, 1);
    Atomics.add(header, CHANGES, 1);
    Atomics.notify(header, CHANGES);
    if (pending.length > 0) retry = setTimeout(flush, RETRY_MS);
  }

  const worker = new Worker(new URL('tervane.js', new URL(baseUrl, import.meta.url)));
  worker.onmessage = (event) => {
    const message = event.data;
    if (typeof message === 'string') {
      if (lineHandler) lineHandler(message);
      else heldLines.push(message);
    } else if (message.ready) {
      resolveReady();
    } else if (message.error !== undefined) {
      console.error(`tervane: ${message.error}`);
      if (message.fatal) {
        rejectReady(new Error(`The engine failed: ${message.error}`));
        resolveExited(1);
      }
    } else if (message.exit !== undefined) {
      resolveExited(message.exit);
    }
  };
  worker.onerror = (event) => {
    const error = new Error(`The engine's worker failed: ${event.message || event}`);
    rejectReady(error);
    resolveExited(1);
  };

  engine.send = (line) => {
    if (closing) return;
    pending.push(encoder.encode(`${line}\n`));
    if (retry === null) flush();
  };
  engine.close = () => {
    closing = true;
    if (retry === null) flush();
  };
  engine.terminate = () => {
    if (retry !== null) clearTimeout(retry);
    worker.terminate();
    resolveExited(1);
  };

  worker.postMessage({ input: buffer, args: options.args || [] });
  return engine;
}
