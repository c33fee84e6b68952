// tests/browser/lib/dashboard.mjs: what the browser flows share: the browser, a page that notes what went wrong on it, signing in, screenshots.
import { chromium, firefox } from 'playwright-core';
import { test as nodeTest } from 'node:test';
import path from 'node:path';

// The browser the flows run in: tests/browser/run runs every flow in each of them.
export const browserName = process.env.LUM_BROWSER ?? 'chromium';
if (!['chromium', 'firefox'].includes(browserName)) throw new Error(`LUM_BROWSER is chromium or firefox, not ${browserName}`);

// node:test's test, its name saying which browser the result came from.
export function test(name, ...rest) {
  return nodeTest(`${name} [${browserName}]`, ...rest);
}

function required(name) {
  const value = process.env[name];
  if (!value) throw new Error(`${name} is not set: run the flows through tests/browser/run`);
  return value;
}

// Set by tests/browser/run (scripts/demo sets the first three): the server on loopback, its accounts
// and API token, and where pictures go.
export const site = {
  get url() { return required('LUM_BROWSER_URL'); },
  get user() { return required('LUM_BROWSER_USER'); },
  get password() { return required('LUM_BROWSER_PASSWORD'); },
  get throttledUser() { return required('LUM_BROWSER_THROTTLED_USER'); },
  get token() { return required('LUM_BROWSER_TOKEN'); },
  get shots() { return required('LUM_BROWSER_SHOTS'); },
  // The same server as a subscriber reaches it: from the address of the lab's all-pass run.
  get subscriberUrl() { return required('LUM_BROWSER_SUBSCRIBER_URL'); },
  // A second server whose store holds an outage (tests/server/outage): "BLOCK HOUR", the hour in Unix seconds.
  get overviewUrl() { return required('LUM_BROWSER_OVERVIEW_URL'); },
  get outage() { return required('LUM_BROWSER_OUTAGE'); },
};

// Debian's chromium or firefox-esr, never a browser of playwright's own: firefox-esr as it is shipped,
// driven over WebDriver BiDi (the "moz-" channels), which needs no patched build. The closed network
// refuses the browsers' background traffic, so chromium's is switched off rather than left to fail
// (playwright's profile for firefox does the same).
//
// LUM_FIREFOX names another firefox to drive (an ESR unpacked beside the installed one, say): Debian 12
// serves ESR 153 from its security suite and 140 from its point release, whichever index the machine's
// mirror could read, and no release of playwright-core drives both (see can-drive.mjs).
export const firefoxPath = process.env.LUM_FIREFOX ?? '/usr/bin/firefox-esr';
export function launch() {
  if (browserName === 'firefox') return firefox.launch({ channel: 'moz-firefox', executablePath: firefoxPath });
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
  });
}

// Pages whose picture is being taken: playwright adds a style of its own for that, which the pages'
// policy refuses, and firefox reports the refusal on the page as if the page had broken its policy.
const pictured = new WeakSet();
const refusedStyle = /blocked an inline style/;

// A page of its own (its own cookies); problems collects script errors, console errors (a refused
// inline script or style shows there) and dialogs, which no page of the dashboard may open. An answer
// such as 401 is logged as a failed load: that is the flow's to check, not a problem.
export async function openPage(browser) {
  const context = await browser.newContext({ acceptDownloads: true });
  // Everything here is on loopback: what has not appeared in a few seconds never will.
  context.setDefaultTimeout(10000);
  const page = await context.newPage();
  const problems = [];
  page.on('pageerror', (error) => {
    if (!(pictured.has(page) && refusedStyle.test(error.message))) problems.push(`script error: ${error.message}`);
  });
  page.on('console', (message) => {
    if (message.type() === 'error' && !message.text().startsWith('Failed to load resource'))
      problems.push(`console: ${message.text()}`);
  });
  page.on('dialog', async (dialog) => {
    problems.push(`dialog: ${dialog.message()}`);
    await dialog.dismiss();
  });
  return { page, problems };
}

// Fills the sign-in form and sends it with its button, as a person would; the answer to the POST.
export async function submitSignIn(page, user, password) {
  await page.fill('#sign-in [name=user]', user);
  await page.fill('#sign-in [name=password]', password);
  const [answer] = await Promise.all([
    page.waitForResponse((r) => r.request().method() === 'POST' && new URL(r.url()).pathname === '/support/sign-in'),
    page.locator('#sign-in').getByRole('button').click(),
  ]);
  await page.waitForLoadState();
  return answer;
}

export async function signIn(page, user = site.user, password = site.password, url = site.url) {
  await page.goto(`${url}/support/sign-in`);
  const answer = await submitSignIn(page, user, password);
  if (answer.status() !== 303) throw new Error(`signing in as ${user} was answered ${answer.status()}`);
  await page.waitForURL(`${url}/support/`);
}

export async function screenshot(page, name) {
  pictured.add(page);
  try {
    await page.screenshot({ path: path.join(site.shots, `${name}.png`), fullPage: true });
  } finally {
    pictured.delete(page);
  }
}
