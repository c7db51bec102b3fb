// The reading end of the input ring (see browser_worker.js for its layout). The page is the
// only writer of `written` and `closed`; this is the only writer of `read`.
mergeInto(LibraryManager.library, {
  tervane_input_available: function () {
    const ring = Module.tervaneInput;
    const header = ring.header;
    return Atomics.load(header, 0) !== header[1] || Atomics.load(header, 2) !== 0 ? 1 : 0;
  },

  // Blocks (Atomics.wait, allowed in a worker) until bytes arrive or the page closes the
  // input; copies what is there, up to `capacity` bytes. Returns 0 at the end of input.
  tervane_read_input: function (buffer, capacity) {
    const ring = Module.tervaneInput;
    const header = ring.header;
    const read = header[1];
    let written;
    for (;;) {
      const changes = Atomics.load(header, 3);
      written = Atomics.load(header, 0);
      if (written !== read) break;
      if (Atomics.load(header, 2) !== 0) return 0;
      Atomics.wait(header, 3, changes);
    }
    const count = Math.min((written - read) >>> 0, capacity);
    const data = ring.data;
    const start = read & (data.length - 1);
    const first = Math.min(count, data.length - start);
    HEAPU8.set(data.subarray(start, start + first), buffer);
    HEAPU8.set(data.subarray(0, count - first), buffer + first);
    Atomics.store(header, 1, (read + count) | 0);
    return count;
  },
});
