// tests/browser/accessibility.test.mjs: every page audited by axe-core at WCAG 2.1 AA, pictured at phone width, and the flows walked with the keyboard alone.
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { auditBothWidths, violations } from './lib/axe.mjs';
import { site, launch, openPage, signIn, submitSignIn, screenshot, test } from './lib/dashboard.mjs';
import { labRuns } from './lib/runs.mjs';

const run = (scenario) => labRuns().find((r) => r.scenario === scenario);

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

test('the dashboard\'s pages pass the WCAG 2.1 AA audit, signed out and in, found and not found', async () => {
  const { page, problems } = await openPage(browser);
  const found = [];
  await page.goto(`${site.url}/support/sign-in`);
  found.push(...await auditBothWidths(page, 'sign-in'));
  assert.equal((await submitSignIn(page, site.user, 'not-the-password')).status(), 401);
  found.push(...await auditBothWidths(page, 'sign-in-refused'));

  await signIn(page);
  found.push(...await auditBothWidths(page, 'search-empty'));
  await page.goto(`${site.url}/support/?ip=${run('all-pass').caller}&match=exact`);
  found.push(...await auditBothWidths(page, 'search-results'));
  for (const scenario of ['all-pass', 'dns-failed', 'code-page-932']) {
    await page.goto(`${site.url}/support/reports/${run(scenario).id}`);
    found.push(...await auditBothWidths(page, `report-${scenario}`));
  }
  await page.goto(`${site.url}/support/reports/999999999`);
  found.push(...await auditBothWidths(page, 'no-such-report'));
  await page.goto(`${site.url}/support/?ip=300.1.1.1&match=exact`);
  found.push(...await auditBothWidths(page, 'search-not-understood'));

  const overview = await openPage(browser);
  await signIn(overview.page, site.user, site.password, site.overviewUrl);
  await overview.page.goto(`${site.overviewUrl}/support/overview`);
  found.push(...await auditBothWidths(overview.page, 'overview'));
  assert.deepEqual(found, []);
  assert.deepEqual(problems, []);
  assert.deepEqual(overview.problems, []);
});


// Presses Tab until the focus is on an element that matches `selector`, at most `limit` times; every
// element the focus passes shows it (the page's own outline, not the browser's default, which some
// stylesheets remove). A field the page focused itself (autofocus) is already there. The stops' descriptions.
async function tabTo(page, selector, limit = 40) {
  const stops = [];
  if (await page.evaluate((wanted) => document.activeElement?.matches(wanted), selector)) return stops;
  for (let step = 0; step < limit; ++step) {
    await page.keyboard.press('Tab');
    const stop = await page.evaluate((wanted) => {
      const element = document.activeElement;
      if (!element || element === document.body) return null;
      const style = getComputedStyle(element);
      const shown = element.matches(':focus-visible') &&
                    ((style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) > 0) || style.boxShadow !== 'none');
      const name = element.id || element.getAttribute('name') || element.textContent.trim().slice(0, 30);
      return { name: `${element.tagName.toLowerCase()} ${name}`, shown, wanted: element.matches(wanted) };
    }, selector);
    if (!stop) continue;
    stops.push(stop.name);
    assert.ok(stop.shown, `the focus on ${stop.name} is not visible (stops so far: ${stops.join(', ')})`);
    if (stop.wanted) return stops;
  }
  assert.fail(`${selector} was not reached by Tab; the stops: ${stops.join(', ')}`);
}

test('a person with the keyboard alone signs in, searches, opens a report and signs out', async () => {
  const { page, problems } = await openPage(browser);
  const { caller, id } = run('dns-failed');
  await page.goto(`${site.url}/support/sign-in`);
  await tabTo(page, '#sign-in [name=user]');
  await page.keyboard.type(site.user);
  await tabTo(page, '#sign-in [name=password]', 1);
  await page.keyboard.type(site.password);
  await tabTo(page, '#sign-in button', 1);
  await Promise.all([page.waitForURL(`${site.url}/support/`), page.keyboard.press('Enter')]);

  await tabTo(page, '#search [name=ip]');
  await page.keyboard.type(caller);
  await Promise.all([page.waitForURL(/\/support\/\?/), page.keyboard.press('Enter')]);
  await tabTo(page, `#results tr.report[data-id="${id}"] a.open`);
  await Promise.all([page.waitForURL(`${site.url}/support/reports/${id}`), page.keyboard.press('Enter')]);
  // The failed test is told in words, not by its colour alone.
  assert.match(await page.locator('#rows .row[data-test="3"]').textContent(), /Failed/);
  await tabTo(page, '#sign-out button', 80);
  await Promise.all([page.waitForURL(/\/support\/sign-in$/), page.keyboard.press('Enter')]);
  assert.deepEqual(problems, []);
});

test('the speed test is started from the keyboard, read without a mouse, and passes the audit before, during and after', async () => {
  const { page, problems } = await openPage(browser);
  await page.goto(`${site.subscriberUrl}/?lumnettest&seconds=4&warmup=1`);
  const found = await auditBothWidths(page, 'speed-test-before');
  await tabTo(page, '#start');
  await page.keyboard.press('Enter');
  await page.waitForSelector('main[data-state=running]');
  found.push(...await violations(page, 'speed-test-running'));
  await page.waitForSelector('main[data-state=done]', { timeout: 60000 });
  found.push(...await auditBothWidths(page, 'speed-test-done'));
  assert.deepEqual(found, []);
  // The status line is a live region: a screen reader announces "Done." and the figures are text.
  assert.equal(await page.getAttribute('#status', 'role'), 'status');
  assert.equal(await page.textContent('#status'), 'Done.');
  for (const figure of ['latency', 'jitter', 'download', 'upload'])
    assert.match(await page.locator(`#${figure}`).textContent(), /^\d/, figure);
  assert.deepEqual(problems, []);
});
