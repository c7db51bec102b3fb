// cm-chessboard takes no new press on the board while it finishes the previous move (until
// the animations queued before it have run): a piece picked up then would be dropped
// silently. Presses that come in then are held here, with their releases, and handed to
// the board in order once it is ready for them.
// This looks at the board's input state, which cm-chessboard 8.15 does not publish: the
// version is pinned in web/package-lock.json, and the browser tests play quick moves.

const BUSY_STATE = 'moveDone';
const RETRY_MS = 10;

export function holdPressesWhileBusy(board, element) {
  const view = board.view;
  const input = view.visualMoveInput;
  const held = [];
  let timer = null;
  const busy = () => input.moveInputState === BUSY_STATE;

  function handOver() {
    timer = null;
    while (held.length > 0 && !busy()) {
      const { press, release } = held.shift();
      view.pointerDownHandler(press);
      if (release) input.onPointerUp(release);
    }
    if (held.length > 0) timer = setTimeout(handOver, RETRY_MS);
  }

  function onPress(event) {
    if (!busy() && held.length === 0) return;
    event.stopPropagation();
    event.preventDefault();
    held.push({ press: event, release: null });
    timer ??= setTimeout(handOver, RETRY_MS);
  }

  function onRelease(event) {
    const last = held.at(-1);
    if (last && !last.release) last.release = event;
  }

  element.addEventListener('mousedown', onPress, { capture: true });
  element.addEventListener('touchstart', onPress, { capture: true, passive: false });
  window.addEventListener('mouseup', onRelease, { capture: true });
  window.addEventListener('touchend', onRelease, { capture: true });
}
