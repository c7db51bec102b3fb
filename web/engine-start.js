// Starts the engine's worker as soon as the page has been read, while the board's modules
// are still loading: index.html runs this module before app.js, which takes the engine
// started here.
import { startEngine } from './engine-client.js';

export const engine = startEngine('./engine/');
