// Keeps the page's files so that it also opens without a network, once it has been opened
// with one. Every answer of the server replaces the kept copy, so an updated page is seen at
// once; the kept copy answers only when the server cannot be reached. The build lists the
// files in offline-files.json.
const CACHE = 'tervane-page';

self.addEventListener('install', (event) => {
  event.waitUntil(
    (async () => {
      const listed = await fetch('offline-files.json', { cache: 'no-store' });
      const cache = await caches.open(CACHE);
      await cache.addAll(await listed.json());
      await self.skipWaiting();
    })(),
  );
});

self.addEventListener('activate', (event) => event.waitUntil(self.clients.claim()));

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(
    (async () => {
      const cache = await caches.open(CACHE);
      try {
        const response = await fetch(event.request);
        if (response.ok) event.waitUntil(cache.put(event.request, response.clone()));
        return response;
      } catch (error) {
        const kept = await cache.match(event.request, { ignoreSearch: true });
        if (kept) return kept;
        throw error;
      }
    })(),
  );
});
