// server/speedtest/assets/worker.js: the download phase, run off the page's thread so that drawing never slows the counting.
"use strict";

// Each request asks for more than a stream can fetch in the phase at the rates we serve, so that a
// stream rarely pays for a new request; a stream that does finish one simply starts the next.
const CHUNK_BYTES = 64 * 1024 * 1024;
const REPORT_EVERY_MS = 200;

let received = 0;

async function stream(deadline, controller) {
  while (performance.now() < deadline) {
    const answer = await fetch(`/speedtest/download?bytes=${CHUNK_BYTES}`,
                               { cache: "no-store", signal: controller.signal });
    if (!answer.ok) throw new Error(`the server answered ${answer.status}`);
    const reader = answer.body.getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      received += value.byteLength;
    }
  }
}

// Counts every byte as it arrives; what came during the warm-up (slow start, the first requests) is
// left out of the rate: rate = bytes after the warm-up / time after the warm-up.
async function measure({ streams, seconds, warmup }) {
  const start = performance.now();
  const deadline = start + seconds * 1000;
  const controller = new AbortController();
  let failure = null;
  const running = [];
  for (let i = 0; i < streams; i++) {
    running.push(stream(deadline, controller).catch((error) => {
      if (!controller.signal.aborted) failure = failure || error;
    }));
  }
  let mark = null;
  let last = { at: start, bytes: 0 };
  while (performance.now() < deadline && !failure) {
    await new Promise((resolve) => setTimeout(resolve, Math.min(REPORT_EVERY_MS, deadline - performance.now())));
    const now = performance.now();
    if (mark === null && now - start >= warmup * 1000) mark = { at: now, bytes: received };
    const mbps = ((received - last.bytes) * 8) / ((now - last.at) * 1000);
    last = { at: now, bytes: received };
    postMessage({ kind: "progress", seconds: (now - start) / 1000, mbps, warm: mark === null });
  }
  const end = { at: performance.now(), bytes: received };
  controller.abort();
  await Promise.all(running);
  if (failure) {
    postMessage({ kind: "failed", message: String(failure.message || failure) });
    return;
  }
  const from = mark || { at: start, bytes: 0 };
  postMessage({
    kind: "done", mbps: ((end.bytes - from.bytes) * 8) / ((end.at - from.at) * 1000),
    measured: (end.at - from.at) / 1000, warmedUp: mark !== null,
  });
}

onmessage = (event) => { measure(event.data); };
