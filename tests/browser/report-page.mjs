// tests/browser/report-page.mjs: signs in to the support dashboard and takes a picture of one report's page (scripts/demo's last step).
//
//   node report-page.mjs ID FILE      with LUM_BROWSER_URL, LUM_BROWSER_USER and LUM_BROWSER_PASSWORD set
import { launch, openPage, signIn, site } from './lib/dashboard.mjs';

const [id, file] = process.argv.slice(2);
if (!id || !file) {
  console.error('usage: node report-page.mjs ID FILE');
  process.exit(2);
}
const browser = await launch();
try {
  const { page } = await openPage(browser);
  await signIn(page);
  const answer = await page.goto(`${site.url}/support/reports/${id}`);
  if (!answer.ok()) throw new Error(`report ${id} was answered ${answer.status()}`);
  await page.screenshot({ path: file, fullPage: true });
  // The demo's summary says whom the page names, as the page says it.
  console.log(`Subscriber: ${(await page.locator('#subscriber').innerText()).trim()}`);
} finally {
  await browser.close();
}
