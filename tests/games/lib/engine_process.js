'use strict';
// The engine as a bare child process, read line by line. node-uci waits for the reply it
// expects and throws away everything else, which is fine for playing games but hides what
// a protocol test has to see: lines that should not be there, and how fast a reply comes.

const { spawn } = require('node:child_process');
const path = require('node:path');

// The test command builds into build/; TERVANE_ENGINE points at any other binary.
function enginePath() {
  if (process.env.TERVANE_ENGINE) return path.resolve(process.env.TERVANE_ENGINE);
  return path.resolve(__dirname, '..', '..', '..', 'build', 'tervane');
}

class EngineProcess {
  constructor(file = enginePath(), args = []) {
    this.file = file;
    this.lines = []; // every complete line received, in order
    this.cursor = 0; // lines before it have been consumed by expect()
    this.partial = '';
    this.stderr = '';
    this.waiters = [];
    this.exit = null; // { code, signal, at } once the process has ended
    this.proc = spawn(file, args, { stdio: ['pipe', 'pipe', 'pipe'] });
    this.proc.stdout.setEncoding('utf8');
    this.proc.stderr.setEncoding('utf8');
    this.proc.stdout.on('data', (chunk) => this.receive(chunk));
    this.proc.stderr.on('data', (chunk) => {
      this.stderr += chunk;
    });
    // Writing to an engine that has died must fail the test that wrote, not the runner.
    this.proc.stdin.on('error', () => {});
    this.exited = new Promise((resolve) => {
      this.proc.on('close', (code, signal) => {
        this.exit = { code, signal, at: performance.now() };
        this.wake();
        resolve(this.exit);
      });
      this.proc.on('error', (error) => {
        this.exit = { code: null, signal: null, error, at: performance.now() };
        this.wake();
        resolve(this.exit);
      });
    });
  }

  receive(chunk) {
    const now = performance.now();
    const parts = (this.partial + chunk).split('\n');
    this.partial = parts.pop();
    for (const text of parts) this.lines.push({ text, at: now });
    this.wake();
  }

  wake() {
    const waiters = this.waiters;
    this.waiters = [];
    for (const w of waiters) w();
  }

  changed() {
    return new Promise((resolve) => this.waiters.push(resolve));
  }

  send(line) {
    this.sendRaw(`${line}\n`);
  }

  sendRaw(bytes) {
    this.proc.stdin.write(bytes);
  }

  closeInput() {
    this.proc.stdin.end();
  }

  // Consumes lines up to and including the first that satisfies `match` and returns
  // { line, at, before } with the skipped lines in `before`. Rejects when `timeoutMs`
  // passes or the process ends first, quoting what did arrive.
  async expect(match, timeoutMs, what = String(match)) {
    const test = typeof match === 'function' ? match : (t) => t === match;
    const deadline = performance.now() + timeoutMs;
    for (;;) {
      for (let i = this.cursor; i < this.lines.length; ++i) {
        if (!test(this.lines[i].text)) continue;
        const before = this.lines.slice(this.cursor, i).map((l) => l.text);
        this.cursor = i + 1;
        return { line: this.lines[i].text, at: this.lines[i].at, before };
      }
      if (this.exit) throw new Error(`engine ended (${describeExit(this.exit)}) before ${what}; ${this.recent()}`);
      const left = deadline - performance.now();
      if (left <= 0) throw new Error(`no ${what} within ${timeoutMs} ms; ${this.recent()}`);
      let timer;
      await Promise.race([this.changed(), new Promise((r) => (timer = setTimeout(r, left)))]);
      clearTimeout(timer);
    }
  }

  // Lines not consumed yet, consuming them.
  take() {
    const rest = this.lines.slice(this.cursor).map((l) => l.text);
    this.cursor = this.lines.length;
    return rest;
  }

  // Waits until everything sent so far has been read and answered: the engine reads in
  // order, so once "readyok" for this "isready" is back, earlier lines have been handled.
  async sync(timeoutMs = 2000) {
    this.send('isready');
    return (await this.expect('readyok', timeoutMs, '"readyok"')).before;
  }

  async waitExit(timeoutMs) {
    let timer;
    const result = await Promise.race([
      this.exited,
      new Promise((r) => (timer = setTimeout(() => r(null), timeoutMs))),
    ]);
    clearTimeout(timer);
    if (!result) throw new Error(`engine still running ${timeoutMs} ms later; ${this.recent()}`);
    return result;
  }

  recent() {
    const tail = this.lines.slice(-6).map((l) => l.text);
    return `last lines: ${JSON.stringify(tail)}${this.stderr ? `, stderr: ${JSON.stringify(this.stderr.slice(-300))}` : ''}`;
  }

  kill() {
    if (!this.exit) this.proc.kill('SIGKILL');
  }
}

function describeExit(exit) {
  if (exit.error) return `failed to start: ${exit.error.message}`;
  return exit.signal ? `signal ${exit.signal}` : `status ${exit.code}`;
}

function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

module.exports = { EngineProcess, enginePath, describeExit, sleep };
