// The page's state in the browser's local storage, so that a reload or a closed tab loses
// nothing. The stored text carries its format's version: a page reads every version up to
// its own, bringing older ones up to date step by step, and says plainly when it meets a
// newer one that it cannot read.

const KEY = 'tervane-board';
// Where a stored game that this page cannot read is set aside rather than overwritten.
const UNREAD_KEY = 'tervane-board-unread';

export const STORED_VERSION = 1;

// UPGRADES[n] turns a state of version n into one of version n + 1.
const UPGRADES = {};

function storage() {
  try {
    return globalThis.localStorage ?? null;
  } catch {
    // A browser that forbids storage to this page throws on the mere access.
    return null;
  }
}

// { state } when a game was stored and read, { problem } (a sentence for the player) when
// one could not be read, {} when there is none.
export function readStored() {
  const store = storage();
  if (!store) return { problem: 'This browser does not let the page store the game: a reload will lose it.' };
  let text;
  try {
    text = store.getItem(KEY);
  } catch {
    return { problem: 'This browser does not let the page read its stored game.' };
  }
  if (text === null) return {};
  let state;
  try {
    state = JSON.parse(text);
  } catch {
    state = null;
  }
  const version = state?.version;
  if (!Number.isInteger(version) || version < 1) return setAside(store, text, 'The stored game was damaged and could not be read');
  if (version > STORED_VERSION) {
    return setAside(store, text, 'The stored game was saved by a newer version of this page, which this one cannot read');
  }
  for (let v = version; v < STORED_VERSION; v++) state = UPGRADES[v](state);
  return { state };
}

function setAside(store, text, why) {
  try {
    store.setItem(UNREAD_KEY, text);
    return { problem: `${why}; it is kept aside in this browser and a new game was started.` };
  } catch {
    return { problem: `${why}; a new game was started.` };
  }
}

// Null when stored, else a sentence for the player.
export function writeStored(state) {
  const store = storage();
  if (!store) return 'This browser does not let the page store the game: a reload will lose it. Copy the PGN to keep it.';
  try {
    store.setItem(KEY, JSON.stringify({ ...state, version: STORED_VERSION }));
    return null;
  } catch {
    return "The game could not be stored (the browser's storage is full or turned off): a reload will lose it. Copy the PGN to keep it.";
  }
}
