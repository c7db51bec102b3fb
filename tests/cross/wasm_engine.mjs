// The WebAssembly engine as a console program, for tests and measurements under Node.js:
//   node tests/cross/wasm_engine.mjs [ENGINE_DIR] [ARGUMENT...]
// reads command lines on standard input and prints the engine's lines on standard output, like
// the native build (ENGINE_DIR: the folder of tervane.js and tervane.wasm, by default
// web/engine; arguments such as "bench 5" go to the engine). It drives the same worker script
// through the page's own client, web/engine-client.js; a small stand-in gives Node's worker
// threads the Web Worker interface that the client and the worker script use.
import { readFileSync } from 'node:fs';
import { resolve } from 'node:path';
import { createInterface } from 'node:readline';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { Worker as ThreadWorker } from 'node:worker_threads';

// Runs in the worker thread: what a browser's worker scope offers the script, then the script.
// The browser fetches tervane.wasm beside the script; here it is read from the file.
const WORKER_SCOPE = `
const { parentPort, workerData } = require('node:worker_threads');
const { readFileSync } = require('node:fs');
const { runInThisContext } = require('node:vm');
globalThis.self = globalThis;
globalThis.postMessage = (data) => parentPort.postMessage(data);
globalThis.importScripts = () => {};
self.location = { href: workerData.url };
parentPort.on('message', (data) => self.onmessage && self.onmessage({ data }));
globalThis.Module = { wasmBinary: readFileSync(workerData.wasm) };
runInThisContext(readFileSync(workerData.script, 'utf8'), { filename: workerData.script });
`;

class NodeWorker {
  constructor(url) {
    const script = fileURLToPath(url);
    this.onmessage = null;
    this.onerror = null;
    this.thread = new ThreadWorker(WORKER_SCOPE, {
      eval: true,
      workerData: { url: url.href, script, wasm: script.replace(/\.js$/, '.wasm') },
    });
    this.thread.on('message', (data) => this.onmessage && this.onmessage({ data }));
    this.thread.on('error', (error) => this.onerror && this.onerror(error));
  }
  postMessage(data) {
    this.thread.postMessage(data);
  }
  terminate() {
    this.thread.terminate();
  }
}
globalThis.Worker = NodeWorker;

const root = resolve(fileURLToPath(import.meta.url), '../../..');
const directory = process.argv[2] || resolve(root, 'web/engine');
// Read by the module itself from its file, so that it needs no package.json saying it is one.
const clientFile = resolve(root, 'web/engine-client.js');
const clientText = readFileSync(clientFile, 'utf8').replaceAll(
  'import.meta.url',
  JSON.stringify(pathToFileURL(clientFile).href),
);
const { startEngine } = await import(
  `data:text/javascript;base64,${Buffer.from(clientText).toString('base64')}`
);

const engine = startEngine(pathToFileURL(`${resolve(directory)}/`).href, {
  args: process.argv.slice(3),
});
engine.onLine = (line) => process.stdout.write(`${line}\n`);
engine.ready.catch((error) => {
  process.stderr.write(`${error.message}\n`);
  process.exit(1);
});
const input = createInterface({ input: process.stdin, crlfDelay: Infinity });
input.on('line', (line) => engine.send(line));
input.on('close', () => engine.close());
const status = await engine.exited;
engine.terminate();
process.exit(status);
