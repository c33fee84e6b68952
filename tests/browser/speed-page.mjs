// tests/browser/speed-page.mjs: runs the speed-test page once and prints its figures as JSON (scripts/bench-speedtest's driver).
//
//   LUM_BROWSER=chromium|firefox node speed-page.mjs URL
//
// URL is the page with its query (/?lumnettest&seconds=...). Besides the figures, `trusted` says which of
// the page's notes called its phase reliable.
import { launch, openPage } from './lib/dashboard.mjs';

const [url] = process.argv.slice(2);
if (!url) {
  console.error('usage: node speed-page.mjs URL');
  process.exit(2);
}
const browser = await launch();
try {
  const { page, problems } = await openPage(browser);
  const figure = async (id) => Number(await page.getAttribute(`#${id}`, 'data-value'));
  await page.goto(url);
  await page.click('#start');
  await page.waitForSelector('main[data-state=running]');
  await page.waitForSelector('main[data-state=done]', { timeout: 180000 });
  const trusted = {};
  for (const phase of ['latency', 'download', 'upload'])
    trusted[phase] = (await page.getAttribute(`#${phase}-trust`, 'data-trusted')) === 'true';
  console.log(JSON.stringify({
    status: await page.textContent('#status'),
    download_mbps: await figure('download'),
    upload_mbps: await figure('upload'),
    latency_ms: await figure('latency'),
    jitter_ms: await figure('jitter'),
    trusted,
    problems,
  }));
} finally {
  await browser.close();
}
