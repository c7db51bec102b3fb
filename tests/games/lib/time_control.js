'use strict';

// "2000+50": 2000 ms on the clock and 50 ms added after each move.
function parseTimeControl(text) {
  const match = /^(\d+)(?:\+(\d+))?$/.exec(String(text).trim());
  if (!match) throw new Error(`time control "${text}" is not of the form base+increment (ms)`);
  const baseMs = Number(match[1]);
  const incMs = Number(match[2] ?? 0);
  return { baseMs, incMs, text: `${baseMs}+${incMs} ms` };
}

module.exports = { parseTimeControl };
