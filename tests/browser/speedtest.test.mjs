// tests/browser/speedtest.test.mjs: a subscriber's speed test in the browser, kept under their address and shown beside their report.
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { site, launch, openPage, signIn, screenshot, test, browserName } from './lib/dashboard.mjs';
import { labRuns } from './lib/runs.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

const FIGURES = { latency: 'ms', jitter: 'ms', download: 'Mbit/s', upload: 'Mbit/s' };

test('the speed test runs to Done., is kept under the subscriber\'s address and shown with their report', async () => {
  // tests/browser/run has the subscriber reach the server from the address the all-pass run uploaded from.
  const { id: reportId, caller } = labRuns().find((r) => r.scenario === 'all-pass');
  const { page, problems } = await openPage(browser);
  await page.goto(`${site.subscriberUrl}/?lumnettest&seconds=3&warmup=1`);
  await page.click('#start');
  await page.waitForSelector('main[data-state=done]', { timeout: 60000 });
  await screenshot(page, 'speed-test-done');
  assert.equal(await page.textContent('#status'), 'Done.');
  const shown = {};
  for (const [id, unit] of Object.entries(FIGURES)) {
    const figure = page.locator(`#${id}`);
    assert.match(await figure.textContent(), new RegExp(`^\\d+(\\.\\d)? ${unit.replace('/', '\\/')}$`), id);
    shown[id] = Number(await figure.getAttribute('data-value'));
  }
  // On loopback, whatever the machine's load: more than a slow line, and round trips far below a second.
  assert.ok(shown.download > 10 && shown.upload > 10, `rates ${shown.download} and ${shown.upload} Mbit/s`);
  assert.ok(shown.latency >= 0 && shown.latency < 1000 && shown.jitter >= 0, `latency ${shown.latency} ms`);
  for (const chart of ['latency', 'download', 'upload'])
    assert.ok(await page.locator(`#chart-${chart} > *`).count() > 0, `the ${chart} chart is empty`);
  assert.equal(await page.textContent('#address'), caller);
  for (const phase of ['latency', 'download', 'upload']) {
    assert.equal(await page.getAttribute(`#${phase}-trust`, 'data-trusted'), 'true', phase);
    assert.match(await page.textContent(`#${phase}-trust`), /^Reliable: /, phase);
  }
  assert.deepEqual(problems, []);

  const answer = await fetch(`${site.url}/api/v1/speedtests?ip=${caller}&match=exact`,
                             { headers: { Authorization: `Bearer ${site.token}` } });
  assert.equal(answer.status, 200);
  const [kept] = (await answer.json()).speedtests;
  assert.equal(kept.caller, caller);
  assert.match(kept.user_agent, browserName === 'firefox' ? /Firefox\// : /Chrome\//);
  for (const id of ['download', 'upload', 'latency', 'jitter'])
    assert.ok(Math.abs(kept[`${id}_${FIGURES[id] === 'ms' ? 'ms' : 'mbps'}`] - shown[id]) < 1e-6, `${id} as kept`);

  const staff = await openPage(browser);
  await signIn(staff.page);
  await staff.page.goto(`${site.url}/support/reports/${reportId}`);
  // Newest first: this test's figures in the first row, as rounded for showing.
  const cells = await staff.page.locator('#speed-tests tbody tr').first().locator('td').allTextContents();
  assert.ok(Math.abs(parseFloat(cells[0]) - shown.download) <= 0.5, `download on the report page: ${cells}`);
  assert.ok(Math.abs(parseFloat(cells[1]) - shown.upload) <= 0.5, `upload on the report page: ${cells}`);
  await screenshot(staff.page, 'report-speed-tests');
  assert.deepEqual(staff.problems, []);
});

test('a phase cut short by the network says so beside it and shows no partial rate', async () => {
  const { page, problems } = await openPage(browser);
  // The line drops every upload, as a connection reset would.
  await page.route('**/speedtest/upload', (route) => route.abort('connectionreset'));
  await page.goto(`${site.subscriberUrl}/?lumnettest&seconds=3&warmup=1`);
  await page.click('#start');
  await page.waitForSelector('main[data-state=done]', { timeout: 60000 });
  await screenshot(page, 'speed-test-cut-short');
  assert.match(await page.textContent('#status'), /^Finished, but upload failed \(/);
  assert.equal(await page.textContent('#upload'), 'failed');
  assert.equal(await page.getAttribute('#upload', 'data-value'), null);
  assert.equal(await page.getAttribute('#upload-trust', 'data-trusted'), 'false');
  assert.match(await page.textContent('#upload-trust'), /^Not reliable: cut short by a network error \(.+\), so no figure is shown\.$/);
  assert.equal(await page.getAttribute('#download-trust', 'data-trusted'), 'true');
  // The refused requests are the test's own doing; nothing else may have gone wrong.
  assert.deepEqual(problems.filter((problem) => !/upload/.test(problem)), []);
});
