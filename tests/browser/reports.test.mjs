// tests/browser/reports.test.mjs: finding the lab's reports on the dashboard, by address or subscriber, opening them, and taking a search away as CSV.
import { before, beforeEach, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { site, launch, openPage, signIn, screenshot, test } from './lib/dashboard.mjs';
import { labRuns } from './lib/runs.mjs';

const runs = labRuns();
const run = (scenario) => runs.find((r) => r.scenario === scenario);
let browser;
let page;
let problems;

before(async () => {
  browser = await launch();
  ({ page, problems } = await openPage(browser));
  await signIn(page);
});
// Each flow answers for what went wrong on the page during it.
beforeEach(() => { problems.length = 0; });
after(async () => { await browser?.close(); });

// Sets one of the search form's fields, whichever kind of control it is.
async function setField(name, value) {
  const field = page.locator(`#search [name=${name}]`);
  const kind = await field.first().evaluate((e) => (e.tagName === 'SELECT' ? 'select' : e.type));
  if (kind === 'select') await field.selectOption(value);
  else if (kind === 'radio') await page.check(`#search [name=${name}][value=${value}]`);
  else await field.fill(value);
}

// Searches as a person would, with the form and its button; the ids shown, in their order.
async function search(ip, match) {
  await page.goto(`${site.url}/support/`);
  await setField('ip', ip);
  await setField('match', match);
  return submitSearch();
}

// Presses the search form's button; the ids shown, in their order.
async function submitSearch() {
  await Promise.all([page.waitForURL(/\/support\/\?/), page.locator('#search').getByRole('button').click()]);
  return shownIds();
}

// Newest first: the lab's runs uploaded in turn, so a later run's report has the larger id.
const newestFirst = (list) => list.map((r) => r.id).sort((a, b) => b - a);
const shownIds = () => page.locator('#results tr.report').evaluateAll((rows) => rows.map((row) => Number(row.dataset.id)));

test('search by address: exact and by its beginning', async () => {
  const subscriber = run('all-pass').caller;
  const fromThere = runs.filter((r) => r.caller === subscriber);
  assert.ok(fromThere.length >= 2 && fromThere.length < runs.length, 'the lab runs need two callers');
  assert.deepEqual(await search(subscriber, 'exact'), newestFirst(fromThere));
  await screenshot(page, 'search-exact');
  assert.deepEqual(await search(subscriber.slice(0, -2), 'exact'), [], 'a part of an address matched exactly');
  const block = `${subscriber.split('.')[0]}.`;
  assert.deepEqual(await search(block, 'prefix'),
                   newestFirst(runs.filter((r) => r.caller.startsWith(block))));
  assert.deepEqual(await search(subscriber.slice(0, -2), 'prefix'), newestFirst(fromThere));
  assert.deepEqual(problems, []);
});

test('a report opens from the search, with the rows its window showed, in their colours', async () => {
  for (const expected of runs) {
    await search(expected.caller, 'exact');
    await Promise.all([page.waitForURL(`${site.url}/support/reports/${expected.id}`),
                       page.click(`#results tr.report[data-id="${expected.id}"] a.open`)]);
    const shown = await page.locator('#rows .row').evaluateAll((rows) => rows.map((row) => {
      const copy = row.cloneNode(true);
      copy.querySelectorAll('.derived').forEach((mark) => mark.remove());
      return { test: Number(row.dataset.test), text: copy.textContent, colour: getComputedStyle(row).color };
    }));
    assert.equal(shown.length, 7, `the rows of ${expected.scenario}`);
    const reached = expected.rows.map((row) => row.test);
    assert.deepEqual(shown.filter((row) => reached.includes(row.test)), expected.rows,
                     `the rows of ${expected.scenario} (report ${expected.id})`);
    await screenshot(page, `report-${expected.scenario}`);
  }
  assert.deepEqual(problems, []);
});

test('markup and quotes in a report are shown as text, never run', async () => {
  const { id } = run('markup-in-output');
  await page.goto(`${site.url}/support/reports/${id}`);
  const text = await page.textContent('body');
  for (const literal of ['Ethernet adapter <script>alert(1)</script> "quoted":',
                         'Realtek "PCIe" GBE <b>Family</b> & Controller']) {
    assert.ok(text.includes(literal), `the page does not show ${literal}`);
  }
  assert.equal(await page.locator('script:not([src]), b').count(), 0, 'the report\'s markup became elements');
  await page.click('#section-1 summary');
  await screenshot(page, 'report-markup-as-text');
  assert.deepEqual(problems, [], 'a dialog or script error means the markup ran');
});

// Each with the section, the tool and words its code page decodes, and the code page as the page names it.
const LOCALIZED = [
  { scenario: 'code-page-866', test: 2, tool: 'ping', words: 'Ответ от 8.8.8.8', codePage: 'CP866 (Russian)',
    adapter: 'Подключение по локальной сети' },
  { scenario: 'code-page-932', test: 3, tool: 'nslookup', words: 'サーバー:', codePage: 'CP932 (Japanese)',
    adapter: 'Local Area Connection' },
  { scenario: 'ping-polish-two-large-losses', test: 5, tool: 'ping', words: 'Odpowiedź z 100.102.0.10',
    codePage: 'CP852 (Central European)', adapter: 'Local Area Connection' },
];
// The lab's computer, whichever language its ipconfig speaks; the report keeps its lines only up to the address,
// so the mask is not there.
const LAB_ADAPTER = { mac: '74-D4-35-1A-2B-3C', ipv4: '192.168.1.34' };

// Opens a test's lines (a passed test's are closed at first); its first view form of the tool, and its lines.
async function section(want) {
  const details = page.locator(`#section-${want.test}`);
  if (!(await details.evaluate((element) => element.open))) await details.locator('summary').click();
  const form = details.locator('form.view-as').filter({ has: page.locator('.tool', { hasText: want.tool }) }).first();
  return { form, lines: page.locator(`#raw-${want.test}`) };
}

// Chooses a view in the form and waits for the page it asks for.
async function showAs(form, value) {
  await form.locator('select').selectOption(value);
  await Promise.all([page.waitForURL(/[?&]section=\d+&as=/), form.getByRole('button').click()]);
}

test('a report from a localized Windows reads in the subscriber\'s letters, and a section as bytes and back', async () => {
  for (const want of LOCALIZED) {
    await page.goto(`${site.url}/support/reports/${run(want.scenario).id}`);
    const adapters = await page.locator('#adapters tbody tr').evaluateAll((rows) => rows.map((row) =>
      [...row.querySelectorAll('th, td')].slice(0, 4).map((cell) => cell.textContent)));
    assert.deepEqual(adapters, [[want.adapter, LAB_ADAPTER.ipv4, '', LAB_ADAPTER.mac]],
                     `${want.scenario}: the adapter table`);
    let { form, lines } = await section(want);
    assert.ok((await lines.textContent()).includes(want.words), `${want.scenario}: "${want.words}" not shown`);
    assert.ok((await form.locator('.code-page').textContent()).startsWith(`decoded as ${want.codePage}`),
              `${want.scenario}: the code page is not named`);
    await screenshot(page, `report-${want.scenario}-decoded`);

    await showAs(form, 'raw');
    ({ form, lines } = await section(want));
    const bytes = await lines.textContent();
    assert.ok(!bytes.includes(want.words), `${want.scenario}: still decoded after choosing bytes`);
    assert.match(bytes, /\\x[89A-F][0-9A-F]/, `${want.scenario}: no byte shown as \\xNN`);
    assert.equal(await form.locator('select').inputValue(), 'raw');
    await screenshot(page, `report-${want.scenario}-as-bytes`);

    await showAs(form, '');
    ({ lines } = await section(want));
    assert.ok((await lines.textContent()).includes(want.words), `${want.scenario}: not decoded again`);
  }
  assert.deepEqual(problems, []);
});

test('the same computer from another address is on the report\'s page, and all its reports one link away', async () => {
  const home = run('all-pass');
  await page.goto(`${site.url}/support/reports/${home.id}`);
  const ids = (table) => page.locator(`${table} tr.report`).evaluateAll((rows) => rows.map((row) => Number(row.dataset.id)));
  // Every lab run is the same computer (one MAC); the other address's runs are the ones listed.
  assert.deepEqual(await ids('#same-computer-table'), newestFirst(runs.filter((r) => r.caller !== home.caller)));
  await Promise.all([page.waitForURL(/\/support\/\?computer=/), page.click('#computer-search')]);
  assert.deepEqual(await ids('#results'), newestFirst(runs));
  await screenshot(page, 'search-by-computer');
  assert.deepEqual(problems, []);
});

// RFC 4180: fields in double quotes may hold commas, line ends and doubled quotes.
function parseCsv(text) {
  const rows = [[]];
  const field = /("(?:[^"]|"")*"|[^,\r\n]*)(,|\r?\n|$)/y;
  for (let match; field.lastIndex < text.length && (match = field.exec(text));) {
    const value = match[1].startsWith('"') ? match[1].slice(1, -1).replaceAll('""', '"') : match[1];
    rows.at(-1).push(value);
    if (match[2] !== ',' && field.lastIndex < text.length) rows.push([]);
  }
  return rows;
}

test('a search downloads as CSV, the same reports as the page shows', async () => {
  const subscriber = run('dns-failed').caller;
  const ids = await search(subscriber, 'exact');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#csv')]);
  const [header, ...rows] = parseCsv(readFileSync(await download.path(), 'utf8'));
  await download.saveAs(`${site.shots}/search.csv`);
  assert.deepEqual(header.slice(0, 5), ['id', 'received', 'caller', 'release', 'finished']);
  assert.deepEqual(rows.map((row) => Number(row[header.indexOf('id')])), ids);
  for (const row of rows) assert.equal(row[header.indexOf('caller')], subscriber);
  const failed = rows.find((row) => Number(row[0]) === run('dns-failed').id);
  assert.deepEqual(['test1', 'test2', 'test3'].map((name) => failed[header.indexOf(name)]), ['OK', 'OK', 'Failed']);
  assert.deepEqual(problems, []);
});

test('the API lists the same reports to a token, and nothing without one', async () => {
  const { caller, id } = run('dns-failed');
  const address = `${site.url}/api/v1/reports?ip=${caller}`;
  const refused = await fetch(address);
  assert.equal(refused.status, 401);
  assert.match(refused.headers.get('www-authenticate') ?? '', /^Bearer/);
  const answer = await fetch(address, { headers: { Authorization: `Bearer ${site.token}` } });
  assert.equal(answer.status, 200);
  const { reports } = await answer.json();
  assert.deepEqual(reports.map((r) => r.id), newestFirst(runs.filter((r) => r.caller === caller)));
  assert.deepEqual(reports.find((r) => r.id === id).failed_tests, [3]);
});

// tests/browser/run accounts this subscriber's RADIUS session on the lab's address before the lab's runs.
const lab = { name: process.env.LUM_BROWSER_LAB_SUBSCRIBER, address: process.env.LUM_BROWSER_LAB_SUBSCRIBER_ADDRESS,
              port: process.env.LUM_BROWSER_LAB_NODE_PORT };

test('a subscriber is searched for, their report names them, and leads to every report of theirs', async () => {
  const theirs = newestFirst(runs.filter((r) => r.caller === lab.address));
  const other = runs.find((r) => r.caller !== lab.address);
  assert.ok(theirs.length >= 2 && other, 'the lab runs need the subscriber twice and another caller');

  await page.goto(`${site.url}/support/`);
  await setField('subscriber', lab.name);
  assert.deepEqual(await submitSearch(), theirs, 'the search by subscriber');

  await Promise.all([page.waitForURL(`${site.url}/support/reports/${theirs[0]}`),
                     page.click(`#results tr.report[data-id="${theirs[0]}"] a.open`)]);
  assert.equal(await page.textContent('#subscriber-name'), lab.name);
  assert.match(await page.textContent('#subscriber'), new RegExp(`held ${lab.address.replaceAll('.', '\\.')} then, since .+ port ${lab.port}\\.`));
  await screenshot(page, 'report-subscriber');

  await Promise.all([page.waitForURL(/\/support\/\?/), page.click('#subscriber-search')]);
  assert.deepEqual(await shownIds(), theirs, 'every report of this subscriber');

  // A report from an address no session held says so, and offers no subscriber to follow.
  await page.goto(`${site.url}/support/reports/${other.id}`);
  assert.match(await page.textContent('#subscriber'), /not known/);
  assert.equal(await page.locator('#subscriber-search').count(), 0);
  assert.deepEqual(problems, []);
});
