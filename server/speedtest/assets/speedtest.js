// server/speedtest/assets/speedtest.js: runs the speed test when the subscriber presses Start: latency, download, upload, then keeps the result.
"use strict";

// The query may shorten or widen the test (the tests' and benchmarks' seam), within bounds.
function options() {
  const query = new URLSearchParams(location.search);
  const number = (name, fallback, low, high) => {
    const value = Number(query.get(name));
    return query.has(name) && Number.isFinite(value) ? Math.min(high, Math.max(low, value)) : fallback;
  };
  const seconds = number("seconds", 10, 2, 60);
  return {
    streams: Math.round(number("streams", 6, 1, 16)),
    upstreams: Math.round(number("upstreams", 3, 1, 16)),
    seconds,
    warmup: number("warmup", 2, 0, seconds - 1),
  };
}

const PINGS = 20;
// Upload bodies start small and grow until one takes about a second, so that a slow line still sees
// several answers in the phase and a fast one is not held up by round trips.
const UPLOAD_FIRST_BYTES = 256 * 1024;
const UPLOAD_MAX_BYTES = 16 * 1024 * 1024;
const UPLOAD_TARGET_MS = 1000;
// A rate measured over less than this, after the warm-up, is shown but not vouched for.
const MIN_MEASURED_SECONDS = 1;

const $ = (id) => document.getElementById(id);

function setStatus(text) { $("status").textContent = text; }

function showFigure(id, value, unit) {
  const shown = $(id);
  shown.classList.remove("failed");
  if (value === null) {
    shown.textContent = "failed";
    shown.classList.add("failed");
    delete shown.dataset.value;
    return;
  }
  const digits = unit === "ms" ? (value < 10 ? 1 : 0) : (value < 100 ? 1 : 0);
  shown.textContent = `${value.toFixed(digits)} ${unit}`;
  shown.dataset.value = String(value);
}

// Beside each phase's figures: whether they can be trusted and why, in words (the colour only repeats it).
function showTrust(id, verdict) {
  const note = $(`${id}-trust`);
  note.textContent = verdict.trusted ? `Reliable: ${verdict.why}.` : `Not reliable: ${verdict.why}.`;
  note.classList.toggle("untrusted", !verdict.trusted);
  note.dataset.trusted = String(verdict.trusted);
}

// A rate's verdict from how long it was measured after the warm-up, and over how many of its streams.
function rateVerdict({ measured, warmedUp, answered, streams }, warmup) {
  if (!warmedUp) return { trusted: false, why: `the phase ended within its ${warmup} s warm-up, so the start of the transfer is counted in` };
  if (measured < MIN_MEASURED_SECONDS) return { trusted: false, why: `only ${measured.toFixed(1)} s measured after the warm-up` };
  if (answered < streams) return { trusted: false, why: `only ${answered} of its ${streams} connections were measured` };
  return { trusted: true, why: `${measured.toFixed(1)} s measured after a ${warmup} s warm-up, over ${streams} connections` };
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

const SVG = "http://www.w3.org/2000/svg";

function svgElement(name, attributes) {
  const element = document.createElementNS(SVG, name);
  for (const [key, value] of Object.entries(attributes)) element.setAttribute(key, String(value));
  return element;
}

// A chart is redrawn whole on every new sample: a few dozen points at most, cheaper than bookkeeping.
function drawBars(id, samples) {
  const chart = $(id);
  const top = Math.max(...samples, 1) * 1.15;
  const width = 300 / PINGS;
  chart.replaceChildren(...samples.map((value, i) => svgElement("rect", {
    class: "bar", x: i * width + 1, width: width - 2, y: 90 - (value / top) * 90, height: (value / top) * 90,
  })));
}

// points: [{ seconds, mbps, warm }] over a phase of `seconds`; the warm-up is shaded.
function drawRate(id, points, seconds, warmup) {
  const chart = $(id);
  const top = Math.max(...points.map((p) => p.mbps), 1) * 1.15;
  const x = (s) => (Math.min(s, seconds) / seconds) * 300;
  const y = (mbps) => 90 - (mbps / top) * 88;
  const line = points.map((p) => `${x(p.seconds).toFixed(1)},${y(p.mbps).toFixed(1)}`);
  const children = [svgElement("rect", { class: "warm-up", x: 0, y: 0, width: x(warmup), height: 90 })];
  if (points.length > 0) {
    const last = points[points.length - 1];
    children.push(svgElement("polygon", {
      class: "area", points: `0,90 ${x(0)},${y(points[0].mbps).toFixed(1)} ${line.join(" ")} ${x(last.seconds).toFixed(1)},90`,
    }));
    children.push(svgElement("polyline", { class: "line", points: `${x(0)},${y(points[0].mbps).toFixed(1)} ${line.join(" ")}` }));
  }
  chart.replaceChildren(...children);
}

function phase(name, running) { $(`phase-${name}`).classList.toggle("running", running); }

// One ping's round trip as the browser's network stack timed it: from the request leaving to the first
// byte of the answer. Timed around fetch() instead, each ping would also count the tab's own work (the
// hop to the network process and back, the page's event loop, drawing the chart): 2-10 ms measured in
// chromium and firefox on a line of 0.1 ms. Where the browser keeps no timing for it, the time around
// fetch() is the best there is.
function roundTrip(url, aroundFetch) {
  const timed = performance.getEntriesByName(url, "resource").pop();
  if (!timed || !(timed.requestStart > 0) || !(timed.responseStart >= timed.requestStart)) return aroundFetch;
  return timed.responseStart - timed.requestStart;
}

// About 20 small requests one after another over one connection; the first opens it and is left out.
// Each asks for its own address so that its timing entry is found again.
async function measureLatency() {
  const samples = [];
  performance.clearResourceTimings();
  for (let i = 0; i <= PINGS; i++) {
    const url = new URL(`/speedtest/ping?n=${i}`, location.href).href;
    const start = performance.now();
    const answer = await fetch(url, { cache: "no-store" });
    await answer.text();
    if (!answer.ok) throw new Error(`the server answered ${answer.status}`);
    const elapsed = roundTrip(url, performance.now() - start);
    if (i === 0) continue;
    samples.push(elapsed);
    drawBars("chart-latency", samples);
  }
  performance.clearResourceTimings();
  let differences = 0;
  for (let i = 1; i < samples.length; i++) differences += Math.abs(samples[i] - samples[i - 1]);
  return { latency: median(samples), jitter: differences / (samples.length - 1), samples: samples.length };
}

function measureDownload({ streams, seconds, warmup }) {
  return new Promise((resolve, reject) => {
    const worker = new Worker("/speedtest/worker.js");
    const points = [];
    worker.onmessage = ({ data }) => {
      if (data.kind === "progress") {
        points.push(data);
        drawRate("chart-download", points, seconds, warmup);
        return;
      }
      worker.terminate();
      if (data.kind === "done") resolve({ ...data, streams });
      else reject(new Error(data.message));
    };
    worker.onerror = (event) => { worker.terminate(); reject(new Error(event.message || "the download stopped")); };
    worker.postMessage({ streams, seconds, warmup });
  });
}

// Random bytes as one Blob, posted in slices: the browser takes a Blob's bytes in once and slices share
// them, where a plain byte array would be copied out of the page again for every request (measured in
// chromium: 16 MiB took over a second to set out each time, the link meanwhile idle).
function randomBlob(size) {
  const bytes = new Uint8Array(size);
  // getRandomValues fills at most 64 KiB at a time.
  for (let at = 0; at < size; at += 65536) crypto.getRandomValues(bytes.subarray(at, Math.min(size, at + 65536)));
  return new Blob([bytes], { type: "application/octet-stream" });
}

// One stream: bodies posted one after another until the deadline; each answer, kept in `mine`, is the
// server's count of the body's bytes and the times, on its own clock, its first and last byte arrived.
async function uploadStream(body, deadline, signal, mine, onAnswer) {
  let size = UPLOAD_FIRST_BYTES;
  while (performance.now() < deadline) {
    const sent = performance.now();
    const answer = await fetch("/speedtest/upload", {
      method: "POST", cache: "no-store", signal, body: body.slice(0, size),
      headers: { "Content-Type": "application/octet-stream" },
    });
    if (!answer.ok) throw new Error(`the server answered ${answer.status}`);
    mine.push(await answer.json());
    onAnswer();
    const took = Math.max(performance.now() - sent, 1);
    size = Math.round(Math.min(UPLOAD_MAX_BYTES, Math.max(UPLOAD_FIRST_BYTES, size * Math.min(4, UPLOAD_TARGET_MS / took))));
  }
}

const bytesOf = (answers) => answers.reduce((sum, a) => sum + a.bytes, 0);

// The rate from the server's counts and clock only, counted from `warmup` seconds after the first byte
// reached the server (see windowRate). Each answer's first piece had come in by first_ms: spread over
// first..last with the rest, bytes that came in before the span would count as if within it. Too few
// answers after the warm-up (a very short test): the whole phase counts.
function uploadRate(streams, warmup) {
  const answered = streams.filter((mine) => mine.length > 0);
  const all = answered.flat();
  const counts = { answered: answered.length, streams: streams.length };
  if (all.length === 0) throw new Error("no upload was answered");
  const first = Math.min(...all.map((a) => a.first_ms));
  const bodies = answered.map((mine) => mine.map((a) => ({ bytes: a.bytes, early: a.first_bytes ?? 0, first: a.first_ms, last: a.last_ms })));
  const counted = windowRate(bodies, first + warmup * 1000);
  if (counted) return { ...counted, warmedUp: true, ...counts };
  const span = Math.max(...all.map((a) => a.last_ms)) - first;
  if (span <= 0) throw new Error("the uploads were answered too fast to time");
  return { mbps: (bytesOf(all) * 8) / (span * 1000), measured: span / 1000, warmedUp: false, ...counts };
}

async function measureUpload({ upstreams, seconds, warmup }) {
  const body = randomBlob(UPLOAD_MAX_BYTES);
  const start = performance.now();
  const deadline = start + seconds * 1000;
  const controller = new AbortController();
  const streams = Array.from({ length: upstreams }, () => []);
  const points = [];
  // Live, each answer redraws the rate of all answers so far: their bytes over the server's own time.
  const onAnswer = () => {
    const all = streams.flat();
    const span = Math.max(...all.map((a) => a.last_ms)) - Math.min(...all.map((a) => a.first_ms));
    // A first body or two over a few milliseconds says little about the line.
    if (span < 250) return;
    points.push({ seconds: (performance.now() - start) / 1000, mbps: (bytesOf(all) * 8) / (span * 1000) });
    drawRate("chart-upload", points, seconds, warmup);
  };
  const running = streams.map((mine) => uploadStream(body, deadline, controller.signal, mine, onAnswer)
    .catch((error) => { if (!controller.signal.aborted) throw error; }));
  // Bodies still on their way at the deadline are abandoned: the server never answers for them.
  const timer = setTimeout(() => controller.abort(), deadline - performance.now());
  try {
    await Promise.all(running);
  } finally {
    clearTimeout(timer);
    controller.abort();
  }
  return uploadRate(streams, warmup);
}

// Runs one phase; a phase that fails leaves its figures null, says so beside them, and the next phase
// still runs. A phase cut short shows no figure: what part of it measured is not the line's speed.
async function attempt(name, measure, problems) {
  phase(name, true);
  try {
    return await measure();
  } catch (error) {
    problems.push(`${name} failed (${error.message})`);
    showTrust(name, { trusted: false, why: `cut short by a network error (${error.message}), so no figure is shown` });
    return null;
  } finally {
    phase(name, false);
  }
}

// The server takes a result only with the token it put in this page for this subscriber's address.
function resultToken() {
  const meta = document.querySelector('meta[name="result-token"]');
  return meta ? meta.content : "";
}

async function keepResult(result) {
  const answer = await fetch("/speedtest/result", {
    method: "POST", cache: "no-store", body: JSON.stringify(result),
    headers: { "Content-Type": "application/json", "X-Result-Token": resultToken() },
  });
  if (!answer.ok) {
    // The server says why (an expired page's token, say) in a JSON error.
    const said = await answer.json().then((body) => body.error, () => undefined);
    throw new Error(`the server answered ${answer.status}${said ? `: ${said}` : ""}`);
  }
  // A token keeps one result: the answer gives the one for the next run.
  const kept = await answer.json();
  const meta = document.querySelector('meta[name="result-token"]');
  if (meta && kept.token) meta.content = kept.token;
  return kept;
}

async function run() {
  const settings = options();
  const main = document.querySelector("main");
  const problems = [];
  $("start").disabled = true;
  main.dataset.state = "running";
  for (const id of ["latency", "jitter", "download", "upload"]) $(id).textContent = "–";
  for (const note of document.querySelectorAll(".trust")) {
    note.textContent = "";
    note.className = "trust";
    delete note.dataset.trusted;
  }

  setStatus("Measuring latency…");
  const delay = await attempt("latency", measureLatency, problems);
  showFigure("latency", delay && delay.latency, "ms");
  showFigure("jitter", delay && delay.jitter, "ms");
  if (delay) showTrust("latency", { trusted: true, why: `the middle of ${delay.samples} round trips, none lost` });

  setStatus("Measuring download speed…");
  const download = await attempt("download", () => measureDownload(settings), problems);
  showFigure("download", download && download.mbps, "Mbit/s");
  if (download) showTrust("download", rateVerdict(download, settings.warmup));

  setStatus("Measuring upload speed…");
  const upload = await attempt("upload", () => measureUpload(settings), problems);
  showFigure("upload", upload && upload.mbps, "Mbit/s");
  if (upload) showTrust("upload", rateVerdict(upload, settings.warmup));

  setStatus("Saving the result…");
  try {
    const kept = await keepResult({
      download_mbps: download && download.mbps, upload_mbps: upload && upload.mbps,
      latency_ms: delay && delay.latency, jitter_ms: delay && delay.jitter,
    });
    $("address").textContent = kept.address;
  } catch (error) {
    problems.push(`the result could not be saved (${error.message})`);
  }
  const untrusted = document.querySelectorAll('.trust[data-trusted="false"]').length;
  if (problems.length > 0) setStatus(`Finished, but ${problems.join("; ")}.`);
  else if (untrusted > 0) setStatus("Done, but not every figure is reliable: see the note beside it.");
  else setStatus("Done.");
  main.classList.toggle("failed", problems.length > 0 || untrusted > 0);
  main.dataset.state = "done";
  $("start").disabled = false;
  $("start").textContent = "Test again";
}

document.addEventListener("DOMContentLoaded", () => {
  $("start").addEventListener("click", run);
});
