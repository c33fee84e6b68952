// tests/browser/overview.test.mjs: the operator's overview finds an outage in two days of reports, and leads to the reports behind it.
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { site, launch, openPage, signIn, screenshot, test } from './lib/dashboard.mjs';

let browser;
let page;
let problems;

before(async () => {
  browser = await launch();
  ({ page, problems } = await openPage(browser));
  await signIn(page, site.user, site.password, site.overviewUrl);
});
after(async () => { await browser?.close(); });

test('the overview puts the outage at the top of its incidents, and its reports are one click away', async () => {
  const [block] = site.outage.split(' ');
  await Promise.all([page.waitForURL(/\/support\/overview$/), page.click('#overview-link')]);
  const top = page.locator('#incident-table tbody tr').first();
  assert.equal(await top.locator('th').textContent(), block);
  assert.equal(await top.locator('td').nth(1).textContent(), '3', 'the incident is not Test 3\'s');
  // Each chart has its figures in a table too: the day's reports add up to what was received.
  const received = await page.locator('#received-table tbody tr').evaluateAll((rows) =>
    rows.reduce((sum, row) => sum + Number(row.cells[1].textContent) + Number(row.cells[2].textContent), 0));
  assert.ok(received > 900 && received < 1100, `the last 24 hours hold ${received} reports, not about 1000`);
  assert.equal(await page.locator('svg.chart').count(), 9, 'reports, seven tests and the speed tests');
  await screenshot(page, 'overview-outage');
  await page.setViewportSize({ width: 390, height: 844 });
  await screenshot(page, 'overview-outage-phone');
  await page.setViewportSize({ width: 1280, height: 720 });

  await Promise.all([page.waitForURL(/\/support\/\?/), top.locator('a.open').click()]);
  const cells = await page.locator('#results tr.report').evaluateAll((rows) =>
    rows.map((row) => [row.querySelector('td.ip').textContent, row.querySelectorAll('td.cell')[2].className]));
  assert.ok(cells.length >= 15, `the search shows ${cells.length} reports`);
  const prefix = block.slice(0, block.lastIndexOf('.') + 1);
  for (const [caller, cell] of cells) {
    assert.ok(caller.startsWith(prefix), `${caller} is not in ${block}`);
    assert.match(cell, /v-failed/, `a report from ${caller} did not fail Test 3`);
  }
  await screenshot(page, 'overview-outage-reports');
  assert.deepEqual(problems, []);
});
