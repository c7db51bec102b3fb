// Short move sounds, made in the page with WebAudio: no sound files to load or to keep.

let context = null;

// A quick knock: a tone that falls in pitch and dies away within `ms`.
function knock(start, pitch, ms, loudness) {
  const oscillator = context.createOscillator();
  const gain = context.createGain();
  const end = start + ms / 1000;
  oscillator.type = 'triangle';
  oscillator.frequency.setValueAtTime(pitch, start);
  oscillator.frequency.exponentialRampToValueAtTime(pitch / 2, end);
  gain.gain.setValueAtTime(loudness, start);
  gain.gain.exponentialRampToValueAtTime(0.001, end);
  oscillator.connect(gain).connect(context.destination);
  oscillator.start(start);
  oscillator.stop(end);
}

// `kind`: 'move', 'capture' or 'end' (of the game).
export function playSound(kind) {
  const Context = globalThis.AudioContext ?? globalThis.webkitAudioContext;
  if (!Context) return;
  context ??= new Context();
  // Browsers start a context suspended until the player has interacted with the page.
  if (context.state === 'suspended') context.resume().catch(() => {});
  const now = context.currentTime;
  if (kind === 'capture') {
    knock(now, 520, 90, 0.5);
    knock(now + 0.04, 330, 110, 0.4);
  } else if (kind === 'end') {
    knock(now, 660, 160, 0.4);
    knock(now + 0.18, 440, 260, 0.4);
  } else {
    knock(now, 700, 70, 0.4);
  }
}
