// tests/browser/lib/runs.mjs: what the lab's runs of the real program left, as the flows expect to find it on the dashboard.
import { readFileSync } from 'node:fs';
import path from 'node:path';

const runs = process.env.LUM_BROWSER_RUNS;
const labScenarios = process.env.LUM_LAB_SCENARIOS;

// The window's colours as the lab's rows files name them (tests/lab/scenario_files.cpp), each a
// COLORREF 0x00BBGGRR there, here as the browser computes a colour.
const WINDOW_COLOURS = {
  green: 'rgb(0, 128, 0)',
  red: 'rgb(128, 0, 0)',
  blue: 'rgb(0, 0, 128)',
};

function lines(file) {
  return readFileSync(file, 'latin1').split(/\r?\n/).filter((line) => line !== '');
}

// One run: the stored report's id and caller, and its rows: the text the run's window showed (the
// Linux build prints each row as its verdict is set) in the colour the lab's scenario says the window
// gave it. A test that was never reached had no row in the window; the page's own tests see to those.
function readRun(scenario, listing) {
  const id = Number(readFileSync(path.join(runs, scenario, 'lab', 'stored-id'), 'utf8').trim());
  const shown = lines(path.join(runs, scenario, 'rows.txt'));
  const recorded = lines(path.join(labScenarios, scenario, 'rows.txt')).filter((line) => !line.endsWith(' absent'));
  const rows = recorded.map((line) => {
    const [number, state] = line.split(' ');
    const test = Number(number);
    const text = shown.find((row) => row.startsWith(`Test ${test}: `));
    return { test, text, colour: WINDOW_COLOURS[state] };
  });
  const stored = listing.find((report) => report.id === id);
  if (!stored) throw new Error(`report ${id} of ${scenario} is not in the server's listing`);
  return { scenario, id, caller: stored.caller, rows };
}

export function labRuns() {
  const listing = JSON.parse(readFileSync(path.join(runs, 'reports.json'), 'utf8'));
  const scenarios = process.env.LUM_BROWSER_SCENARIOS.split(' ').filter(Boolean);
  return scenarios.map((scenario) => readRun(scenario, listing));
}
