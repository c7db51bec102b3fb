// Plays a session of command lines to an engine as an interface would and prints what the
// engine answered, with times and speeds masked, so that two builds' answers can be compared:
//   node tests/cross/session.mjs SESSION COMMAND [ARGUMENT...]
// After a "go" line (but "go infinite" and "go ponder") the next line waits for "bestmove";
// a line "#wait TEXT" waits for an answer that begins with TEXT; other lines starting with "#"
// are comments. At the end the input is closed and the engine must end with status 0.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { EngineProcess, describeExit } = require('../games/lib/engine_process.js');

// Generous: qemu and a busy machine slow the engine down many times.
const TIMEOUT_MS = 120000;

function mask(line) {
  return line
    .replace(/\b(time|nps) \d+/g, '$1 _')
    .replace(/^(Time|Knps|Nodes\/second)(\s*): .*/, '$1$2: _');
}

const [sessionFile, command, ...args] = process.argv.slice(2);
const engine = new EngineProcess(command, args);
let failure = null;
try {
  for (const line of readFileSync(sessionFile, 'utf8').split('\n')) {
    if (line.startsWith('#wait ')) {
      const text = line.slice('#wait '.length);
      await engine.expect((answer) => answer.startsWith(text), TIMEOUT_MS, JSON.stringify(text));
      continue;
    }
    if (line === '' || line.startsWith('#')) continue;
    engine.send(line);
    if (/^go\b/.test(line) && !/\b(infinite|ponder)\b/.test(line))
      await engine.expect((answer) => answer.startsWith('bestmove'), TIMEOUT_MS, '"bestmove"');
  }
  engine.closeInput();
  const exit = await engine.waitExit(TIMEOUT_MS);
  if (exit.code !== 0) failure = `the engine ended with ${describeExit(exit)}`;
} catch (error) {
  failure = error.message;
  engine.kill();
}
for (const { text } of engine.lines) process.stdout.write(`${mask(text)}\n`);
if (failure) {
  process.stderr.write(`${sessionFile}: ${failure}\n`);
  process.exit(1);
}
