// tests/browser/sign-in.test.mjs: signing in and out of the support dashboard, and the hold on an account after refused sign-ins.
import { before, after } from 'node:test';
import assert from 'node:assert/strict';
import { site, launch, openPage, submitSignIn, screenshot, test } from './lib/dashboard.mjs';

let browser;
before(async () => { browser = await launch(); });
after(async () => { await browser?.close(); });

test('a visitor is sent to sign in, refused with a wrong password, let in with the right one and out again', async () => {
  const { page, problems } = await openPage(browser);
  const wanted = '/support/?ip=100.102.3.4&match=exact';
  await page.goto(site.url + wanted);
  assert.equal(new URL(page.url()).pathname, '/support/sign-in');
  assert.equal(new URL(page.url()).searchParams.get('next'), wanted);

  const refused = await submitSignIn(page, site.user, `${site.password}x`);
  assert.equal(refused.status(), 401);
  assert.equal(await page.textContent('#sign-in-error'), 'Wrong user name or password.');
  await screenshot(page, 'sign-in-refused');

  // The refused form carries the page it was asked for on to the next try.
  const accepted = await submitSignIn(page, site.user, site.password);
  assert.equal(accepted.status(), 303);
  await page.waitForURL(site.url + wanted);
  assert.match(await page.textContent('#user'), new RegExp(site.user));
  await screenshot(page, 'signed-in');

  const session = (await page.context().cookies()).filter((c) => c.name !== 'lumresults_signin');
  assert.equal(session.length, 1, 'one session cookie');
  await Promise.all([page.waitForURL(/\/support\/sign-in$/), page.locator('#sign-out').getByRole('button').click()]);
  await page.goto(`${site.url}/support/`);
  assert.equal(new URL(page.url()).pathname, '/support/sign-in', 'the search page opens after signing out');
  // The server ended the session too: its cookie, kept by someone else, opens nothing.
  await page.context().addCookies(session);
  await page.goto(`${site.url}/support/`);
  assert.equal(new URL(page.url()).pathname, '/support/sign-in', 'the ended session still opens the search page');
  assert.deepEqual(problems, []);
});

test('after five refused sign-ins from one address an account is held off there, even with the right password', async () => {
  const { page, problems } = await openPage(browser);
  await page.goto(`${site.url}/support/sign-in`);
  for (let attempt = 1; attempt <= 5; ++attempt) {
    const refused = await submitSignIn(page, site.throttledUser, `wrong-${attempt}`);
    assert.equal(refused.status(), 401, `attempt ${attempt}`);
  }
  const held = await submitSignIn(page, site.throttledUser, site.password);
  assert.equal(held.status(), 429);
  assert.equal(await page.textContent('#sign-in-error'), 'Too many refused sign-ins. Try again in 15 minutes.');
  await screenshot(page, 'sign-in-held-off');
  const cookies = await page.context().cookies();
  assert.deepEqual(cookies.filter((c) => c.name !== 'lumresults_signin').map((c) => c.name), [], 'a session cookie was set');
  assert.deepEqual(problems, []);
});
