// tests/browser/can-drive.mjs: whether the pinned driver can start the browser LUM_BROWSER names, said in one line when it cannot.
//
//   LUM_BROWSER=chromium|firefox node can-drive.mjs
//
// Exits 0 when it can, 1 with one line naming the browser's and the driver's versions and the driver's
// own reason when it cannot. A firefox-esr the driver cannot start is one it was not made for: Debian 12
// serves ESR 140 where its mirror's security index could not be read, and every playwright-core release
// that drives 153 starts a session with a BiDi command 140 lacks (network.addDataCollector), while the
// last release before those drives 140 only without downloads or script under a page's CSP.
import { execFileSync } from 'node:child_process';
import { createRequire } from 'node:module';
import { browserName, firefoxPath, launch } from './lib/dashboard.mjs';

const driver = createRequire(import.meta.url)('playwright-core/package.json').version;
const executable = browserName === 'firefox' ? firefoxPath : '/usr/bin/chromium';

function browserVersion() {
  try {
    return execFileSync(executable, ['--version'], { encoding: 'utf8', timeout: 20000 }).trim();
  } catch {
    return `${executable} (its version unreadable)`;
  }
}

try {
  const browser = await launch();
  const page = await (await browser.newContext()).newPage();
  await page.setContent('<p>ready</p>');
  await browser.close();
} catch (error) {
  const reason = String(error.message ?? error).split('\n')[0];
  console.log(`${browserVersion()} cannot be driven by playwright-core ${driver}: ${reason}`);
  process.exit(1);
}
