// Runs first in tervane.js, which is the engine's Web Worker script.
//
// The page starts the worker, then posts { input, args }: `input` is the SharedArrayBuffer of
// the input ring, `args` the command-line arguments (none for the usual command loop). The
// worker answers { ready: true } once the engine runs, each output line as a string,
// { error: text, fatal } for a message on standard error or a failure (fatal: the engine is
// not running), and { exit: status } when the engine has ended ("quit", the end of input).
//
// The ring: an Int32Array header of four words, then the data bytes (a power of two of them).
//   0 written: bytes written so far, modulo 2^32 (page)
//   1 read:    bytes read so far, modulo 2^32 (engine)
//   2 closed:  nonzero once the page has closed the input (page)
//   3 changes: bumped by the page after every write and on closing; the engine waits on it
Module['noInitialRun'] = true;
Module['print'] = function (line) {
  postMessage(line);
};
Module['printErr'] = function (line) {
  postMessage({ error: line });
};
// The engine could not start (its wasm file missing, say) or failed.
Module['onAbort'] = function (what) {
  postMessage({ error: String(what), fatal: true });
};

(function () {
  let runtimeReady = false;
  let start = null;

  function run() {
    if (!runtimeReady || start === null) return;
    const buffer = start.input;
    Module.tervaneInput = {
      header: new Int32Array(buffer, 0, 4),
      data: new Uint8Array(buffer, 16),
    };
    postMessage({ ready: true });
    let status = 0;
    try {
      status = Module['callMain'](start.args || []);
    } catch (error) {
      // An ExitStatus from exit(), or a fault of the engine.
      status = error && typeof error.status === 'number' ? error.status : 1;
      if (!(error && typeof error.status === 'number')) postMessage({ error: String(error) });
    }
    postMessage({ exit: status });
  }

  Module['onRuntimeInitialized'] = function () {
    runtimeReady = true;
    run();
  };
  self.onmessage = function (event) {
    if (start !== null) return;
    start = event.data;
    run();
  };
})();
