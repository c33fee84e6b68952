// tests/browser/speed-page.mjs: runs the speed-test page once in chromium and prints its figures as JSON (scripts/bench-speedtest's driver).
//
//   node speed-page.mjs URL [LATENCY_MS]
//
// URL is the page with its query (/?lumnettest&seconds=...). LATENCY_MS, when given, is a delay that
// chromium's own network emulation adds to every request: the page then runs twice in one tab, without
// and with it, and latency_without_ms is the first run's latency, the browser's own share that the
// check against the known delay leaves out.
import { launch, openPage } from './lib/dashboard.mjs';

const [url, latency] = process.argv.slice(2);
if (!url) {
  console.error('usage: node speed-page.mjs URL [LATENCY_MS]');
  process.exit(2);
}
const browser = await launch();
try {
  const { page, problems } = await openPage(browser);
  const figure = async (id) => Number(await page.getAttribute(`#${id}`, 'data-value'));
  const runPage = async () => {
    await page.click('#start');
    await page.waitForSelector('main[data-state=running]');
    await page.waitForSelector('main[data-state=done]', { timeout: 180000 });
  };
  await page.goto(url);
  const figures = {};
  if (latency) {
    await runPage();
    figures.latency_without_ms = await figure('latency');
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Network.enable');
    await cdp.send('Network.emulateNetworkConditions',
                   { offline: false, latency: Number(latency), downloadThroughput: -1, uploadThroughput: -1 });
  }
  await runPage();
  console.log(JSON.stringify({
    status: await page.textContent('#status'),
    download_mbps: await figure('download'),
    upload_mbps: await figure('upload'),
    latency_ms: await figure('latency'),
    jitter_ms: await figure('jitter'),
    ...figures,
    problems,
  }));
} finally {
  await browser.close();
}
