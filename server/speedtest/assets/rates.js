// server/speedtest/assets/rates.js: a phase's rate from when its bodies crossed the line, shared by the page (uploads) and the worker (downloads).
"use strict";

// A window shorter than this says little about the line.
const MIN_WINDOW_MS = 200;

// streams: each stream's whole bodies as { bytes, early, first, last }, times in ms on one clock: `early`
// of the bytes had come in by `first`, the rest came in over first..last. The window opens at `open` and
// closes at the earliest of the streams' last bodies, so that every stream was counted over all of it;
// each body adds its early bytes if `first` is within it, and the part of the rest that came in within it,
// spread evenly over first..last. null when the window is too short.
function windowRate(streams, open) {
  const close = Math.min(...streams.map((bodies) => Math.max(...bodies.map((b) => b.last))));
  if (!(close - open >= MIN_WINDOW_MS)) return null;
  let bytes = 0;
  for (const b of streams.flat()) {
    const span = b.last - b.first;
    const early = span > 0 ? Math.min(b.early, b.bytes) : b.bytes;
    const inside = Math.min(b.last, close) - Math.max(b.first, open);
    if (b.first >= open && b.first <= close) bytes += early;
    if (span > 0 && inside > 0) bytes += ((b.bytes - early) * inside) / span;
  }
  return { mbps: (bytes * 8) / ((close - open) * 1000), measured: (close - open) / 1000 };
}
