// server/speedtest/assets/worker.js: the download phase, run off the page's thread so that drawing never slows the counting.
"use strict";

importScripts("/speedtest/rates.js");

// Each stream asks for bodies one after another, each sized from the stream's last one to take about half
// a second: short enough that the rate can be read from whole bodies, long enough that the round trip
// between bodies costs little (and the other streams keep the line busy meanwhile).
const FIRST_BYTES = 256 * 1024;
const MOST_BYTES = 64 * 1024 * 1024;
const TARGET_MS = 500;
const REPORT_EVERY_MS = 200;

let received = 0;

// One stream; each body read to its end is kept in `bodies` with its address (to find its timing again),
// its size and when, on this worker's clock, it was asked for and read to the end.
async function stream(id, deadline, signal, bodies) {
  let size = FIRST_BYTES;
  for (let n = 0; performance.now() < deadline; n++) {
    const url = new URL(`/speedtest/download?bytes=${size}&n=${id}.${n}`, location.href).href;
    const asked = performance.now();
    const answer = await fetch(url, { cache: "no-store", signal });
    if (!answer.ok) throw new Error(`the server answered ${answer.status}`);
    const reader = answer.body.getReader();
    let bytes = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      bytes += value.byteLength;
      received += value.byteLength;
    }
    const read = performance.now();
    bodies.push({ url, bytes, asked, read });
    size = Math.round(Math.min(MOST_BYTES, Math.max(FIRST_BYTES, size * Math.min(4, TARGET_MS / Math.max(read - asked, 1)))));
  }
}

// When a body's bytes crossed the line, as the browser's network stack timed it: from the answer's first
// byte to its last. This worker's clock says when the bytes were handed to it instead, a quarter of a
// second and more later on a busy machine: counted from a moment on that clock, bytes that had arrived
// before it were counted in after it (measured in chromium: a 40 Mbit/s line read as 40.9). Where the
// browser keeps no timing, the worker's own is the best there is.
function arrival(body) {
  const timed = performance.getEntriesByName(body.url, "resource").pop();
  if (timed && timed.responseStart > 0 && timed.responseEnd >= timed.responseStart) {
    return { bytes: body.bytes, early: 0, first: timed.responseStart, last: timed.responseEnd };
  }
  return { bytes: body.bytes, early: 0, first: body.asked, last: body.read };
}

// Counted from the end of the warm-up (see windowRate). A stream that finished no body, or too little
// window (a phase hardly longer than its warm-up, a very slow line): everything the streams were handed
// over the whole phase counts, and the phase says so.
function rate(streams, start, end, warmup, handed) {
  const timed = streams.map((bodies) => bodies.map(arrival));
  const answered = timed.filter((bodies) => bodies.length > 0).length;
  const open = start + warmup * 1000;
  const counted = answered === timed.length ? windowRate(timed, open) : null;
  if (counted) return { ...counted, warmedUp: true, answered };
  // With every stream answered, only a window too short to count can have brought us here.
  const warmedUp = answered < timed.length && end - open >= MIN_WINDOW_MS;
  return { mbps: (handed * 8) / ((end - start) * 1000), measured: Math.max(0, end - open) / 1000, warmedUp, answered };
}

async function measure({ streams, seconds, warmup }) {
  // Bodies come and go about twice a second a stream: keep every timing of the phase.
  performance.clearResourceTimings();
  performance.setResourceTimingBufferSize(4096);
  const start = performance.now();
  const deadline = start + seconds * 1000;
  const controller = new AbortController();
  const bodies = Array.from({ length: streams }, () => []);
  let failure = null;
  const running = bodies.map((mine, id) => stream(id, deadline, controller.signal, mine).catch((error) => {
    if (!controller.signal.aborted) failure = failure || error;
  }));
  let last = { at: start, bytes: 0 };
  while (performance.now() < deadline && !failure) {
    await new Promise((resolve) => setTimeout(resolve, Math.min(REPORT_EVERY_MS, deadline - performance.now())));
    const now = performance.now();
    const mbps = ((received - last.bytes) * 8) / ((now - last.at) * 1000);
    last = { at: now, bytes: received };
    postMessage({ kind: "progress", seconds: (now - start) / 1000, mbps, warm: now - start < warmup * 1000 });
  }
  // Bodies still on their way at the deadline are abandoned, and left out.
  const end = performance.now();
  const handed = received;
  controller.abort();
  await Promise.all(running);
  if (failure) {
    postMessage({ kind: "failed", message: String(failure.message || failure) });
    return;
  }
  postMessage({ kind: "done", ...rate(bodies, start, end, warmup, handed) });
}

onmessage = (event) => { measure(event.data); };
