// tests/browser/roles.test.mjs: staff of the operator's directory, one of each role, sign in and find only what their role may see.
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { auditBothWidths } from './lib/axe.mjs';
import { site, launch, openPage, submitSignIn, screenshot, test } from './lib/dashboard.mjs';

// The directory's staff (tests/server/directory/entries.ldif), each in one group: where they start and the
// pages' links they see.
const STAFF = [
  { user: 'sam', role: 'support', home: '/support/', links: ['search-link'] },
  { user: 'nia', role: 'network', home: '/support/overview', links: ['overview-link'] },
  { user: 'ari', role: 'admin', home: '/support/audit', links: ['audit-link'] },
];
const PAGES = ['/support/', '/support/overview', '/support/audit'];

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

for (const staff of STAFF) {
  test(`${staff.user} (${staff.role}) signs in with the directory's password and sees only the ${staff.role} pages`, async () => {
    const { page, problems } = await openPage(browser);
    await page.goto(`${site.url}/support/sign-in`);
    const answer = await submitSignIn(page, staff.user, `${staff.user}'s password`);
    assert.equal(answer.status(), 303);
    await page.waitForURL(site.url + staff.home);
    assert.match(await page.textContent('#user'), new RegExp(staff.user));
    const links = await page.locator('nav.pages a').evaluateAll((found) => found.map((a) => a.id));
    assert.deepEqual(links, staff.links);
    await screenshot(page, `role-${staff.role}`);
    const found = await auditBothWidths(page, `role-${staff.role}`);
    // Every other page is refused, with a page that says so and links only where the role may go.
    for (const other of PAGES.filter((p) => p !== staff.home)) {
      const refused = await page.goto(site.url + other);
      assert.equal(refused.status(), 403, other);
      assert.deepEqual(await page.locator('nav.pages a').evaluateAll((all) => all.map((a) => a.id)), staff.links, other);
    }
    found.push(...await auditBothWidths(page, `role-${staff.role}-refused`));
    assert.deepEqual(found, []);
    assert.deepEqual(problems, []);
  });
}
