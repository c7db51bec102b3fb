// The page's opening book, read by the rules: a line with a wrong or illegal move would make
// the engine play a move the page then refuses, or name the wrong opening.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { pathToFileURL } from 'node:url';
import { createRequire } from 'node:module';

const root = path.resolve(import.meta.dirname, '../..');
const site = process.env.TERVANE_WEB_SITE ?? path.join(root, 'build-web/site');
const { BOOK_LINES, bookMoves, openingName } = await import(pathToFileURL(path.join(site, 'openings.js')));
const { Chess } = createRequire(import.meta.url)('chess.js');

test('every line of the opening book is legal, stays in the book, and ends on its name or a deeper one', () => {
  for (const [name, line] of BOOK_LINES) {
    const game = new Chess();
    const fens = [game.fen()];
    for (const san of line.split(' ')) {
      const move = game.move(san);
      assert.ok(bookMoves(fens.at(-1)).includes(move.lan), `${name}: ${san} is a book move`);
      fens.push(game.fen());
    }
    const named = openingName(fens);
    assert.ok(named === name || BOOK_LINES.some(([other, more]) => other === named && more === line), `${line}: ${named}, not ${name}`);
  }
  assert.equal(openingName([new Chess().fen()]), null);
});
