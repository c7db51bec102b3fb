// Keeps the page's files so that it also opens without a network, once it has been opened
// with one. The build writes the page's version (a digest of its files) below, so that a new
// page makes a new service worker: the browser installs it at the next visit, it keeps the
// new files under the new version's name and throws away every older version's, and no
// stale page is served after an update. While the server can be reached, its answers come
// first; the kept files answer only when it cannot.
// The build lists the files in offline-files.json.
const VERSION = 'unbuilt';
const CACHE = `tervane-page-${VERSION}`;

self.addEventListener('install', (event) => {
  event.waitUntil(
    (async () => {
      const listed = await fetch('offline-files.json', { cache: 'no-store' });
      const cache = await caches.open(CACHE);
      // Straight from the server: the browser's own copies may be of the older page.
      await cache.addAll((await listed.json()).map((file) => new Request(file, { cache: 'reload' })));
      await self.skipWaiting();
    })(),
  );
});

self.addEventListener('activate', (event) => {
  event.waitUntil(
    (async () => {
      for (const name of await caches.keys()) {
        if (name !== CACHE) await caches.delete(name);
      }
    })(),
  );
});

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(
    (async () => {
      try {
        return await fetch(event.request);
      } catch (error) {
        const cache = await caches.open(CACHE);
        const kept = await cache.match(event.request, { ignoreSearch: true });
        if (kept) return kept;
        throw error;
      }
    })(),
  );
});
